#pragma once

#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <string>

class QLabel;

namespace kestrix {

class BufferLine;
class Terminal;
class TerminalView;

// A developer's overlay for a terminal view: a status line with the cursor and scroll positions of
// the active buffer, and a dump of every slot of its line ring, each line shown by physical slot and
// by logical index, with D marking the slot equal to yDisp and B the one equal to yBase. The view
// refreshes it at every display update once it exists; the host places it where it likes.
class TerminalDebugView final : public QWidget {
    Q_OBJECT

public:
    static constexpr const char *preferredFamily = "Lucida Sans Typewriter";
    static constexpr const char *fallbackFamily = "Courier";
    static constexpr int fontSize = 8;

    // The view must have its terminal; the overlay registers itself as the view's debug overlay.
    TerminalDebugView(TerminalView &terminalView, const QRect &frame, QWidget *parent = nullptr);

    // The overlay's font among the installed `families`.
    static QFont chooseFont(const QStringList &families);

    // The status line anew and the dump redrawn; called by the view's display updates.
    void refresh();
    QString statusText() const;
    QLabel *statusLine() const { return dbg_; }
    // The text of each dump row, as drawn: the slot's line, then the logical line.
    std::vector<std::pair<std::string, std::string>> dumpRows() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::string lineText(const std::string &prefix, const BufferLine *line) const;

    QPointer<TerminalView> terminalView_;
    Terminal *terminal_;
    QFont font_;
    double height_;
    QLabel *dbg_;
};

} // namespace kestrix
