#include "Kestrix/core/SearchText.h"

#include <algorithm>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace kestrix {

void SearchText::materializeStarts()
{
    starts_.resize(units_.size());
    for (size_t i = 0; i < units_.size(); ++i) {
        starts_[i] = i;
    }
}

void SearchText::appendCharacter(std::u16string_view units)
{
    if (units.size() <= 1) {
        appendCharacter(units.empty() ? u' ' : units.front());
        return;
    }
    if (starts_.empty()) {
        materializeStarts();
    }
    starts_.push_back(units_.size());
    units_.append(units);
}

void SearchText::appendCharacter(char16_t unit)
{
    if (!starts_.empty()) {
        starts_.push_back(units_.size());
    }
    units_.push_back(unit);
}

void SearchText::removeLastCharacter()
{
    if (units_.empty()) {
        return;
    }
    if (starts_.empty()) {
        units_.pop_back();
        return;
    }
    units_.resize(starts_.back());
    starts_.pop_back();
}

int64_t SearchText::characterCount() const
{
    return static_cast<int64_t>(starts_.empty() ? units_.size() : starts_.size());
}

size_t SearchText::unitOffset(int64_t character) const
{
    if (character >= characterCount()) {
        return units_.size();
    }
    character = std::max<int64_t>(character, 0);
    return starts_.empty() ? static_cast<size_t>(character) : starts_[static_cast<size_t>(character)];
}

std::u16string_view SearchText::character(int64_t index) const
{
    const size_t start = unitOffset(index);
    return std::u16string_view(units_).substr(start, unitOffset(index + 1) - start);
}

int64_t SearchText::characterContaining(size_t unit) const
{
    if (unit >= units_.size()) {
        return characterCount();
    }
    if (starts_.empty()) {
        return static_cast<int64_t>(unit);
    }
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), unit);
    return static_cast<int64_t>(after - starts_.begin()) - 1;
}

int64_t SearchText::characterStartingAt(size_t unit) const
{
    const int64_t index = characterContaining(unit);
    return unitOffset(index) == unit ? index : -1;
}

int64_t SearchText::characterEndingAtOrAfter(size_t unit) const
{
    const int64_t index = characterContaining(unit);
    return unitOffset(index) == unit ? index : index + 1;
}

std::string SearchText::utf8(int64_t start, int64_t end) const
{
    const size_t from = unitOffset(start);
    const size_t to = std::max(unitOffset(end), from);
    std::string text;
    icu::UnicodeString(false, units_.data() + from, static_cast<int32_t>(to - from)).toUTF8String(text);
    return text;
}

SearchText SearchText::folded() const
{
    SearchText result;
    result.units_.reserve(units_.size());
    std::u16string scratch;
    for (int64_t index = 0; index < characterCount(); ++index) {
        const std::u16string_view source = character(index);
        if (source.size() == 1 && source.front() < 0x80) {
            const char16_t unit = source.front();
            result.appendCharacter(unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit);
            continue;
        }
        // Full folding grows a character at most threefold.
        scratch.resize(source.size() * 3 + 4);
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length =
            u_strFoldCase(scratch.data(), static_cast<int32_t>(scratch.size()), source.data(),
                          static_cast<int32_t>(source.size()), U_FOLD_CASE_DEFAULT, &status);
        if (U_FAILURE(status) || length <= 0) {
            result.appendCharacter(source);
        } else {
            result.appendCharacter(std::u16string_view(scratch.data(), static_cast<size_t>(length)));
        }
    }
    return result;
}

} // namespace kestrix
