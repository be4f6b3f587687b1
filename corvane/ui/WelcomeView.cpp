#include "corvane/ui/WelcomeView.h"

#include "corvane/ui/MenuCommand.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

constexpr int buttonMinimumWidth = 130;

struct Hint {
    const char *icon;
    const char *label;
};

constexpr Hint featureHints[] = {
    {"lock.shield.fill", "Keychain Auth"},
    {"terminal", "Full Terminal"},
    {"checkmark.shield.fill", "Host Verification"},
    {"list.bullet.clipboard", "Audit Log"},
};

QLabel *plainLabel(const QString &text, int pixelSize, QFont::Weight weight, const QColor &color,
                   QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    if (color.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
    }
    return label;
}

// A pale blue disc with the terminal symbol on it.
class ProductMark : public QWidget {
public:
    explicit ProductMark(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(96, 96);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor disc = systemcolors::blue();
        disc.setAlphaF(0.08f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(disc);
        painter.drawEllipse(rect());
        const int side = 44;
        const QPixmap symbol =
            symbols::pixmap(QStringLiteral("terminal.fill"), systemcolors::blue(), side, devicePixelRatioF());
        painter.drawPixmap((width() - side) / 2, (height() - side) / 2, symbol);
    }
};

QPushButton *makeButton(const QString &title, const QString &symbol, bool prominent, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    const QColor tint = prominent ? QColor(Qt::white) : parent->palette().color(QPalette::ButtonText);
    button->setIcon(symbols::icon(symbol, tint));
    button->setMinimumWidth(buttonMinimumWidth);
    button->setMinimumHeight(32);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    if (prominent) {
        button->setDefault(true);
        // Tinted only while it can be pressed; a disabled button keeps the plain look.
        QPalette palette = button->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Button, systemcolors::blue());
            palette.setColor(group, QPalette::ButtonText, Qt::white);
        }
        button->setPalette(palette);
    }
    return button;
}

} // namespace

FeatureHint::FeatureHint(const QString &icon, const QString &label, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(7);
    layout->addWidget(new SymbolView(icon, systemcolors::secondaryText(), 22, this), 0, Qt::AlignHCenter);
    layout->addWidget(plainLabel(label, 11, QFont::Normal, systemcolors::tertiaryText(), this));
}

WelcomeView::WelcomeView(std::function<void()> onAddServer, std::function<void()> onImport, QWidget *parent)
    : QWidget(parent)
    , onAddServer_(std::move(onAddServer))
    , onImport_(std::move(onImport))
    , addServerButton_(makeButton(tr("Add Server"), QStringLiteral("plus.circle.fill"), true, this))
    , importButton_(makeButton(tr("Import SSH Config"), QStringLiteral("square.and.arrow.down"), false, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addStretch(1);

    layout->addWidget(new ProductMark(this), 0, Qt::AlignHCenter);
    layout->addSpacing(22);

    layout->addWidget(plainLabel(tr("Calvero"), 26, QFont::Bold, {}, this));
    layout->addSpacing(6);
    layout->addWidget(plainLabel(tr("Manage your SSH servers in one place"), 15, QFont::Normal,
                                 systemcolors::secondaryText(), this));
    layout->addSpacing(30);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch(1);
    buttons->addWidget(addServerButton_);
    buttons->addWidget(importButton_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addSpacing(44);

    auto *hints = new QHBoxLayout;
    hints->setSpacing(36);
    hints->addStretch(1);
    for (const Hint &hint : featureHints) {
        hints->addWidget(
            new FeatureHint(QString::fromLatin1(hint.icon), QString::fromLatin1(hint.label), this));
    }
    hints->addStretch(1);
    layout->addLayout(hints);

    layout->addStretch(1);
    layout->addWidget(plainLabel(shortcutLine(), 11, QFont::Normal, systemcolors::quaternaryText(), this));
    layout->addSpacing(20);

    connect(addServerButton_, &QPushButton::clicked, this, [this] {
        if (onAddServer_) {
            onAddServer_();
        }
    });
    connect(importButton_, &QPushButton::clicked, this, [this] {
        if (onImport_) {
            onImport_();
        }
    });
}

QString WelcomeView::shortcutLine()
{
    const auto keys = [](MenuCommand command) {
        return menuCommandShortcut(command).toString(QKeySequence::NativeText);
    };
    return tr("%1  Command Palette  ·  %2  New Server  ·  %3  Import SSH Config")
        .arg(keys(MenuCommand::openCommandPalette), keys(MenuCommand::newServer),
             keys(MenuCommand::importSSHConfig));
}

} // namespace corvane
