#include "Kestrix/model/AtomTable.h"

namespace kestrix {

AtomTable &AtomTable::shared()
{
    static AtomTable table;
    return table;
}

std::optional<uint16_t> AtomTable::create(std::string payload)
{
    std::lock_guard lock(mutex_);
    if (auto existing = codes_.find(payload); existing != codes_.end()) {
        return existing->second;
    }
    if (lastCode_ >= lastUsableCode) {
        return std::nullopt;
    }
    ++lastCode_;
    codes_.emplace(payload, lastCode_);
    payloads_.emplace(lastCode_, std::move(payload));
    return lastCode_;
}

std::optional<std::string> AtomTable::lookup(uint16_t code) const
{
    std::lock_guard lock(mutex_);
    if (auto found = payloads_.find(code); found != payloads_.end()) {
        return found->second;
    }
    return std::nullopt;
}

void AtomTable::release(uint16_t code)
{
    std::lock_guard lock(mutex_);
    eraseLocked(code);
}

uint16_t AtomTable::lastCode() const
{
    std::lock_guard lock(mutex_);
    return lastCode_;
}

void AtomTable::pruneUnused(const std::function<bool(uint16_t)> &isInUse)
{
    std::lock_guard lock(mutex_);
    while (prunedUpTo_ < lastCode_) {
        uint16_t code = prunedUpTo_ + 1;
        if (isInUse(code)) {
            return;
        }
        eraseLocked(code);
        prunedUpTo_ = code;
    }
}

bool AtomTable::hasUnprunedCodes() const
{
    std::lock_guard lock(mutex_);
    return prunedUpTo_ != lastCode_;
}

void AtomTable::eraseLocked(uint16_t code)
{
    auto found = payloads_.find(code);
    if (found == payloads_.end()) {
        return;
    }
    codes_.erase(found->second);
    payloads_.erase(found);
}

} // namespace kestrix
