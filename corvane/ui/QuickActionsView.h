#pragma once

#include "corvane/catalogue/QuickAction.h"
#include "corvane/ui/ConfirmActionView.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

namespace corvane {

class WrappingText;

class AuditSink;
class SSHSession;
class ServerProfile;

// The sheet of canned remote commands for one session, by category. A read-only action
// runs at once; every other one asks first. Running types the command into the session,
// records it in the audit trail and closes the sheet; a session that is not connected, or whose
// terminal shows a full-screen program, takes nothing, records nothing, and the sheet stays
// open and says why.
class QuickActionsView : public QDialog {
    Q_OBJECT

public:
    static constexpr int sheetWidth = 460;
    static constexpr int sheetHeight = 560;

    struct ActionGroup {
        QString category;
        std::vector<QuickAction> actions;
    };

    // The built-in catalogue, recorded in the application's audit trail.
    explicit QuickActionsView(SSHSession &session, QWidget *parent = nullptr);
    QuickActionsView(SSHSession &session, AuditSink &auditSink, std::vector<QuickAction> catalogue,
                     QWidget *parent = nullptr);
    ~QuickActionsView() override;

    // One group per category (canonically equal texts are one category), in ascending
    // code-point order of the category; actions keep their catalogue order.
    static std::vector<ActionGroup> groupedActions(const std::vector<QuickAction> &catalogue);

    // What the row's "Run" does.
    void handleActionTap(const QuickAction &action);
    void executeAction(const QuickAction &action);

    const std::optional<QuickAction> &pendingAction() const { return pendingAction_; }
    bool showingConfirm() const { return confirmation_ != nullptr; }
    ConfirmActionView *confirmation() const { return confirmation_; }
    QPushButton *runButton(const QUuid &actionId) const;
    QPushButton *doneButton() const { return doneButton_; }
    // The message under the list; empty while there is none.
    QString statusMessage() const;

private:
    QWidget *makeHeader();
    QWidget *makeList();
    QWidget *makeRow(const QuickAction &action, QWidget *parent);
    QWidget *makeFooter();
    void presentConfirmation(const QuickAction &action);
    void confirmPendingAction();
    void closeConfirmation();
    void showStatus(const QString &message);
    void dismiss();

    QPointer<SSHSession> session_;
    std::shared_ptr<ServerProfile> profile_;
    AuditSink &auditSink_;
    std::vector<QuickAction> catalogue_;
    std::optional<QuickAction> pendingAction_;
    QPointer<ConfirmActionView> confirmation_;

    QLabel *subtitle_ = nullptr;
    WrappingText *status_ = nullptr;
    QPushButton *doneButton_ = nullptr;
    std::vector<std::pair<QUuid, QPushButton *>> runButtons_;
};

} // namespace corvane
