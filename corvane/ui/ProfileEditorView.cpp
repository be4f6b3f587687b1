#include "corvane/ui/ProfileEditorView.h"

#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/CanonicalText.h"
#include "corvane/ui/SaveFailureNotice.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>
#include <limits>
#include <set>

namespace corvane {
namespace {

constexpr QSize minimumSheetSize{480, 520};
constexpr int portFieldWidth = 80;
constexpr int maximumNotesLines = 3;

// A one-line label that truncates its text in the middle to fit, so both ends of a long path
// stay readable. `text()` stays the whole text.
class MiddleElidedLabel : public QLabel {
public:
    MiddleElidedLabel()
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

// Values come from the store and from imported files; a line edit must never cut them short.
QLineEdit *makeTextField(const QString &placeholder, const char *name)
{
    auto *field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(placeholder);
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}

// A field with the line below it that says why its value cannot be saved; the line is hidden
// while there is nothing to say. The line is named after the field ("portProblem").
QWidget *withProblemLabel(QLineEdit *field, QLabel *&problem)
{
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    // A field of fixed width keeps it; any other fills the row.
    const bool fixedWidth = field->maximumWidth() != QWIDGETSIZE_MAX;
    layout->addWidget(field, 0, fixedWidth ? Qt::AlignLeft : Qt::Alignment());
    problem = new QLabel;
    problem->setObjectName(field->objectName() + QStringLiteral("Problem"));
    problem->setTextFormat(Qt::PlainText);
    problem->setWordWrap(true);
    QPalette red = problem->palette();
    red.setColor(QPalette::WindowText, systemcolors::red());
    problem->setPalette(red);
    problem->hide();
    layout->addWidget(problem);
    return column;
}

void showProblem(QLabel *label, const std::optional<QString> &problem)
{
    label->setText(problem.value_or(QString()));
    label->setVisible(problem.has_value());
}

QGroupBox *makeSection(const QString &title, QFormLayout *&form)
{
    auto *section = new QGroupBox(title);
    form = new QFormLayout(section);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return section;
}

// The symbol beside each environment in the picker.
QString environmentSymbol(ServerEnvironment environment)
{
    switch (environment) {
    case ServerEnvironment::production:
        return QStringLiteral("server.rack");
    case ServerEnvironment::staging:
        return QStringLiteral("cpu");
    case ServerEnvironment::development:
        return QStringLiteral("hammer");
    case ServerEnvironment::testing:
        return QStringLiteral("testtube.2");
    }
    return {};
}

} // namespace

ProfileEditorView::ProfileEditorView(ModelContext &modelContext, std::shared_ptr<ServerProfile> profile,
                                     QWidget *parent)
    : QDialog(parent)
    , modelContext_(modelContext)
    , profile_(std::move(profile))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(profile_ ? QStringLiteral("Edit Server") : QStringLiteral("Add Server"));
    setMinimumSize(minimumSheetSize);
    buildLayout();
    loadFromState();
    connect(&modelContext_, &ModelContext::changed, this, &ProfileEditorView::updateGroupMenuPresence);
}

ProfileEditorView::~ProfileEditorView() = default;

bool ProfileEditorView::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::LayoutRequest) {
        // A shown message takes room of its own: the sheet grows rather than squeeze the fields.
        setMinimumSize(layout()->minimumSize().expandedTo(minimumSheetSize));
    }
    return handled;
}

void ProfileEditorView::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildServerSection());
    layout->addWidget(buildClassificationSection());
    layout->addWidget(buildConnectionSection());
    layout->addWidget(buildProductionNotice());

    layout->addStretch();

    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    confirmButton_ = buttons->addButton(profile_ ? QStringLiteral("Save") : QStringLiteral("Add"),
                                        QDialogButtonBox::AcceptRole);
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));
    confirmButton_->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(confirmButton_, &QPushButton::clicked, this, &ProfileEditorView::saveProfile);
    layout->addWidget(buttons);

    // Return may belong to the notes field, so the keyboard also has Ctrl+Return to confirm.
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &ProfileEditorView::saveProfile);
    }
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Escape), this), &QShortcut::activated, this,
            &QDialog::reject);
}

