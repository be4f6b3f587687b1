#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The text of one logical line as the search sees it: UTF-16 code units (what ICU matches on) split
// into characters, one per cell that shows a character. A match must start and end on character
// boundaries, so a term never matches half of a cell.
class SearchText {
public:
    void appendCharacter(std::u16string_view units);
    void appendCharacter(char16_t unit);
    void removeLastCharacter();

    std::u16string_view units() const { return units_; }
    int64_t characterCount() const;
    // Where a character starts; `characterCount()` gives the end of the text.
    size_t unitOffset(int64_t character) const;
    std::u16string_view character(int64_t index) const;
    // The character that starts exactly at `unit`; -1 when `unit` lies inside a character.
    int64_t characterStartingAt(size_t unit) const;
    // The character that holds `unit` (the count for the end of the text).
    int64_t characterContaining(size_t unit) const;
    // The first character boundary at or after `unit`, as a character index.
    int64_t characterEndingAtOrAfter(size_t unit) const;
    std::string utf8(int64_t start, int64_t end) const;

    // The text with every character case folded on its own (full folding: "ß" becomes "ss"), so
    // character indices stay the same in both forms.
    SearchText folded() const;

private:
    void materializeStarts();

    std::u16string units_;
    // The unit offset of every character; empty while each character is a single unit.
    std::vector<size_t> starts_;
};

} // namespace kestrix
