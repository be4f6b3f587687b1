#pragma once

#include "Kestrix/core/SearchOptions.h"

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace kestrix {

// The small find bar that floats over the top-right corner of a terminal view: a search field,
// previous and next buttons, the case, expression and whole-word check boxes, and a close button.
// It only reports what the user does; the view searches.
//
// Return in the field asks for the next match, Shift+Return for the previous one, Escape closes the
// bar. Keys the field does not use, and clicks between the controls, stop at the bar and never reach
// the terminal beneath it.
class TerminalFindBarView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumSearchFieldWidth = 200;

    explicit TerminalFindBarView(QWidget *parent = nullptr);

    // Absent callbacks make their actions do nothing.
    std::function<void(const std::string &text)> onSearchChanged;
    std::function<void()> onFindNext;
    std::function<void()> onFindPrevious;
    std::function<void()> onClose;
    std::function<void(const SearchOptions &options)> onOptionsChanged;

    QLineEdit *searchField() const { return searchField_; }
    QToolButton *previousButton() const { return previousButton_; }
    QToolButton *nextButton() const { return nextButton_; }
    QToolButton *closeButton() const { return closeButton_; }
    QCheckBox *caseSensitiveButton() const { return caseSensitiveButton_; }
    QCheckBox *regexButton() const { return regexButton_; }
    QCheckBox *wholeWordButton() const { return wholeWordButton_; }

    std::string searchText() const;
    void setSearchText(const std::string &text);
    // The options the check boxes show.
    SearchOptions options() const;

    // Return in the field: the previous match with Shift, else the next.
    void searchFieldAction(bool shift);
    void previousTapped();
    void nextTapped();
    void closeTapped();
    void optionChanged();
    void controlTextDidChange();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QCheckBox *makeCheckBox(const QString &title, const QString &toolTip);
    QToolButton *makeIconButton(const QString &iconName, int fallback, const QString &description);

    QLineEdit *searchField_ = nullptr;
    QToolButton *previousButton_ = nullptr;
    QToolButton *nextButton_ = nullptr;
    QToolButton *closeButton_ = nullptr;
    QCheckBox *caseSensitiveButton_ = nullptr;
    QCheckBox *regexButton_ = nullptr;
    QCheckBox *wholeWordButton_ = nullptr;
};

} // namespace kestrix
