#pragma once

namespace kestrix {

// The modes that decide how printed text lands in a buffer: insert or replace (IRM), wrap at the
// right edge (DECAWM) and the left/right margins (DECLRMM). The terminal owns one set and both of its
// buffers read it, so the normal and the alternate screen never disagree.
struct WritingModes {
    bool insertMode = false;
    bool marginMode = false;
    bool wraparound = false;
};

} // namespace kestrix
