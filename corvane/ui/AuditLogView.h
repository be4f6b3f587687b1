#pragma once

#include <QDialog>

class QPushButton;
class QTableView;
class QTimer;

namespace corvane {

class AuditLogTableModel;
class ModelContext;

// The audit trail as a sheet over the main window: every stored entry in a read-only table,
// newest first, kept current while it is open. "Done" closes it.
class AuditLogView : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize minimumSheetSize{700, 400};

    explicit AuditLogView(ModelContext &context, QWidget *parent = nullptr);

    QTableView &table() const { return *table_; }
    AuditLogTableModel &model() const { return *model_; }
    QPushButton &doneButton() const { return *doneButton_; }

private:
    AuditLogTableModel *model_;
    QTableView *table_;
    QPushButton *doneButton_;
    QTimer *clock_;
};

} // namespace corvane
