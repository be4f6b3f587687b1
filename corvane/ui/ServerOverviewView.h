#pragma once

#include <QWidget>

#include <memory>

class QGridLayout;
class QLabel;
class QPushButton;

namespace corvane {

class EnvironmentBadge;
class ServerProfile;
class SessionManager;
class SymbolView;

// A read-only summary of a server that has no open session, with the button that opens one.
class ServerOverviewView : public QWidget {
    Q_OBJECT

public:
    static constexpr int maximumContentWidth = 480;

    ServerOverviewView(std::shared_ptr<ServerProfile> profile, SessionManager &sessionManager,
                       QWidget *parent = nullptr);

    static QString environmentSymbol(const ServerProfile &profile);
    static QColor environmentColor(const ServerProfile &profile, const QPalette &palette);

    void connectToServer();

    QPushButton *connectButton() const { return connectButton_; }
    // The detail rows shown, label and value, top to bottom.
    QList<std::pair<QString, QString>> detailRows() const;

private:
    void showProfile();
    void addDetailRow(const QString &label, const QString &value, bool monospaced, bool wraps = false);

    std::shared_ptr<ServerProfile> profile_;
    SessionManager &sessionManager_;
    QWidget *symbolHolder_ = nullptr;
    QLabel *nameLabel_ = nullptr;
    EnvironmentBadge *badge_ = nullptr;
    QLabel *groupLabel_ = nullptr;
    QWidget *detailHolder_ = nullptr;
    QGridLayout *details_ = nullptr;
    QPushButton *connectButton_ = nullptr;
};

} // namespace corvane
