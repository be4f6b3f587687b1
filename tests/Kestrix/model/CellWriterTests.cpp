#include "Kestrix/model/CellWriter.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// The writer builds a cell's first word in a register; it must be the word a cell holds after
// setValue, or every cell written in place would read back another code or width.
TEST(CellWriter, HeadOfIsTheFirstWordOfACellWithThatCodeAndWidth)
{
    const struct {
        int32_t code;
        int width;
    } cases[] = {
        {'a', 1}, {0x4E2D, 2}, {0, 0}, {CharData::maximumCode, 2}, {-1, 1}, {0x10FFFF, 1}, {0x7F0000, 2},
    };
    for (const auto &item : cases) {
        CharData cell;
        cell.setValue(item.code, static_cast<int8_t>(item.width));
        uint32_t head = 0;
        std::memcpy(&head, &cell, sizeof head);
        EXPECT_EQ(CellWriter::headOf(item.code, item.width), head) << item.code << " width " << item.width;
    }
}

} // namespace
} // namespace kestrix
