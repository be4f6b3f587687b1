#pragma once

#include <QStyledItemDelegate>

#include <memory>
#include <optional>
#include <vector>

namespace corvane {

class ServerListModel;
class ServerProfile;
class SSHSession;

// The small dot in front of a server row, lit while a session to the server is under way.
// `level` runs from 0 (unlit) to 1 (lit), so a change can fade between the two.
struct StatusDot {
    static constexpr qreal diameter = 7;
    static constexpr qreal glowRadius = 3;

    static QColor fill(qreal level);
    static QColor glow(qreal level);
    static void paint(QPainter &painter, QPointF centre, qreal level);
};

// Draws one server profile as a row of the server list: the status dot, the name with the
// favourite star and the environment badge, the reach line with a port other than 22, and
// the first line of the notes. Every text is drawn as plain text.
class ServerRow : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit ServerRow(const ServerListModel &model, QObject *parent = nullptr);

    // "user@host", or the host alone without a user; the host is the display host.
    static QString userAtHost(const ServerProfile &profile);
    // ":" and the port, only when it is not 22.
    static std::optional<QString> portText(const ServerProfile &profile);
    // True when one of the sessions is verifying its host key, connecting or connected.
    static bool hasActiveSession(const std::vector<std::shared_ptr<SSHSession>> &sessions);
    // The notes cut to their first line; an ellipsis marks what was cut.
    static QString notesLine(const QString &notes);

    static QFont nameFont(const QFont &base, bool isProduction);
    static QFont reachFont(const QFont &base);
    static QFont notesFont(const QFont &base);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const ServerListModel &model_;
};

} // namespace corvane
