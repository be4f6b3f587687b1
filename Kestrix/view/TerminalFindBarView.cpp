#include "Kestrix/view/TerminalFindBarView.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

namespace kestrix {
namespace {

constexpr int cornerRadius = 8;
constexpr int checkBoxFontPixels = 11;

} // namespace

TerminalFindBarView::TerminalFindBarView(QWidget *parent)
    : QWidget(parent)
{
    caseSensitiveButton_ = makeCheckBox(QStringLiteral("Aa"), QStringLiteral("Case Sensitive"));
    regexButton_ = makeCheckBox(QStringLiteral(".*"), QStringLiteral("Regex"));
    wholeWordButton_ = makeCheckBox(QStringLiteral("Word"), QStringLiteral("Whole Word"));

    searchField_ = new QLineEdit(this);
    searchField_->setPlaceholderText(QStringLiteral("Find"));
    searchField_->setClearButtonEnabled(true);
    searchField_->setMinimumWidth(minimumSearchFieldWidth);
    searchField_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    searchField_->installEventFilter(this);
    connect(searchField_, &QLineEdit::textChanged, this, [this] { controlTextDidChange(); });

    previousButton_ = makeIconButton(QStringLiteral("go-up"), QStyle::SP_ArrowUp, QStringLiteral("Previous"));
    nextButton_ = makeIconButton(QStringLiteral("go-down"), QStyle::SP_ArrowDown, QStringLiteral("Next"));
    closeButton_ = makeIconButton(QStringLiteral("window-close"), QStyle::SP_TitleBarCloseButton,
                                  QStringLiteral("Close"));
    connect(previousButton_, &QToolButton::clicked, this, [this] { previousTapped(); });
    connect(nextButton_, &QToolButton::clicked, this, [this] { nextTapped(); });
    connect(closeButton_, &QToolButton::clicked, this, [this] { closeTapped(); });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(6);
    for (QWidget *control :
         std::initializer_list<QWidget *>{searchField_, previousButton_, nextButton_, caseSensitiveButton_,
                                          regexButton_, wholeWordButton_, closeButton_}) {
        layout->addWidget(control, 0, Qt::AlignVCenter);
    }
    setAttribute(Qt::WA_TranslucentBackground);
    // The terminal's text cursor stops at the bar's edge.
    setCursor(Qt::ArrowCursor);
}

QCheckBox *TerminalFindBarView::makeCheckBox(const QString &title, const QString &toolTip)
{
    auto *box = new QCheckBox(title, this);
    QFont font = QApplication::font();
    font.setPixelSize(checkBoxFontPixels);
    box->setFont(font);
    box->setToolTip(toolTip);
    box->setFocusPolicy(Qt::TabFocus);
    connect(box, &QCheckBox::toggled, this, [this] { optionChanged(); });
    return box;
}

QToolButton *TerminalFindBarView::makeIconButton(const QString &iconName, int fallback,
                                                 const QString &description)
{
    auto *button = new QToolButton(this);
    button->setIcon(
        QIcon::fromTheme(iconName, style()->standardIcon(static_cast<QStyle::StandardPixmap>(fallback))));
    button->setAutoRaise(true);
    button->setToolTip(description);
    button->setAccessibleName(description);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

std::string TerminalFindBarView::searchText() const
{
    return searchField_->text().toStdString();
}

void TerminalFindBarView::setSearchText(const std::string &text)
{
    searchField_->setText(QString::fromStdString(text));
}

SearchOptions TerminalFindBarView::options() const
{
    return {caseSensitiveButton_->isChecked(), regexButton_->isChecked(), wholeWordButton_->isChecked()};
}

void TerminalFindBarView::searchFieldAction(bool shift)
{
    if (shift) {
        previousTapped();
    } else {
        nextTapped();
    }
}

void TerminalFindBarView::previousTapped()
{
    if (onFindPrevious) {
        onFindPrevious();
    }
}

void TerminalFindBarView::nextTapped()
{
    if (onFindNext) {
        onFindNext();
    }
}

void TerminalFindBarView::closeTapped()
{
    if (onClose) {
        onClose();
    }
}

void TerminalFindBarView::optionChanged()
{
    if (onOptionsChanged) {
        onOptionsChanged(options());
    }
}

void TerminalFindBarView::controlTextDidChange()
{
    if (onSearchChanged) {
        onSearchChanged(searchText());
    }
}

bool TerminalFindBarView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != searchField_ || event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Escape:
        closeTapped();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        searchFieldAction(key->modifiers().testFlag(Qt::ShiftModifier));
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// What the controls leave is the bar's: it must not pass on to the terminal beneath.
void TerminalFindBarView::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}

void TerminalFindBarView::keyReleaseEvent(QKeyEvent *event)
{
    event->accept();
}

void TerminalFindBarView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void TerminalFindBarView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void TerminalFindBarView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void TerminalFindBarView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void TerminalFindBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Window);
    fill.setAlphaF(0.95f);
    QColor border = palette().color(QPalette::Mid);
    painter.setPen(border);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

} // namespace kestrix
