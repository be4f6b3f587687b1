#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/ConfirmActionView.h"
#include "corvane/ui/RiskPresentation.h"
#include "corvane/ui/Symbols.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace corvane {
namespace {

QuickAction actionOfRisk(RiskLevel risk)
{
    return QuickAction{QUuid::createUuid(),
                       QStringLiteral("Wipe <cache>"),
                       QStringLiteral("Empties the cache"),
                       QStringLiteral("rm -rf /var/cache/app/*"),
                       risk,
                       QStringLiteral("Storage")};
}

std::shared_ptr<ServerProfile> profileIn(ServerEnvironment environment,
                                         const QString &name = QStringLiteral("db-1"))
{
    return std::make_shared<ServerProfile>(name, QString(), QStringLiteral("10.0.0.9"), 22,
                                           QStringLiteral("ops"), environment);
}

// What the label shows, with markup taken as markup.
QString shownText(const QLabel *label)
{
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

// Keys for plain ASCII; anything else arrives the way an input method delivers it.
void type(QLineEdit *field, const QString &text)
{
    bool ascii = true;
    for (QChar c : text) {
        ascii = ascii && c.unicode() < 0x80;
    }
    if (ascii) {
        QTest::keyClicks(field, text);
        return;
    }
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(field, &event);
}

struct Confirmation {
    Confirmation(RiskLevel risk, std::shared_ptr<ServerProfile> profile)
        : view(
              actionOfRisk(risk), std::move(profile), [this] { ++confirms; }, [this] { ++cancels; })
    {
        view.show();
    }

    int confirms = 0;
    int cancels = 0;
    ConfirmActionView view;
};

TEST(ConfirmActionView, EveryRiskHasItsSymbol)
{
    for (RiskLevel risk : allRiskLevels) {
        EXPECT_TRUE(symbols::has(RiskPresentation::of(risk).symbol())) << title(risk).toStdString();
    }
}

TEST(ConfirmActionView, RiskAndEnvironmentDecideBannerNameFieldAndButton)
{
    struct Row {
        RiskLevel risk;
        ServerEnvironment environment;
        bool banner;
        bool nameField;
        const char *label;
        bool enabledAtOnce;
    };
    const Row table[] = {
        {RiskLevel::changesState, ServerEnvironment::development, false, false, "Run Command", true},
        {RiskLevel::restart, ServerEnvironment::staging, false, false, "Run Command", true},
        {RiskLevel::destructive, ServerEnvironment::testing, false, false, "Run (Destructive)", true},
        {RiskLevel::changesState, ServerEnvironment::production, true, false, "Run Command", true},
        {RiskLevel::restart, ServerEnvironment::production, true, false, "Run Command", true},
        {RiskLevel::destructive, ServerEnvironment::production, true, true, "Run (Destructive)", false},
    };
    for (const Row &row : table) {
        SCOPED_TRACE(title(row.risk).toStdString() + " on " + rawValue(row.environment).toStdString());
        Confirmation confirmation(row.risk, profileIn(row.environment));
        ConfirmActionView &view = confirmation.view;
        EXPECT_EQ(view.productionBanner()->isVisible(), row.banner);
        EXPECT_EQ(view.nameField()->isVisible(), row.nameField);
        EXPECT_EQ(view.confirmButton()->text(), QString::fromLatin1(row.label));
        EXPECT_EQ(view.confirmButton()->isEnabled(), row.enabledAtOnce);
        EXPECT_EQ(view.canConfirm(), row.enabledAtOnce);
        EXPECT_EQ(view.width(), ConfirmActionView::sheetWidth);
    }
}

TEST(ConfirmActionView, DestructiveOnProductionNeedsTheExactNameUpToCanonicalEquivalence)
{
    const QString name = QStringLiteral("Caf\u00e9 DB");
    struct Typed {
        QString text;
        bool matches;
    };
    const Typed cases[] = {
        {QString(), false},
        {QStringLiteral("caf\u00e9 db"), false},
        {QStringLiteral("Caf\u00e9 DB "), false},
        {QStringLiteral(" Caf\u00e9 DB"), false},
        {QStringLiteral("Cafe DB"), false},
        {QStringLiteral("Caf\u00e9 DB"), true},
        {QStringLiteral("Cafe\u0301 DB"), true}, // decomposed e + combining acute
    };
    Confirmation confirmation(RiskLevel::destructive, profileIn(ServerEnvironment::production, name));
    ConfirmActionView &view = confirmation.view;
    EXPECT_EQ(view.nameField()->placeholderText(), name);
    for (const Typed &typed : cases) {
        SCOPED_TRACE(typed.text.toStdString());
        view.nameField()->clear();
        type(view.nameField(), typed.text);
        ASSERT_EQ(view.typedName(), typed.text);
        EXPECT_EQ(view.canConfirm(), typed.matches);
        EXPECT_EQ(view.confirmButton()->isEnabled(), typed.matches);

        // Return confirms exactly when the button is enabled.
        const int before = confirmation.confirms;
        QTest::keyClick(view.nameField(), Qt::Key_Return);
        EXPECT_EQ(confirmation.confirms - before, typed.matches ? 1 : 0);
    }
    EXPECT_EQ(confirmation.cancels, 0);
}

TEST(ConfirmActionView, ReturnConfirmsAndControlEscapeCancels)
{
    Confirmation confirmation(RiskLevel::restart, profileIn(ServerEnvironment::development));
    QTest::keyClick(&confirmation.view, Qt::Key_Return);
    EXPECT_EQ(confirmation.confirms, 1);
    QTest::keyClick(confirmation.view.confirmButton(), Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_EQ(confirmation.cancels, 1);
    confirmation.view.cancelButton()->click();
    EXPECT_EQ(confirmation.cancels, 2);
    QTest::keyClick(&confirmation.view, Qt::Key_Escape); // dismissed by the platform
    EXPECT_EQ(confirmation.cancels, 3);
    EXPECT_EQ(confirmation.confirms, 1);
    // It closes only when its presenter says so.
    EXPECT_TRUE(confirmation.view.isVisible());
}

TEST(ConfirmActionView, TextsFromTheUserAndTheCatalogueAreShownAsTheyStand)
{
    const QString name = QStringLiteral("<b>ops</b> & **db**  <img src=x>");
    Confirmation confirmation(RiskLevel::destructive, profileIn(ServerEnvironment::production, name));
    ConfirmActionView &view = confirmation.view;
    EXPECT_EQ(shownText(view.bannerText()),
              QStringLiteral("This runs on ") + name + QStringLiteral(" \u2014 a production server"));
    EXPECT_EQ(view.nameField()->placeholderText(), name);
    for (const char *labelName : {"actionTitle", "actionDescription", "remoteCommand"}) {
        auto *label = view.findChild<QLabel *>(QString::fromLatin1(labelName));
        ASSERT_NE(label, nullptr) << labelName;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << labelName;
    }
    EXPECT_EQ(view.findChild<QLabel *>(QStringLiteral("actionTitle"))->text(),
              QStringLiteral("Wipe <cache>"));
    EXPECT_EQ(shownText(view.findChild<QLabel *>(QStringLiteral("riskLine"))),
              QStringLiteral("Risk: Destructive"));
}

TEST(ConfirmActionView, ServerBecomingProductionWhileOpenAsksForTheName)
{
    auto profile = profileIn(ServerEnvironment::staging);
    Confirmation confirmation(RiskLevel::destructive, profile);
    ConfirmActionView &view = confirmation.view;
    EXPECT_TRUE(view.confirmButton()->isEnabled());
    profile->setEnvironment(ServerEnvironment::production);
    EXPECT_TRUE(view.productionBanner()->isVisible());
    EXPECT_TRUE(view.nameField()->isVisible());
    EXPECT_FALSE(view.confirmButton()->isEnabled());
    view.confirmButton()->click();
    EXPECT_EQ(confirmation.confirms, 0);

    QTest::keyClicks(view.nameField(), QStringLiteral("db-1"));
    EXPECT_TRUE(view.confirmButton()->isEnabled());
    profile->setDisplayName(QStringLiteral("db-2")); // the name to type follows the profile
    EXPECT_FALSE(view.confirmButton()->isEnabled());
    EXPECT_EQ(view.nameField()->placeholderText(), QStringLiteral("db-2"));
}

} // namespace
} // namespace corvane
