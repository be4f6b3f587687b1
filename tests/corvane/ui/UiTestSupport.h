#pragma once

// Shared fixtures of the screen tests: a store in a temporary directory, profiles in it, and
// a session manager whose tools do not exist, so no session ever reaches a host.

#include "corvane/catalogue/AuditLogger.h"
#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/catalogue/TemporaryStore.h"
#include "corvane/session/SessionManager.h"
#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace corvane::testing {

using calvero::testing::waitUntil;

struct ProfileFields {
    QString displayName = {};
    ServerEnvironment environment = ServerEnvironment::development;
    QString clientGroup = {};
    QStringList tags = {};
    bool isFavorite = false;
    int64_t sortOrder = 0;
    QString hostname = QStringLiteral("host.example");
    QString username = {};
    int64_t port = 22;
    QString notes = {};
};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        SSHSessionConfiguration configuration;
        configuration.sshPath = home.filePath(QStringLiteral("missing-ssh"));
        configuration.sshKeygenPath = home.filePath(QStringLiteral("missing-ssh-keygen"));
        configuration.sshKeyscanPath = home.filePath(QStringLiteral("missing-ssh-keyscan"));
        configuration.homeDirectory = home.path();
        sessions = std::make_unique<SessionManager>(configuration);
    }

    void TearDown() override
    {
        if (AuditLogger::shared().modelContext() == &store.context()) {
            AuditLogger::shared().setModelContext(nullptr);
        }
    }

    std::shared_ptr<ServerProfile> addProfile(const ProfileFields &fields, bool save = true)
    {
        auto profile = std::make_shared<ServerProfile>(
            fields.displayName, QString(), fields.hostname, fields.port, fields.username, fields.environment,
            fields.clientGroup, fields.tags, fields.notes, QString(), QString(), fields.isFavorite,
            fields.sortOrder);
        store.context().insert(profile);
        if (save) {
            EXPECT_FALSE(store.context().save().has_value());
        }
        return profile;
    }

    ModelContext &context() { return store.context(); }

    QTemporaryDir home;
    TemporaryStore store;
    std::unique_ptr<SessionManager> sessions;
};

// The notice of a save that failed, when one is shown.
inline QMessageBox *shownSaveFailure()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (box && box->objectName() == QStringLiteral("saveFailure") && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Every label in the widget tree that shows text must never read it as rich text.
inline QStringList labelsNotPlainText(const QWidget &root)
{
    QStringList offenders;
    for (const QLabel *label : root.findChildren<QLabel *>()) {
        if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText) {
            offenders.append(label->text());
        }
    }
    return offenders;
}

} // namespace corvane::testing
