#include "ui/widgets/WarningBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tarvo {

WarningBar::WarningBar(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("WarningBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // The colours of a tooltip: readable over any picture and in any theme.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText); // warnings name folders and may quote other text
    text_->setWordWrap(true);
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    // Clicking it must not take the focus from where the user types in the main window.
    okButton_->setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->addWidget(text_, 1);
    row->addWidget(okButton_, 0, Qt::AlignTop);
    connect(okButton_, &QPushButton::clicked, this, &WarningBar::Dismiss);

    parent->installEventFilter(this);
    hide();
}

void WarningBar::Show(const QString& text)
{
    if (!warnings_.contains(text))
        warnings_.append(text);
    text_->setText(warnings_.join(QLatin1Char('\n')));
    FitToParent();
    show();
    raise(); // over its siblings inside the window, which never touches the window's focus
}

void WarningBar::Dismiss()
{
    warnings_.clear();
    hide();
}

void WarningBar::FitToParent()
{
    const int width = parentWidget()->width();
    resize(width, heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height());
    move(0, 0);
}

bool WarningBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        FitToParent();
    return QFrame::eventFilter(watched, event);
}

} // namespace tarvo
