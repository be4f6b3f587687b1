#pragma once

#include "corvane/session/HostKeyInfo.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace corvane {

class HostKeyFingerprints;

// The prompt for a host key not yet known: the host, a warning, the key's fingerprints and its
// raw lines, and the two decisions. It changes nothing itself; the callbacks' owner does. Only
// Ctrl+Escape ("Reject") and Ctrl+Return ("Trust and Connect") answer from the keyboard, so a
// stray Return or Escape never decides for the user.
class HostKeyAlertView : public QDialog {
    Q_OBJECT

public:
    static constexpr int promptWidth = 480;
    static constexpr int keyBlockMaximumHeight = 100;

    HostKeyAlertView(HostKeyInfo info, std::function<void()> onApprove, std::function<void()> onReject,
                     QString sshKeygenPath = QStringLiteral("/usr/bin/ssh-keygen"),
                     QWidget *parent = nullptr);
    ~HostKeyAlertView() override;

    // "host" on port 22, otherwise "host:port".
    static QString hostLine(const HostKeyInfo &info);

    const HostKeyInfo &info() const { return info_; }
    // Shows another pending key in place.
    void setInfo(const HostKeyInfo &info);

    QLabel *hostLabel() const { return hostLabel_; }
    QLabel *fingerprintLabel() const { return fingerprintLabel_; }
    QPlainTextEdit *keyBlock() const { return keyBlock_; }
    QPushButton *rejectButton() const { return rejectButton_; }
    QPushButton *approveButton() const { return approveButton_; }
    // Whether the fingerprints have been worked out (or failed to be).
    bool fingerprintsDone() const;

private:
    QWidget *makeHeader();
    QWidget *makeKeyBox();
    QWidget *makeButtons();
    void showInfo();
    void showFingerprints();

    HostKeyInfo info_;
    std::function<void()> onApprove_;
    std::function<void()> onReject_;
    QString sshKeygenPath_;
    QPointer<HostKeyFingerprints> fingerprints_;
    QLabel *hostLabel_ = nullptr;
    QLabel *fingerprintLabel_ = nullptr;
    QPlainTextEdit *keyBlock_ = nullptr;
    QPushButton *rejectButton_ = nullptr;
    QPushButton *approveButton_ = nullptr;
};

} // namespace corvane