QWidget *ProfileEditorView::buildServerSection()
{
    QFormLayout *form = nullptr;
    QGroupBox *section = makeSection(QStringLiteral("Server"), form);

    displayNameField_ = makeTextField(QStringLiteral("My Web Server"), "displayName");
    sshAliasField_ = makeTextField(QStringLiteral("myserver (from ~/.ssh/config)"), "sshAlias");
    hostnameField_ = makeTextField(QStringLiteral("192.168.1.10 or server.example.com"), "hostname");
    portField_ = makeTextField(QStringLiteral("22"), "port");
    portField_->setFixedWidth(portFieldWidth);
    usernameField_ = makeTextField(QStringLiteral("ubuntu"), "username");

    connect(displayNameField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.displayName = text;
        formChanged();
    });
    connect(sshAliasField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.sshAlias = text;
        formChanged();
    });
    connect(hostnameField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.hostname = text;
        formChanged();
    });
    // The text stays as typed, so a wrong port is seen with the reason beside it; a good one
    // is shown in plain digits once editing ends.
    connect(portField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.portText = text;
        formChanged();
    });
    connect(portField_, &QLineEdit::editingFinished, this, [this] {
        if (const std::optional<int64_t> port = form_.portNumber()) {
            portField_->setText(QString::number(*port));
        }
    });
    connect(usernameField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.username = text;
        formChanged();
    });

    form->addRow(QStringLiteral("Display name"), withProblemLabel(displayNameField_, displayNameProblem_));
    form->addRow(QStringLiteral("SSH alias"), withProblemLabel(sshAliasField_, sshAliasProblem_));
    form->addRow(QStringLiteral("Hostname / IP"), withProblemLabel(hostnameField_, hostnameProblem_));
    form->addRow(QStringLiteral("Port"), withProblemLabel(portField_, portProblem_));
    form->addRow(QStringLiteral("Username"), withProblemLabel(usernameField_, usernameProblem_));
    return section;
}

QWidget *ProfileEditorView::buildClassificationSection()
{
    QFormLayout *form = nullptr;
    QGroupBox *section = makeSection(QStringLiteral("Classification"), form);

    environmentPicker_ = new QComboBox;
    environmentPicker_->setObjectName(QStringLiteral("environment"));
    for (ServerEnvironment environment : allServerEnvironments) {
        environmentPicker_->addItem(
            symbols::icon(environmentSymbol(environment), palette().color(QPalette::ButtonText)),
            title(environment));
    }
    connect(environmentPicker_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < int(allServerEnvironments.size())) {
            form_.environment = allServerEnvironments[size_t(index)];
            formChanged();
        }
    });

    clientGroupField_ = makeTextField(QStringLiteral("General"), "clientGroup");
    connect(clientGroupField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.clientGroup = text;
        formChanged();
    });
    groupMenu_ = new QMenu(this);
    groupMenu_->setObjectName(QStringLiteral("groupMenu"));
    connect(groupMenu_, &QMenu::aboutToShow, this, &ProfileEditorView::fillGroupMenu);
    groupMenuButton_ = new QToolButton;
    groupMenuButton_->setObjectName(QStringLiteral("groupMenuButton"));
    groupMenuButton_->setArrowType(Qt::DownArrow);
    groupMenuButton_->setAutoRaise(true);
    groupMenuButton_->setPopupMode(QToolButton::InstantPopup);
    groupMenuButton_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    groupMenuButton_->setMenu(groupMenu_);
    auto *groupRow = new QHBoxLayout;
    groupRow->setSpacing(4);
    groupRow->addWidget(clientGroupField_);
    groupRow->addWidget(groupMenuButton_);

    tagsField_ = makeTextField(QStringLiteral("comma, separated, tags"), "tags");
    connect(tagsField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.tagsString = text;
        formChanged();
    });
    favoriteToggle_ = new QCheckBox(QStringLiteral("Mark as favorite"));
    favoriteToggle_->setObjectName(QStringLiteral("isFavorite"));
    connect(favoriteToggle_, &QCheckBox::toggled, this, [this](bool checked) {
        form_.isFavorite = checked;
        formChanged();
    });

    form->addRow(QStringLiteral("Environment"), environmentPicker_);
    form->addRow(QStringLiteral("Group"), groupRow);
    form->addRow(QStringLiteral("Tags"), tagsField_);
    form->addRow(favoriteToggle_);
    updateGroupMenuPresence();
    return section;
}

