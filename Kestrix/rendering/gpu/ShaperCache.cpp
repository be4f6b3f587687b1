#include "Kestrix/rendering/gpu/ShaperCache.h"

#include "Kestrix/rendering/gpu/GpuCacheKeys.h"

#include <QHash>

size_t std::hash<kestrix::ShaperKey>::operator()(const kestrix::ShaperKey &key) const noexcept
{
    size_t seed = qHash(key.fontName);
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.fontSize));
    return kestrix::hashCombine(seed, qHash(key.text));
}

namespace kestrix {

std::shared_ptr<const ShaperRun> ShaperCache::lookup(const ShaperKey &key) const
{
    const auto found = cache_.find(key);
    return found == cache_.end() ? nullptr : found->second;
}

void ShaperCache::insert(std::shared_ptr<const ShaperRun> run, const ShaperKey &key)
{
    const auto [entry, inserted] = cache_.insert_or_assign(key, std::move(run));
    if (inserted) {
        order_.push_back(key);
    }
    while (order_.size() > maxEntries_) {
        cache_.erase(order_.front());
        order_.pop_front();
    }
}

} // namespace kestrix
