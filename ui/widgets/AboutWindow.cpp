#include "ui/widgets/AboutWindow.h"

#include "common/Clock.h"
#include "common/EventLog.h"
#include "ui/HolidayCaption.h"
#include "ui/ProgramVersion.h"
#include "ui/widgets/ClickableLabel.h"

#include <QDesktopServices>
#include <QHideEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

namespace {

QLabel* MakeLabel(QWidget* parent, const QRect& geometry, const QString& text, bool wordWrap)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // the version check shows what a server answered
    label->setText(text);
    label->setWordWrap(wordWrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (geometry.size().isEmpty()) {
        label->move(geometry.topLeft());
        label->adjustSize();
    } else {
        label->setGeometry(geometry);
    }
    return label;
}

void MakeBold(QLabel* label)
{
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), config_(ProgramUpdateCheckConfig())
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle("About...");
    setFixedSize(362, 230);
    setAttribute(Qt::WA_QuitOnClose, false);

    Image1 = new QLabel(this);
    Image1->setGeometry(8, 8, 33, 33);
    QIcon programIcon(":/icons/tarvo.png");
    if (programIcon.availableSizes().isEmpty())
        programIcon = QGuiApplication::windowIcon();
    Image1->setPixmap(programIcon.pixmap(32, 32));

    Label5 = MakeLabel(this, QRect(48, 8, 0, 0), "Tarvo...", false);
    MakeBold(Label5);
    Label1 = MakeLabel(this, QRect(48, 26, 306, 34), "Webcam surveillance for the Linux desktop.", true);

    Label10 = new ClickableLabel(QString::fromUtf8(ProductPageUrl(config_.site).toEncoded()), this);
    Label10->move(8, 68);
    QFont linkFont = Label10->font();
    linkFont.setUnderline(true);
    Label10->setFont(linkFont);
    Label10->setStyleSheet("color: blue;");
    Label10->setCursor(Qt::PointingHandCursor);
    Label10->adjustSize();

    Label2 = MakeLabel(this, QRect(8, 96, 165, 53),
        "Written by the Tarvo developers, with Qt, GStreamer and libjpeg-turbo.", true);
    NewVer = MakeLabel(this, QRect(184, 96, 169, 89), QString(), true);
    MakeBold(NewVer);

    Button1 = new QPushButton("OK", this);
    Button1->setGeometry(256, 196, 97, 25);
    Button2 = new QPushButton("Check for new version", this);
    Button2->setGeometry(8, 196, 170, 25);
    setTabOrder(Button1, Button2);
    Button1->setDefault(true);

    connect(Label10, &ClickableLabel::clicked, this, &AboutWindow::Label10Click);
    connect(Button1, &QPushButton::clicked, this, &AboutWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &AboutWindow::Button2Click);
}

void AboutWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void AboutWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        check_.Stop();
}

void AboutWindow::FormShow()
{
    Label5->setText(QString("Tarvo v. ") + VersionText);
    Label5->adjustSize();
    if (const auto caption = HolidayCaption(ProgramClock().now().date()))
        setWindowTitle(*caption);
    CentreOverOwner();
    Button1->setFocus();
}

void AboutWindow::CentreOverOwner()
{
    QRect over;
    if (parentWidget() && parentWidget()->isVisible())
        over = parentWidget()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        over = screen->availableGeometry();
    if (over.isValid())
        move(over.center() - QPoint(width() / 2, height() / 2));
}

void AboutWindow::SetUpdateCheckConfig(const UpdateCheckConfig& config)
{
    config_ = config;
    Label10->setText(QString::fromUtf8(ProductPageUrl(config_.site).toEncoded()));
    Label10->adjustSize();
}

void AboutWindow::Label10Click() { QDesktopServices::openUrl(ProductPageUrl(config_.site)); }

void AboutWindow::Button1Click() { hide(); }

void AboutWindow::Button2Click() { CheckForUpdate(); }

void AboutWindow::CheckForUpdate() { check_.Start(config_, ProgramLog()); }

bool AboutWindow::AboutVisible() const { return isVisible(); }

void AboutWindow::ShowResult(const QString& text) { NewVer->setText(text); }

void AboutWindow::ShowAbout() { show(); }

void AboutWindow::BringAboutToFront()
{
    raise();
    activateWindow();
}
