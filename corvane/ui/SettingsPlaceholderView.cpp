#include "corvane/ui/SettingsPlaceholderView.h"

#include "corvane/ui/SystemColors.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace corvane {

SettingsPlaceholderView::SettingsPlaceholderView(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Settings"));
    setFixedSize(fixedSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    auto *section = new QGroupBox(tr("Appearance"), this);
    auto *sectionLayout = new QVBoxLayout(section);
    auto *note = new QLabel(tr("Additional settings coming soon."), section);
    note->setTextFormat(Qt::PlainText);
    QPalette secondary = note->palette();
    secondary.setColor(QPalette::WindowText, systemcolors::secondaryText());
    note->setPalette(secondary);
    sectionLayout->addWidget(note);
    layout->addWidget(section);
    layout->addStretch(1);
}

void SettingsPlaceholderView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace corvane
