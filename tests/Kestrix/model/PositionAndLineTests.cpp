#include "Kestrix/model/Line.h"
#include "Kestrix/model/Position.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using Order = Position::compareResult;

TEST(Position, ComparesByRowFirstThenColumn)
{
    struct Case {
        Position a;
        Position b;
        Order expected;
    };
    const Case cases[] = {
        {{5, 2}, {0, 3}, Order::before},
        {{0, 3}, {5, 2}, Order::after},
        {{1, 4}, {2, 4}, Order::before},
        {{3, 4}, {2, 4}, Order::after},
        {{1, 4}, {1, 4}, Order::equal},
        {{-1, -2}, {0, -2}, Order::before},
    };
    for (const Case &each : cases) {
        EXPECT_EQ(Position::compare(each.a, each.b), each.expected)
            << each.a.debugDescription() << " vs " << each.b.debugDescription();
    }
    EXPECT_EQ((Position{7, 12}.debugDescription()), "col=7 row=12");
}

TEST(Line, AppendReturnsTheRunningLengthAndDescribesItsFragments)
{
    Line line;
    EXPECT_EQ(line.debugDescription(), "[]");
    EXPECT_EQ(line.append({"abc", 0, 0, 3}), 3);
    EXPECT_EQ(line.append({"defgh", 1, 0, 5}), 8);
    EXPECT_EQ(line.append(LineFragment::lineBreak(1)), 9);
    EXPECT_EQ(line.length(), 9);
    EXPECT_EQ(line.fragments().back().location, -1);

    Line withBreak;
    withBreak.append({"ab", 0, 0, 2});
    withBreak.append(LineFragment::lineBreak(0));
    EXPECT_EQ(withBreak.debugDescription(), "2/3: [ab][\\n]");
    withBreak.append({std::nullopt, 1, 0, 0});
    EXPECT_EQ(withBreak.debugDescription(), "3/3: [ab][\\n][]");
}

} // namespace
} // namespace kestrix
