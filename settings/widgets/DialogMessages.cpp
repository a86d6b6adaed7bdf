#include "settings/widgets/DialogMessages.h"

#include <QApplication>
#include <QMessageBox>

void DialogMessages::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QApplication::applicationName(), text);
}

void DialogMessages::ShowNote(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

namespace {
DialogMessages boxes;
DialogMessages* current = &boxes;
} // namespace

DialogMessages& SettingsMessages() { return *current; }

void SetSettingsMessages(DialogMessages* messages) { current = messages ? messages : &boxes; }
