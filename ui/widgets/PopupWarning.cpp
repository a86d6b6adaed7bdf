#include "ui/widgets/PopupWarning.h"

#include "ui/PopupGeometry.h"

#include <QLabel>
#include <QPushButton>

namespace tarvo {

PopupWarning::PopupWarning(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle("Tarvo");
    // A warning closed while the main window sits in the tray must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(113, 89);

    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("Label1"));
    text_->setTextFormat(Qt::PlainText); // warnings name folders and may quote other text
    text_->move(8, 8);

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName(QStringLiteral("Button1"));
    okButton_->setGeometry(24, 56, 65, 25);
    okButton_->setDefault(true);
    okButton_->setFocus();

    connect(okButton_, &QPushButton::clicked, this, &PopupWarning::Dismiss);
}

void PopupWarning::SetText(const QString& text)
{
    text_->setText(text);
    text_->adjustSize();
}

QString PopupWarning::Text() const { return text_->text(); }

void PopupWarning::PlaceOn(const QRect& screen)
{
    const PopupGeometry g = LayoutPopup(text_->width(), height(), okButton_->width(), screen);
    setFixedWidth(g.width);
    okButton_->move(g.buttonLeft, okButton_->y());
    move(g.left, g.top);
}

void PopupWarning::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit Shown();
}

void PopupWarning::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit Hidden();
}

void PopupWarning::Dismiss()
{
    hide();
    deleteLater();
}

} // namespace tarvo
