#pragma once

#include <QWidget>

namespace corvane {

// The settings window: one "Appearance" section that says more is to come. It changes nothing.
// Escape closes it, as it closes every sheet.
class SettingsPlaceholderView : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize fixedSize{420, 200};

    explicit SettingsPlaceholderView(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace corvane
