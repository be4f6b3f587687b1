#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace kestrix {

// Cell payloads (hyperlink parameters and URI) behind 16-bit codes, so cells stay plain data.
// Codes run from 1 to 0xFFFE and are never handed out twice; a payload that already has a live code
// gets that code again instead of a new one. Guarded by a mutex: the table is shared by every
// terminal of the process.
class AtomTable {
public:
    static constexpr uint16_t lastUsableCode = 0xFFFE;

    // The one table of the process, behind `TinyAtom`.
    static AtomTable &shared();

    // The code of `payload`; nothing once every code was handed out.
    std::optional<uint16_t> create(std::string payload);
    std::optional<std::string> lookup(uint16_t code) const;
    void release(uint16_t code);

    uint16_t lastCode() const;

    // Removes the oldest run of codes for which `isInUse` is false, stopping at the first code in use;
    // a code behind one still in use stays until a later call.
    void pruneUnused(const std::function<bool(uint16_t)> &isInUse);
    // True when codes were handed out since the last prune reached the end.
    bool hasUnprunedCodes() const;

private:
    void eraseLocked(uint16_t code);

    mutable std::mutex mutex_;
    std::unordered_map<uint16_t, std::string> payloads_;
    std::unordered_map<std::string, uint16_t> codes_;
    uint16_t lastCode_ = 0;
    uint16_t prunedUpTo_ = 0;
};

} // namespace kestrix
