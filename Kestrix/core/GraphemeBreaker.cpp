#include "Kestrix/core/GraphemeBreaker.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace kestrix {

GraphemeBreaker::GraphemeBreaker()
{
    UErrorCode status = U_ZERO_ERROR;
    iterator_.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
        iterator_.reset();
    }
}

GraphemeBreaker::~GraphemeBreaker() = default;

bool GraphemeBreaker::isSingleCluster(std::string_view utf8)
{
    if (utf8.empty() || !iterator_) {
        return false;
    }
    const icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    iterator_->setText(text);
    iterator_->first();
    return iterator_->next() == text.length();
}

} // namespace kestrix
