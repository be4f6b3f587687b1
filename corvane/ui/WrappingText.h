#pragma once

#include <QTextEdit>

namespace corvane {

// Plain text that wraps to the width it is given: between words where it can, anywhere where it
// cannot, so a long host name, path or message is never cut off and never widens its window.
// The text can be selected and copied.
class WrappingText : public QTextEdit {
    Q_OBJECT

public:
    explicit WrappingText(const QString &text = {}, QWidget *parent = nullptr);

    // Always plain text, never markup.
    void setText(const QString &text);
    QString text() const { return toPlainText(); }
    // Where each line sits: left, centred or right.
    void setLineAlignment(Qt::Alignment alignment);
    // The narrowest it is made (unless the whole text is shorter) and the width it asks for,
    // both in average characters.
    void setLineCharacters(int minimum, int preferred);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int unwrappedWidth() const;

    int minimumCharacters_ = 8;
    int preferredCharacters_ = 72;
};

} // namespace corvane
