#pragma once

// Shared fixtures of the session tests: fakes for the audit trail and the terminal view, and
// probes of this process's children and descriptors.

#include "corvane/catalogue/AuditSink.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/HostOutputSink.h"
#include "corvane/session/SSHSession.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace corvane::testing {

using calvero::testing::spinFor;
using calvero::testing::waitUntil;

struct AuditEntry {
    QString action;
    QString category;
    RiskLevel risk;
    QUuid profileId;
};

class RecordingAuditSink final : public AuditSink {
public:
    void log(const QString &action, const QString &category, RiskLevel risk,
             const ServerProfile &profile) override
    {
        entries.push_back({action, category, risk, profile.id()});
    }

    QStringList actions() const
    {
        QStringList list;
        for (const AuditEntry &entry : entries) {
            list.append(entry.action);
        }
        return list;
    }

    std::vector<AuditEntry> entries;
};

class RecordingOutputSink final : public HostOutputSink {
public:
    void feedHostOutput(QByteArrayView chunk) override
    {
        bytes.append(chunk);
        ++chunks;
    }

    QByteArray bytes;
    int chunks = 0;
};

// The children of every thread of this process.
inline std::vector<int> childProcessIds()
{
    std::vector<int> children;
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file("/proc/self/task/" + task + "/children");
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &pid : file.readAll().split(' ')) {
                if (!pid.trimmed().isEmpty()) {
                    children.push_back(pid.trimmed().toInt());
                }
            }
        }
    }
    return children;
}

inline bool noChildrenLeft()
{
    return waitUntil([] { return childProcessIds().empty(); }, 5000);
}

// This process's open descriptors and what they refer to.
inline std::map<int, QString> openDescriptors(int pid = 0)
{
    const QString directory = pid ? QStringLiteral("/proc/%1/fd").arg(pid) : QStringLiteral("/proc/self/fd");
    std::map<int, QString> descriptors;
    for (const QString &name :
         QDir(directory).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(directory + "/" + name);
        if (!target.isEmpty() && !target.endsWith("/fd")) { // the listing's own descriptor
            descriptors[name.toInt()] = target;
        }
    }
    return descriptors;
}

// Sessions whose ssh is the fake script, which records what it saw in a temporary directory.
class FakeSshTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(record.isValid());
        qputenv("FAKE_SSH_RECORD", record.path().toUtf8());
        setMode("idle");
        qputenv("FAKE_KEYGEN_STATUS", "0"); // every host is known unless a test says otherwise
        configuration.sshPath = QStringLiteral(CALVERO_TEST_DATA_DIR "/fake-ssh");
        configuration.sshKeygenPath = QStringLiteral(CALVERO_TEST_DATA_DIR "/fake-ssh-keygen");
        configuration.sshKeyscanPath = QStringLiteral(CALVERO_TEST_DATA_DIR "/fake-ssh-keyscan");
        configuration.homeDirectory = record.filePath("home");
        ASSERT_TRUE(QDir().mkpath(configuration.homeDirectory + "/.ssh"));
        configuration.auditSink = &audit;
    }

    void TearDown() override { EXPECT_TRUE(noChildrenLeft()); }

    static void setMode(const char *mode) { qputenv("FAKE_SSH_MODE", mode); }

    QByteArray recorded(const QString &name) const
    {
        QFile file(record.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool waitForRecord(const QString &name) const
    {
        return waitUntil([&] { return !recorded(name).isEmpty(); });
    }

    std::unique_ptr<SSHSession> makeSession(std::shared_ptr<ServerProfile> profile)
    {
        auto session = std::make_unique<SSHSession>(std::move(profile), configuration);
        session->setTerminalView(output);
        return session;
    }

    static std::shared_ptr<ServerProfile> profileFor(const QString &host)
    {
        return std::make_shared<ServerProfile>("Test", "", host, 22, "tester");
    }

    QTemporaryDir record;
    RecordingAuditSink audit;
    std::shared_ptr<RecordingOutputSink> output = std::make_shared<RecordingOutputSink>();
    SSHSessionConfiguration configuration;
};

} // namespace corvane::testing
