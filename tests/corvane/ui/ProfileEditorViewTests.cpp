#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/ProfileEditorView.h"
#include "tests/corvane/catalogue/TemporaryStore.h"
#include "tests/corvane/ui/UiTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

namespace corvane {
namespace {

template <class Widget> Widget *child(QWidget &parent, const char *name)
{
    auto *widget = parent.findChild<Widget *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

QLineEdit *field(QWidget &editor, const char *name)
{
    return child<QLineEdit>(editor, name);
}

std::shared_ptr<ServerProfile> storedProfile(const QString &group = QStringLiteral("Acme"),
                                             int64_t sortOrder = 5)
{
    return std::make_shared<ServerProfile>(
        QStringLiteral("db"), QStringLiteral("db-alias"), QStringLiteral("10.0.0.2"), 2200,
        QStringLiteral("admin"), ServerEnvironment::staging, group,
        QStringList{QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("notes"),
        QStringLiteral("/srv"), QStringLiteral("/keys/id"), true, sortOrder);
}

class ProfileEditorViewTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    std::vector<std::shared_ptr<ServerProfile>> profiles() { return store.context().fetch<ServerProfile>(); }

    TemporaryStore store;
};

TEST_F(ProfileEditorViewTest, AddsANewProfileWithTheValuesAsTyped)
{
    for (int sheet = 0; sheet < 2; ++sheet) {
        ProfileEditorView editor(store.context());
        EXPECT_EQ(editor.windowTitle(), QStringLiteral("Add Server"));
        auto *confirm = child<QPushButton>(editor, "confirmButton");
        EXPECT_EQ(confirm->text(), QStringLiteral("Add"));
        EXPECT_FALSE(confirm->isEnabled());
        EXPECT_EQ(field(editor, "clientGroup")->text(), QStringLiteral("General"));

        field(editor, "displayName")->setText(QStringLiteral(" web "));
        EXPECT_FALSE(confirm->isEnabled());
        field(editor, "hostname")->setText(QStringLiteral("   "));
        EXPECT_FALSE(confirm->isEnabled()); // blanks are no host
        field(editor, "hostname")->setText(QStringLiteral(" 10.0.0.1 "));
        EXPECT_TRUE(confirm->isEnabled());
        field(editor, "tags")->setText(QStringLiteral("web, ,db,,  prod , "));
        child<QComboBox>(editor, "environment")->setCurrentIndex(1);
        child<QPlainTextEdit>(editor, "notes")->setPlainText(QStringLiteral("first\nsecond"));
        confirm->click();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
    }

    store.reopen();
    const auto saved = profiles();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_NE(saved[0]->id(), saved[1]->id());
    for (const auto &profile : saved) {
        EXPECT_EQ(profile->displayName(), QStringLiteral(" web "));
        EXPECT_EQ(profile->hostname(), QStringLiteral("10.0.0.1"));
        EXPECT_EQ(profile->tags(),
                  (QStringList{QStringLiteral("web"), QStringLiteral("db"), QStringLiteral("prod")}));
        EXPECT_EQ(profile->environment(), ServerEnvironment::staging);
        EXPECT_EQ(profile->clientGroup(), QStringLiteral("General"));
        EXPECT_EQ(profile->notes(), QStringLiteral("first\nsecond"));
        EXPECT_EQ(profile->port(), 22);
        EXPECT_EQ(profile->sortOrder(), 0);
        EXPECT_FALSE(profile->lastConnected().has_value());
    }
}

TEST_F(ProfileEditorViewTest, EditShowsTheProfileAndSavingKeepsIdSortOrderAndCreationDate)
{
    const auto original = storedProfile();
    store.context().insert(original);
    ASSERT_FALSE(store.context().save().has_value());
    const QUuid id = original->id();
    const QDateTime createdAt = original->createdAt();

    {
        ProfileEditorView editor(store.context(), original);
        EXPECT_EQ(editor.windowTitle(), QStringLiteral("Edit Server"));
        EXPECT_EQ(child<QPushButton>(editor, "confirmButton")->text(), QStringLiteral("Save"));
        EXPECT_EQ(field(editor, "displayName")->text(), QStringLiteral("db"));
        EXPECT_EQ(field(editor, "port")->text(), QStringLiteral("2200")); // no digit grouping
        EXPECT_EQ(field(editor, "tags")->text(), QStringLiteral("a, b"));
        EXPECT_EQ(child<QComboBox>(editor, "environment")->currentText(), QStringLiteral("Staging"));
        EXPECT_TRUE(child<QCheckBox>(editor, "isFavorite")->isChecked());
        EXPECT_EQ(child<QLabel>(editor, "identityLabel")->text(), QStringLiteral("/keys/id"));

        field(editor, "displayName")->setText(QStringLiteral("db primary"));
        field(editor, "port")->setText(QStringLiteral("2222"));
        child<QPushButton>(editor, "confirmButton")->click();
    }

    store.reopen();
    const auto saved = profiles();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0]->id(), id);
    EXPECT_EQ(saved[0]->sortOrder(), 5);
    EXPECT_EQ(saved[0]->createdAt(), createdAt);
    EXPECT_EQ(saved[0]->displayName(), QStringLiteral("db primary"));
    EXPECT_EQ(saved[0]->port(), 2222);
    EXPECT_EQ(saved[0]->tags(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(saved[0]->preferredIdentity(), QStringLiteral("/keys/id"));
}

TEST_F(ProfileEditorViewTest, SaveThatFailsIsShownAfterTheSheetCloses)
{
    store.refuseProfileWrites("database or disk is full");
    ProfileEditorView editor(store.context());
    field(editor, "displayName")->setText(QStringLiteral("web"));
    field(editor, "hostname")->setText(QStringLiteral("10.0.0.1"));
    child<QPushButton>(editor, "confirmButton")->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    QMessageBox *notice = corvane::testing::shownSaveFailure();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->informativeText().contains(QStringLiteral("database or disk is full")));
    EXPECT_TRUE(store.context().hasChanges()); // kept for the next save
    delete notice;
}

TEST_F(ProfileEditorViewTest, SavingWritesUntouchedValuesBackExactly)
{
    // A text field would turn these line breaks into plain line feeds.
    const auto original = storedProfile();
    original->setNotes(QString::fromUtf8("first\r\nsecond\xe2\x80\xa8third"));
    store.context().insert(original);
    const StoreRow before = original->storeRow();

    ProfileEditorView editor(store.context(), original);
    child<QPushButton>(editor, "confirmButton")->click();
    EXPECT_EQ(original->storeRow(), before);
}

TEST_F(ProfileEditorViewTest, CancelAfterChangingEveryFieldWritesNothing)
{
    const auto original = storedProfile();
    store.context().insert(original);
    ASSERT_FALSE(store.context().save().has_value());
    const StoreRow before = original->storeRow();

    ProfileEditorView editor(store.context(), original);
    for (const char *name :
         {"displayName", "sshAlias", "hostname", "username", "clientGroup", "tags", "workingDirectory"}) {
        field(editor, name)->setText(QStringLiteral("changed"));
    }
    field(editor, "port")->setText(QStringLiteral("1"));
    child<QComboBox>(editor, "environment")->setCurrentIndex(0);
    child<QCheckBox>(editor, "isFavorite")->setChecked(false);
    child<QPlainTextEdit>(editor, "notes")->setPlainText(QStringLiteral("changed"));
    child<QPushButton>(editor, "clearIdentity")->click();
    child<QPushButton>(editor, "cancelButton")->click();

    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_EQ(original->storeRow(), before);
    EXPECT_FALSE(store.context().hasChanges());
}

TEST_F(ProfileEditorViewTest, OptionLikeValuesAreRefusedWithAMessage)
{
    ProfileEditorView editor(store.context());
    auto *message = child<QLabel>(editor, "sshAliasProblem");
    EXPECT_TRUE(message->isHidden());
    EXPECT_EQ(message->textFormat(), Qt::PlainText);

    field(editor, "displayName")->setText(QStringLiteral("evil"));
    field(editor, "sshAlias")->setText(QStringLiteral("-oProxyCommand=touch /tmp/x"));
    EXPECT_FALSE(editor.isValid());
    EXPECT_FALSE(child<QPushButton>(editor, "confirmButton")->isEnabled());
    EXPECT_FALSE(message->isHidden());
    EXPECT_EQ(message->text(),
              QStringLiteral("The SSH alias can’t begin with “-”: ssh would read it as an option."));

    editor.saveProfile();
    EXPECT_TRUE(profiles().empty());
    EXPECT_EQ(editor.result(), QDialog::Rejected);

    field(editor, "sshAlias")->setText(QStringLiteral("prod"));
    EXPECT_TRUE(message->isHidden());
    EXPECT_TRUE(editor.isValid());
}

TEST_F(ProfileEditorViewTest, GroupMenuListsStoredGroupsInCanonicalCodePointOrder)
{
    {
        ProfileEditorView editor(store.context());
        EXPECT_TRUE(child<QToolButton>(editor, "groupMenuButton")->isHidden());
    }
    for (const QString &group : {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b"), QString()}) {
        store.context().insert(storedProfile(group));
    }
    ProfileEditorView editor(store.context());
    EXPECT_EQ(editor.existingGroups(), (QStringList{QString(), QStringLiteral("a"), QStringLiteral("b")}));
    auto *button = child<QToolButton>(editor, "groupMenuButton");
    EXPECT_FALSE(button->isHidden());

    auto *menu = child<QMenu>(editor, "groupMenu");
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 3);
    menu->actions()[1]->trigger();
    EXPECT_EQ(field(editor, "clientGroup")->text(), QStringLiteral("a"));
    EXPECT_EQ(editor.form().clientGroup, QStringLiteral("a"));

    const auto named = [](const char *group) { return storedProfile(QString::fromUtf8(group)); };
    // Upper case sorts first; a decomposed "é" counts as the composed one, which follows "z".
    EXPECT_EQ(
        ProfileEditorView::existingGroups({named("alpha"), named("Zeta"), named("e\xcc\x81"), named("z")}),
        (QStringList{QStringLiteral("Zeta"), QStringLiteral("alpha"), QStringLiteral("z"),
                     QString::fromUtf8("e\xcc\x81")}));
}

TEST_F(ProfileEditorViewTest, ProductionNoticeFollowsThePicker)
{
    ProfileEditorView editor(store.context());
    auto *notice = child<QWidget>(editor, "productionNotice");
    auto *picker = child<QComboBox>(editor, "environment");
    EXPECT_TRUE(notice->isHidden());
    picker->setCurrentText(QStringLiteral("Production"));
    EXPECT_FALSE(notice->isHidden());
    picker->setCurrentText(QStringLiteral("Testing"));
    EXPECT_TRUE(notice->isHidden());
}

TEST_F(ProfileEditorViewTest, IdentityFileIsChosenAndCleared)
{
    ProfileEditorView editor(store.context());
    auto *label = child<QLabel>(editor, "identityLabel");
    auto *clear = child<QPushButton>(editor, "clearIdentity");
    EXPECT_EQ(label->text(), QStringLiteral("Use ssh-agent"));
    EXPECT_TRUE(clear->isHidden());

    editor.handleIdentityFileImport({QStringLiteral("/home/u/.ssh/id_ed25519"), QStringLiteral("/other")});
    EXPECT_EQ(editor.form().preferredIdentity, QStringLiteral("/home/u/.ssh/id_ed25519"));
    EXPECT_EQ(label->text(), QStringLiteral("/home/u/.ssh/id_ed25519"));
    EXPECT_FALSE(clear->isHidden());

    editor.handleIdentityFileImport({}); // cancelled
    EXPECT_EQ(editor.form().preferredIdentity, QStringLiteral("/home/u/.ssh/id_ed25519"));

    clear->click();
    EXPECT_TRUE(editor.form().preferredIdentity.isEmpty());
    EXPECT_EQ(label->text(), QStringLiteral("Use ssh-agent"));
    EXPECT_TRUE(clear->isHidden());
}

TEST_F(ProfileEditorViewTest, PortOutsideOneTo65535OrBlankHostIsRefusedBesideTheField)
{
    ProfileEditorView editor(store.context());
    QLineEdit *port = field(editor, "port");
    auto *portProblem = child<QLabel>(editor, "portProblem");
    auto *hostProblem = child<QLabel>(editor, "hostnameProblem");
    auto *confirm = child<QPushButton>(editor, "confirmButton");
    EXPECT_EQ(port->text(), QStringLiteral("22"));
    field(editor, "displayName")->setText(QStringLiteral("web"));
    field(editor, "hostname")->setText(QStringLiteral("10.0.0.1"));
    ASSERT_TRUE(confirm->isEnabled());
    EXPECT_TRUE(portProblem->isHidden());

    for (const char *typed : {"99999", "-5", "0", "abc", "", "2,222", "65536"}) {
        port->setText(QString::fromUtf8(typed));
        emit port->editingFinished();
        EXPECT_EQ(port->text(), QString::fromUtf8(typed)) << typed; // left as typed, to be mended
        EXPECT_FALSE(confirm->isEnabled()) << typed;
        EXPECT_FALSE(portProblem->isHidden()) << typed;
        EXPECT_EQ(portProblem->text(), QStringLiteral("The port must be a whole number from 1 to 65535."));
        editor.saveProfile();
        EXPECT_TRUE(profiles().empty()) << typed;
    }
    port->setText(QStringLiteral(" 02222 "));
    emit port->editingFinished();
    EXPECT_EQ(port->text(), QStringLiteral("2222")); // plain digits, no grouping
    EXPECT_TRUE(portProblem->isHidden());
    EXPECT_TRUE(confirm->isEnabled());

    field(editor, "hostname")->setText(QStringLiteral("   "));
    EXPECT_FALSE(confirm->isEnabled());
    EXPECT_FALSE(hostProblem->isHidden());
    EXPECT_EQ(hostProblem->text(), QStringLiteral("The host name can’t be only blanks."));
    // The messages take room of their own rather than squeeze the fields.
    port->setText(QStringLiteral("0"));
    editor.show();
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents(); // the layout settles through posted requests
    }
    for (const char *name : {"displayName", "hostname", "port", "username"}) {
        EXPECT_GE(field(editor, name)->height(), field(editor, name)->minimumSizeHint().height()) << name;
    }
    port->setText(QStringLiteral("2222"));
    field(editor, "sshAlias")->setText(QStringLiteral("prod")); // an alias does not excuse it
    EXPECT_FALSE(confirm->isEnabled());
    field(editor, "hostname")->clear();
    EXPECT_TRUE(hostProblem->isHidden());
    ASSERT_TRUE(confirm->isEnabled());
    confirm->click();
    ASSERT_EQ(profiles().size(), 1u);
    EXPECT_EQ(profiles()[0]->port(), 2222);
    EXPECT_TRUE(profiles()[0]->hostname().isEmpty());
}

TEST_F(ProfileEditorViewTest, StoredPortThatCannotBeUsedMustBeMendedBeforeSaving)
{
    const auto original = storedProfile();
    original->setPort(70000);
    store.context().insert(original);
    ProfileEditorView editor(store.context(), original);
    EXPECT_EQ(field(editor, "port")->text(), QStringLiteral("70000"));
    EXPECT_FALSE(child<QLabel>(editor, "portProblem")->isHidden());
    EXPECT_FALSE(child<QPushButton>(editor, "confirmButton")->isEnabled());
    field(editor, "port")->setText(QStringLiteral("7000"));
    EXPECT_TRUE(child<QPushButton>(editor, "confirmButton")->isEnabled());
}

} // namespace
} // namespace corvane