QWidget *ProfileEditorView::buildConnectionSection()
{
    QFormLayout *form = nullptr;
    QGroupBox *section = makeSection(QStringLiteral("Connection"), form);

    identityLabel_ = new MiddleElidedLabel;
    identityLabel_->setObjectName(QStringLiteral("identityLabel"));
    auto *choose = new QPushButton(QStringLiteral("Choose…"));
    choose->setObjectName(QStringLiteral("chooseIdentity"));
    choose->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, &ProfileEditorView::chooseIdentityFile);
    clearIdentityButton_ = new QPushButton(QStringLiteral("Clear"));
    clearIdentityButton_->setObjectName(QStringLiteral("clearIdentity"));
    clearIdentityButton_->setAutoDefault(false);
    connect(clearIdentityButton_, &QPushButton::clicked, this, [this] {
        form_.preferredIdentity.clear();
        formChanged();
    });
    auto *identityRow = new QHBoxLayout;
    identityRow->addWidget(identityLabel_, 1);
    identityRow->addWidget(choose);
    identityRow->addWidget(clearIdentityButton_);

    workingDirectoryField_ = makeTextField(QStringLiteral("/srv/myapp"), "workingDirectory");
    connect(workingDirectoryField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        form_.workingDirectory = text;
        formChanged();
    });
    notesField_ = new QPlainTextEdit;
    notesField_->setObjectName(QStringLiteral("notes"));
    notesField_->setPlaceholderText(QStringLiteral("Optional notes"));
    notesField_->setTabChangesFocus(true);
    connect(notesField_, &QPlainTextEdit::textChanged, this, [this] {
        form_.notes = notesField_->toPlainText();
        updateNotesHeight();
        formChanged();
    });

    form->addRow(QStringLiteral("Identity file"), identityRow);
    form->addRow(QStringLiteral("Working directory"), workingDirectoryField_);
    form->addRow(QStringLiteral("Notes"), notesField_);
    updateNotesHeight();
    return section;
}

QWidget *ProfileEditorView::buildProductionNotice()
{
    productionNotice_ = new QWidget;
    productionNotice_->setObjectName(QStringLiteral("productionNotice"));
    auto *row = new QHBoxLayout(productionNotice_);
    auto *icon = new QLabel;
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(symbols::pixmap(QStringLiteral("exclamationmark.triangle.fill"), systemcolors::red(),
                                    iconSize, devicePixelRatioF()));
    auto *text = new QLabel(QStringLiteral("Production servers have extra confirmation steps for "
                                           "state-changing and destructive actions."));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    QPalette red = text->palette();
    red.setColor(QPalette::WindowText, systemcolors::red());
    text->setPalette(red);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    productionNotice_->hide();
    return productionNotice_;
}

void ProfileEditorView::loadFromState()
{
    if (profile_) {
        form_ = ProfileForm::from(*profile_);
    }
    showFormInFields();
    formChanged();
}

void ProfileEditorView::showFormInFields()
{
    // Each field writes its value back through its change handler, so work on a copy.
    const ProfileForm form = form_;
    displayNameField_->setText(form.displayName);
    sshAliasField_->setText(form.sshAlias);
    hostnameField_->setText(form.hostname);
    portField_->setText(form.portText);
    usernameField_->setText(form.username);
    const auto environment =
        std::find(allServerEnvironments.begin(), allServerEnvironments.end(), form.environment);
    environmentPicker_->setCurrentIndex(int(environment - allServerEnvironments.begin()));
    clientGroupField_->setText(form.clientGroup);
    tagsField_->setText(form.tagsString);
    favoriteToggle_->setChecked(form.isFavorite);
    workingDirectoryField_->setText(form.workingDirectory);
    notesField_->setPlainText(form.notes);
    form_ = form;
}

