#include "ui/widgets/TForm2.h"

#include <QLabel>
#include <QPushButton>

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setWindowTitle("Tarvo");
    // A warning closed while the main window sits in the tray must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(113, 89);

    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText); // warnings name folders and may quote other text
    Label1->move(8, 8);

    Button1 = new QPushButton("OK", this);
    Button1->setGeometry(24, 56, 65, 25);
    Button1->setDefault(true);
    Button1->setFocus();

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

void TForm2::SetText(const QString& text)
{
    Label1->setText(text);
    Label1->adjustSize();
}

QString TForm2::Text() const { return Label1->text(); }

void TForm2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit FormShow();
}

void TForm2::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit FormHide();
}

void TForm2::Button1Click()
{
    hide();
    deleteLater();
}
