#include "Kestrix/view/BracketedPaste.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrix {
namespace {

TEST(BracketedPaste, EveryMarkerIsRemovedEvenOnesThatFormWhenAnotherGoes)
{
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"ls -l\n", "ls -l\n"},
        {"a\x1b[201~rm -rf ~\n", "arm -rf ~\n"},
        {"\x1b[200~x\x1b[200~", "x"},
        {"\x1b[201~\x1b[201~\x1b[200~", ""},
        // Taking out the inner marker joins the outer one.
        {"\x1b[20\x1b[201~1~echo", "echo"},
        {"\x1b[2\x1b[20\x1b[200~0~01~;", ";"},
        // Near misses stay.
        {"\x1b[202~ \x1b[20~ \x1b[201", "\x1b[202~ \x1b[20~ \x1b[201"},
        {"", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(BracketedPaste::removeMarkers(c.text), c.expected) << c.text;
    }
}

} // namespace
} // namespace kestrix
