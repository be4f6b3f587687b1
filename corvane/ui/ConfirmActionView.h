#pragma once

#include "corvane/catalogue/QuickAction.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace corvane {

class ServerProfile;

// The sheet that asks before a quick action that is not read-only runs. On a production
// server it warns; a destructive action there runs only once the server's name is typed.
// It never closes itself: its presenter does, from the callbacks.
class ConfirmActionView : public QDialog {
    Q_OBJECT

public:
    static constexpr int sheetWidth = 480;

    ConfirmActionView(QuickAction action, std::shared_ptr<ServerProfile> profile,
                      std::function<void()> onConfirm, std::function<void()> onCancel,
                      QWidget *parent = nullptr);
    ~ConfirmActionView() override;

    const QuickAction &action() const { return action_; }
    const QString &typedName() const { return typedName_; }

    // Whether the confirm button may run the action.
    bool canConfirm() const;
    bool needsTypedName() const;

    QPushButton *confirmButton() const { return confirmButton_; }
    QPushButton *cancelButton() const { return cancelButton_; }
    QLineEdit *nameField() const { return nameField_; }
    QWidget *productionBanner() const { return banner_; }
    QLabel *bannerText() const { return bannerText_; }

    static QString confirmLabel(RiskLevel risk);

    // Escape and closing the window cancel like "Cancel".
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *makeHeader();
    QWidget *makeProductionBanner();
    QWidget *makeCommandBox();
    QWidget *makeRiskLine();
    QWidget *makeNameCheck();
    QWidget *makeButtonRow();
    void profileChanged();
    void updateConfirmButton();

    QuickAction action_;
    std::shared_ptr<ServerProfile> profile_;
    std::function<void()> onConfirm_;
    std::function<void()> onCancel_;
    QString typedName_;

    QWidget *banner_ = nullptr;
    QLabel *bannerText_ = nullptr;
    QWidget *nameCheck_ = nullptr;
    QLineEdit *nameField_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
    QPushButton *confirmButton_ = nullptr;
};

} // namespace corvane
