#include "corvane/ui/WrappingText.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <memory>

namespace corvane {

WrappingText::WrappingText(const QString &text, QWidget *parent)
    : QTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setText(text);
}

void WrappingText::setText(const QString &text)
{
    if (text == toPlainText()) {
        return;
    }
    const Qt::Alignment alignment = document()->defaultTextOption().alignment();
    setPlainText(text);
    setLineAlignment(alignment);
    updateGeometry();
}

void WrappingText::setLineAlignment(Qt::Alignment alignment)
{
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(alignment);
    document()->setDefaultTextOption(option);
    // Blocks made before keep the alignment they were made with.
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
}

int WrappingText::heightForWidth(int width) const
{
    const std::unique_ptr<QTextDocument> laidOut(document()->clone());
    laidOut->setDefaultFont(font());
    laidOut->setTextWidth(std::max(width - 2 * frameWidth(), 1));
    return int(std::ceil(laidOut->size().height())) + 2 * frameWidth();
}

void WrappingText::setLineCharacters(int minimum, int preferred)
{
    minimumCharacters_ = minimum;
    preferredCharacters_ = std::max(preferred, minimum);
    updateGeometry();
}

int WrappingText::unwrappedWidth() const
{
    const std::unique_ptr<QTextDocument> laidOut(document()->clone());
    laidOut->setDefaultFont(font());
    laidOut->setTextWidth(-1); // unwrapped: the width of the longest line
    return int(std::ceil(laidOut->idealWidth())) + 2 * frameWidth();
}

QSize WrappingText::sizeHint() const
{
    const int width = std::min(unwrappedWidth(), fontMetrics().averageCharWidth() * preferredCharacters_);
    return {width, heightForWidth(width)};
}

QSize WrappingText::minimumSizeHint() const
{
    // Narrow enough never to hold its window open, wide enough to stay readable.
    const int width = std::min(unwrappedWidth(), fontMetrics().averageCharWidth() * minimumCharacters_);
    return {width, fontMetrics().height()};
}

} // namespace corvane
