#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrix {

// Receives one DCS string from the parser: hook at its start, put for each slice of its payload
// (possibly many per string), unhook at its end. The shared behaviour collects the payload; a
// handler acts on it in unhook.
class DcsHandler {
public:
    // The payload a host may send in one string. Bytes beyond it are dropped, so a string that
    // never ends cannot grow memory without bound.
    static constexpr size_t maximumDataSize = 64 * 1024 * 1024;

    virtual ~DcsHandler() = default;

    // The intermediate bytes, the parameters and the final byte of the introducer.
    virtual void hook(std::span<const uint8_t> collect, std::span<const int64_t> parameters,
                      uint8_t finalByte);
    virtual void put(std::span<const uint8_t> bytes);
    virtual void unhook() = 0;

protected:
    const std::vector<uint8_t> &data() const { return data_; }
    // Whether payload bytes were dropped because the string was longer than maximumDataSize.
    bool dataWasTruncated() const { return dataWasTruncated_; }

private:
    std::vector<uint8_t> data_;
    bool dataWasTruncated_ = false;
};

} // namespace kestrix
