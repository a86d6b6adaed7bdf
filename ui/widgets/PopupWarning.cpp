#include "ui/widgets/PopupWarning.h"

#include <QLabel>
#include <QPushButton>

PopupWarning::PopupWarning(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TForm2"));
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

    connect(Button1, &QPushButton::clicked, this, &PopupWarning::Button1Click);
}

void PopupWarning::SetText(const QString& text)
{
    Label1->setText(text);
    Label1->adjustSize();
}

QString PopupWarning::Text() const { return Label1->text(); }

void PopupWarning::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit FormShow();
}

void PopupWarning::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit FormHide();
}

void PopupWarning::Button1Click()
{
    hide();
    deleteLater();
}
