#pragma once

#include <QWidget>

#include <functional>

class QPushButton;

namespace corvane {

// One symbol with a caption under it, on the welcome screen.
class FeatureHint : public QWidget {
    Q_OBJECT

public:
    FeatureHint(const QString &icon, const QString &label, QWidget *parent = nullptr);
};

// Fills the detail column while no server is selected: the product, the two ways to get
// servers into the catalogue, and the keyboard shortcuts.
class WelcomeView : public QWidget {
    Q_OBJECT

public:
    WelcomeView(std::function<void()> onAddServer, std::function<void()> onImport, QWidget *parent = nullptr);

    // The line of shortcuts, written with this desktop's key names.
    static QString shortcutLine();

    QPushButton &addServerButton() const { return *addServerButton_; }
    QPushButton &importButton() const { return *importButton_; }

private:
    std::function<void()> onAddServer_;
    std::function<void()> onImport_;
    QPushButton *addServerButton_;
    QPushButton *importButton_;
};

} // namespace corvane
