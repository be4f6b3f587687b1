#pragma once

#include "corvane/ui/ProfileForm.h"

#include <QDialog>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace corvane {

class ModelContext;
class ServerProfile;

// The sheet in which the user adds a server or edits one. It works on a private copy of the
// values; the store changes only when the user confirms, so Cancel or closing the sheet any
// other way writes nothing.
class ProfileEditorView : public QDialog {
    Q_OBJECT

public:
    // With a profile the sheet edits it, without one it adds a new one. The context must
    // outlive the sheet.
    explicit ProfileEditorView(ModelContext &modelContext, std::shared_ptr<ServerProfile> profile = nullptr,
                               QWidget *parent = nullptr);
    ~ProfileEditorView() override;

    // The distinct groups of the given profiles, sorted by the code points of their
    // canonically composed text; an empty group is an entry too.
    static QStringList existingGroups(const std::vector<std::shared_ptr<ServerProfile>> &profiles);
    // The distinct groups of every profile in the store, as the group menu lists them.
    QStringList existingGroups() const;

    const ProfileForm &form() const { return form_; }
    bool isValid() const { return form_.isValid(); }

    // Writes the form to the store and closes the sheet; does nothing while the form is invalid.
    void saveProfile();
    // The paths the identity-file chooser returned; an empty list (cancelled) changes nothing.
    void handleIdentityFileImport(const QStringList &paths);

protected:
    bool event(QEvent *event) override;

private:
    void buildLayout();
    QWidget *buildServerSection();
    QWidget *buildClassificationSection();
    QWidget *buildConnectionSection();
    QWidget *buildProductionNotice();
    void loadFromState();
    void showFormInFields();
    void formChanged();
    void updateGroupMenuPresence();
    void fillGroupMenu();
    void updateIdentityRow();
    void updateNotesHeight();
    void chooseIdentityFile();

    ModelContext &modelContext_;
    std::shared_ptr<ServerProfile> profile_;
    ProfileForm form_;

    QLineEdit *displayNameField_ = nullptr;
    QLineEdit *sshAliasField_ = nullptr;
    QLineEdit *hostnameField_ = nullptr;
    QLineEdit *portField_ = nullptr;
    QLineEdit *usernameField_ = nullptr;
    QComboBox *environmentPicker_ = nullptr;
    QLineEdit *clientGroupField_ = nullptr;
    QToolButton *groupMenuButton_ = nullptr;
    QMenu *groupMenu_ = nullptr;
    QLineEdit *tagsField_ = nullptr;
    QCheckBox *favoriteToggle_ = nullptr;
    QLabel *identityLabel_ = nullptr;
    QPushButton *clearIdentityButton_ = nullptr;
    QLineEdit *workingDirectoryField_ = nullptr;
    QPlainTextEdit *notesField_ = nullptr;
    QWidget *productionNotice_ = nullptr;
    QLabel *displayNameProblem_ = nullptr;
    QLabel *sshAliasProblem_ = nullptr;
    QLabel *hostnameProblem_ = nullptr;
    QLabel *portProblem_ = nullptr;
    QLabel *usernameProblem_ = nullptr;
    QPushButton *confirmButton_ = nullptr;
};

} // namespace corvane
