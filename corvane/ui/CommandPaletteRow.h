#pragma once

#include <QStyledItemDelegate>

namespace corvane {

class CommandPaletteModel;

// Draws the rows of the command palette: a section heading; a server as its environment's
// symbol, name, display host and environment badge; a snippet as its risk's symbol, title and
// command in a monospaced caption. Every text is drawn as plain text on one line.
class CommandPaletteRow : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CommandPaletteRow(const CommandPaletteModel &model, QObject *parent = nullptr);

    static QFont headingFont(const QFont &base);
    static QFont titleFont(const QFont &base);
    static QFont captionFont(const QFont &base);
    static QFont monospacedCaptionFont();

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    struct Texts {
        QString symbol;
        QColor symbolColor;
        QString title;
        QString caption;
        QFont captionFont;
    };

    void paintHeading(QPainter &painter, const QStyleOptionViewItem &option, const QString &title) const;
    // Paints the row's panel, the symbol and the two text lines, keeping `trailingWidth` free
    // at the right for a trailing item.
    void paintEntry(QPainter &painter, const QStyleOptionViewItem &option, const Texts &texts,
                    qreal trailingWidth) const;

    const CommandPaletteModel &model_;
};

} // namespace corvane
