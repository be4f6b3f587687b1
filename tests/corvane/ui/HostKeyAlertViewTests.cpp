#include "SessionScreenSupport.h"
#include "corvane/ui/HostKeyAlertView.h"
#include "corvane/ui/HostKeyFingerprints.h"

#include <QPlainTextEdit>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

constexpr const char *ed25519Line =
    "|1|abc=|def= ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIOMqqnkVzrm0SdG6UOoqKLsabgH5C9okWi0dh2l9GKJl\n";
constexpr const char *ed25519Fingerprint = "ED25519 SHA256:+DiY3wvvV6TuJJhbpZisF/zLDA0zPMSvHdkr4UvCOqU";

struct Prompt {
    explicit Prompt(HostKeyInfo info, QString sshKeygenPath = QStringLiteral("/usr/bin/ssh-keygen"))
        : view(
              std::move(info), [this] { ++approvals; }, [this] { ++rejections; }, std::move(sshKeygenPath))
    {
        view.show();
        view.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }

    int approvals = 0;
    int rejections = 0;
    HostKeyAlertView view;
};

TEST(HostKeyAlertView, HostLineNamesThePortOnlyWhenItIsNot22)
{
    EXPECT_EQ(HostKeyAlertView::hostLine({QUuid(), "db.example", 22, ""}), "db.example");
    EXPECT_EQ(HostKeyAlertView::hostLine({QUuid(), "db.example", 2222, ""}), "db.example:2222");
}

TEST(HostKeyAlertView, ShowsTheKeyVerbatimWithItsSha256Fingerprint)
{
    Prompt prompt({QUuid::createUuid(), "db.example", 2222, ed25519Line});
    EXPECT_EQ(prompt.view.hostLabel()->text(), "db.example:2222");
    EXPECT_EQ(prompt.view.keyBlock()->toPlainText(), ed25519Line);
    EXPECT_TRUE(prompt.view.keyBlock()->isReadOnly());
    EXPECT_LE(prompt.view.keyBlock()->maximumHeight(), 100);
    ASSERT_TRUE(waitUntil([&] { return prompt.view.fingerprintsDone(); }));
    EXPECT_EQ(prompt.view.fingerprintLabel()->text(), ed25519Fingerprint);
    EXPECT_EQ(prompt.view.fingerprintLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(prompt.view.width(), HostKeyAlertView::promptWidth);
}

TEST(HostKeyAlertView, FingerprintsThatCannotBeWorkedOutSaySo)
{
    Prompt prompt({QUuid::createUuid(), "db.example", 22, ""}, "/nonexistent/ssh-keygen");
    ASSERT_TRUE(waitUntil([&] { return prompt.view.fingerprintsDone(); }));
    EXPECT_EQ(prompt.view.fingerprintLabel()->text(), "The fingerprint could not be worked out.");
    prompt.view.approveButton()->click();
    prompt.view.rejectButton()->click();
    EXPECT_EQ(prompt.approvals, 1) << "an empty key block still answers";
    EXPECT_EQ(prompt.rejections, 1);
}

TEST(HostKeyAlertView, ParsesEachKeyTypeAndFingerprint)
{
    const QByteArray output = "256 SHA256:abc |1|x=|y= (ED25519)\n"
                              "3072 SHA256:def no comment (RSA)\n"
                              "garbage line\n"
                              "\n";
    EXPECT_EQ(HostKeyFingerprints::parseFingerprints(output),
              (QStringList{"ED25519 SHA256:abc", "RSA SHA256:def"}));
}

TEST(HostKeyAlertView, OnlyTheControlShortcutsAnswerAndEscapeClosesWithoutAnAnswer)
{
    Prompt prompt({QUuid::createUuid(), "db.example", 22, ed25519Line});
    for (QWidget *target :
         {static_cast<QWidget *>(&prompt.view), static_cast<QWidget *>(prompt.view.approveButton()),
          static_cast<QWidget *>(prompt.view.rejectButton())}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    EXPECT_EQ(prompt.approvals, 0);
    EXPECT_EQ(prompt.rejections, 0);
    EXPECT_TRUE(prompt.view.isVisible());

    QTest::keyClick(&prompt.view, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(prompt.approvals, 1);
    QTest::keyClick(&prompt.view, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_EQ(prompt.rejections, 1);
    EXPECT_TRUE(prompt.view.isVisible()) << "it never closes itself";

    // Plain Escape closes it like any sheet; its owner takes a close without an answer as Reject.
    QTest::keyClick(prompt.view.rejectButton(), Qt::Key_Escape);
    EXPECT_FALSE(prompt.view.isVisible());
    EXPECT_EQ(prompt.approvals + prompt.rejections, 2);
}

} // namespace
} // namespace corvane
