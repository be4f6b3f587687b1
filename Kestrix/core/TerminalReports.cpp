// Replies to the host.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

namespace kestrix {

void Terminal::ReplyItem::appendTo(std::vector<uint8_t> &reply) const
{
    if (isByte_) {
        reply.push_back(byte_);
    } else {
        reply.insert(reply.end(), bytes_.begin(), bytes_.end());
    }
}

void Terminal::sendReply(std::initializer_list<ReplyItem> items)
{
    if (tdel_ == nullptr) {
        return;
    }
    std::vector<uint8_t> reply;
    for (const ReplyItem &item : items) {
        item.appendTo(reply);
    }
    tdel_->terminalSendToHost(*this, reply);
}

void Terminal::sendReply(std::string_view text)
{
    if (tdel_ == nullptr) {
        return;
    }
    tdel_->terminalSendToHost(*this, ByteSpan(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

} // namespace kestrix