void ProfileEditorView::formChanged()
{
    productionNotice_->setVisible(form_.environment == ServerEnvironment::production);
    updateIdentityRow();
    const ProfileForm::Problems problems = form_.problems();
    showProblem(displayNameProblem_, problems.displayName);
    showProblem(sshAliasProblem_, problems.sshAlias);
    showProblem(hostnameProblem_, problems.hostname);
    showProblem(portProblem_, problems.port);
    showProblem(usernameProblem_, problems.username);
    confirmButton_->setEnabled(form_.isValid());
}

QStringList ProfileEditorView::existingGroups(const std::vector<std::shared_ptr<ServerProfile>> &profiles)
{
    std::set<QString> distinct;
    for (const auto &profile : profiles) {
        distinct.insert(profile->clientGroup());
    }
    QStringList groups(distinct.begin(), distinct.end());
    std::stable_sort(groups.begin(), groups.end(), canonicallyLess);
    return groups;
}

QStringList ProfileEditorView::existingGroups() const
{
    return existingGroups(modelContext_.fetch<ServerProfile>());
}

void ProfileEditorView::updateGroupMenuPresence()
{
    groupMenuButton_->setVisible(!existingGroups().isEmpty());
}

void ProfileEditorView::fillGroupMenu()
{
    groupMenu_->clear();
    for (const QString &group : existingGroups()) {
        // A bare "&" in a menu title would become a mnemonic; the name is shown as it stands.
        QAction *action =
            groupMenu_->addAction(QString(group).replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(action, &QAction::triggered, this, [this, group] { clientGroupField_->setText(group); });
    }
}

void ProfileEditorView::updateIdentityRow()
{
    const bool hasIdentity = !form_.preferredIdentity.isEmpty();
    identityLabel_->setText(hasIdentity ? form_.preferredIdentity : QStringLiteral("Use ssh-agent"));
    QPalette palette = identityLabel_->palette();
    palette.setColor(QPalette::WindowText, hasIdentity ? this->palette().color(QPalette::WindowText)
                                                       : systemcolors::secondaryText());
    identityLabel_->setPalette(palette);
    clearIdentityButton_->setVisible(hasIdentity);
}

void ProfileEditorView::updateNotesHeight()
{
    // Grows with its text from one line up to three, then scrolls.
    const int lines = std::clamp(notesField_->document()->lineCount(), 1, maximumNotesLines);
    const QMargins margins = notesField_->contentsMargins();
    const int documentMargin = qCeil(2 * notesField_->document()->documentMargin());
    notesField_->setFixedHeight(lines * notesField_->fontMetrics().lineSpacing() + documentMargin +
                                2 * notesField_->frameWidth() + margins.top() + margins.bottom());
}

void ProfileEditorView::chooseIdentityFile()
{
    auto *chooser = new QFileDialog(this, QStringLiteral("Choose Identity File"));
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QFileDialog::filesSelected, this, &ProfileEditorView::handleIdentityFileImport);
    chooser->open();
}

void ProfileEditorView::handleIdentityFileImport(const QStringList &paths)
{
    if (paths.isEmpty()) {
        return;
    }
    form_.preferredIdentity = paths.first();
    formChanged();
}

void ProfileEditorView::saveProfile()
{
    if (!form_.isValid()) {
        return;
    }
    if (profile_) {
        form_.applyTo(*profile_);
    } else {
        modelContext_.insert(form_.makeProfile());
    }
    // A failed save leaves the change pending in the context, where the next save retries it;
    // the user is told once the sheet has closed.
    const std::optional<StoreError> error = modelContext_.save();
    accept();
    if (error) {
        showSaveFailure(parentWidget(), *error);
    }
}

} // namespace corvane
