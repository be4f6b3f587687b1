#include "Kestrix/graphics/DcsHandler.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrix {
namespace {

class CollectingHandler : public DcsHandler {
public:
    void unhook() override
    {
        received.assign(data().begin(), data().end());
        truncated = dataWasTruncated();
    }

    std::string received;
    bool truncated = false;
};

std::span<const uint8_t> bytes(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

TEST(DcsHandler, CollectsEveryPutOfOneStringAndStartsAfreshOnHook)
{
    CollectingHandler handler;
    handler.hook({}, {}, 'q');
    handler.put(bytes("#0;2;0;0"));
    handler.put(bytes("0~~"));
    handler.unhook();
    EXPECT_EQ(handler.received, "#0;2;0;00~~");

    handler.hook(bytes("$"), {}, 'q');
    handler.put(bytes("m"));
    handler.unhook();
    EXPECT_EQ(handler.received, "m");
    EXPECT_FALSE(handler.truncated);
}

TEST(DcsHandler, DropsPayloadBeyondTheLimit)
{
    CollectingHandler handler;
    handler.hook({}, {}, 'q');
    const std::string chunk(DcsHandler::maximumDataSize / 2 + 1, 'a');
    handler.put(bytes(chunk));
    handler.put(bytes(chunk));
    handler.put(bytes("more"));
    handler.unhook();
    EXPECT_EQ(handler.received.size(), DcsHandler::maximumDataSize);
    EXPECT_TRUE(handler.truncated);

    handler.hook({}, {}, 'q');
    handler.unhook();
    EXPECT_TRUE(handler.received.empty());
    EXPECT_FALSE(handler.truncated);
}

} // namespace
} // namespace kestrix
