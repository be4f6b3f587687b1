#include "Kestrix/core/StringBuffer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

std::string textOf(const StringBuffer &buffer)
{
    return {buffer.bytes().begin(), buffer.bytes().end()};
}

std::span<const uint8_t> bytesOf(const std::string &text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

} // namespace

TEST(StringBuffer, GrowingKeepsEveryByteInOrder)
{
    StringBuffer buffer;
    EXPECT_TRUE(buffer.empty());
    std::string expected;
    for (int piece = 0; piece < 300; ++piece) {
        const std::string text = std::to_string(piece) + std::string(static_cast<size_t>(piece * 37), 'x');
        buffer.append(bytesOf(text));
        expected += text;
    }
    EXPECT_EQ(textOf(buffer), expected);
    EXPECT_GE(buffer.capacity(), buffer.size());

    // Reserving past the contents keeps them too.
    buffer.reserve(buffer.capacity() * 3);
    EXPECT_EQ(textOf(buffer), expected);
}

TEST(StringBuffer, TruncateClearSwapAndRelease)
{
    StringBuffer a;
    StringBuffer b;
    a.append(bytesOf("hello world"));
    a.truncate(5);
    EXPECT_EQ(textOf(a), "hello");
    a.truncate(50);
    EXPECT_EQ(textOf(a), "hello");

    b.append(bytesOf("other"));
    a.swap(b);
    EXPECT_EQ(textOf(a), "other");
    EXPECT_EQ(textOf(b), "hello");

    const size_t capacity = b.capacity();
    b.clear();
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.capacity(), capacity);
    b.append(bytesOf("again"));
    EXPECT_EQ(textOf(b), "again");

    b.release();
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.capacity(), 0u);
    EXPECT_EQ(b.data(), nullptr);
    b.append(bytesOf("after"));
    EXPECT_EQ(textOf(b), "after");
}
