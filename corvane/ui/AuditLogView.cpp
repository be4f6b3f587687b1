#include "corvane/ui/AuditLogView.h"

#include "corvane/ui/AuditLogTableModel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane {

AuditLogView::AuditLogView(ModelContext &context, QWidget *parent)
    : QDialog(parent)
    , model_(new AuditLogTableModel(context, this))
    , table_(new QTableView(this))
    , doneButton_(nullptr)
    , clock_(new QTimer(this))
{
    setWindowTitle(tr("Audit Log"));
    setWindowModality(Qt::WindowModal);
    setMinimumSize(minimumSheetSize);

    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(tr("Audit Log"), this);
    title->setTextFormat(Qt::PlainText);
    QFont titleFont = title->font();
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::Bold);
    title->setFont(titleFont);

    auto *buttons = new QDialogButtonBox(this);
    doneButton_ = buttons->addButton(tr("Done"), QDialogButtonBox::AcceptRole);
    doneButton_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(title, 1);
    top->addWidget(buttons);
    layout->addLayout(top);

    table_->setModel(model_);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSortingEnabled(false);
    table_->setWordWrap(false);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->verticalHeader()->hide();
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    QHeaderView *header = table_->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(40);
    for (int column = 0; column < model_->columnCount(); ++column) {
        const AuditLogTableModel::ColumnInfo &info = AuditLogTableModel::columnInfo(column);
        if (info.idealWidth > 0) {
            header->setSectionResizeMode(column, QHeaderView::Interactive);
            header->resizeSection(column, info.idealWidth);
        }
    }
    // The last column takes what the others leave.
    header->setStretchLastSection(true);
    // The first sections keep their minimum widths when the user drags them.
    connect(header, &QHeaderView::sectionResized, this, [header](int column, int, int width) {
        const int minimum = AuditLogTableModel::columnInfo(column).minimumWidth;
        if (minimum > 0 && width < minimum) {
            header->resizeSection(column, minimum);
        }
    });
    layout->addWidget(table_, 1);

    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, [this] { model_->setNow(QDateTime::currentDateTimeUtc()); });
    clock_->start();
}

} // namespace corvane
