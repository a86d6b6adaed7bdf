#include "settings/widgets/DialogMessages.h"

#include "settings/widgets/PlainText.h"

#include <QApplication>
#include <QMessageBox>

namespace tarvo {

namespace {
// Messages quote file, folder and profile names: shown as written, never as markup.
void ShowPlain(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, PlainWindowTitle(title), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

void DialogMessages::ShowError(QWidget* parent, const QString& text)
{
    ShowPlain(parent, QMessageBox::Critical, QApplication::applicationName(), text);
}

void DialogMessages::ShowNote(QWidget* parent, const QString& title, const QString& text)
{
    ShowPlain(parent, QMessageBox::Information, title, text);
}

} // namespace tarvo
