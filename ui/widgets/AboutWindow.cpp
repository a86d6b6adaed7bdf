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

namespace tarvo {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text, bool wordWrap)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
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

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setGeometry(8, 8, 33, 33);
    QIcon programIcon(":/icons/tarvo.png");
    if (programIcon.availableSizes().isEmpty())
        programIcon = QGuiApplication::windowIcon();
    icon->setPixmap(programIcon.pixmap(32, 32));

    titleLine_ = MakeLabel(this, "Label5", QRect(48, 8, 0, 0), "Tarvo...", false);
    MakeBold(titleLine_);
    MakeLabel(this, "Label1", QRect(48, 26, 306, 34), "Webcam surveillance for the Linux desktop.", true);

    siteLink_ = new ClickableLabel(QString::fromUtf8(ProductPageUrl(config_.site).toEncoded()), this);
    siteLink_->setObjectName(QStringLiteral("Label10"));
    siteLink_->move(8, 68);
    QFont linkFont = siteLink_->font();
    linkFont.setUnderline(true);
    siteLink_->setFont(linkFont);
    siteLink_->setStyleSheet("color: blue;");
    siteLink_->setCursor(Qt::PointingHandCursor);
    siteLink_->adjustSize();

    MakeLabel(this, "Label2", QRect(8, 96, 165, 53),
        "Written by the Tarvo developers, with Qt, GStreamer and libjpeg-turbo.", true);
    checkResult_ = MakeLabel(this, "NewVer", QRect(184, 96, 169, 89), QString(), true);
    MakeBold(checkResult_);

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName(QStringLiteral("Button1"));
    okButton_->setGeometry(256, 196, 97, 25);
    checkButton_ = new QPushButton("Check for new version", this);
    checkButton_->setObjectName(QStringLiteral("Button2"));
    checkButton_->setGeometry(8, 196, 170, 25);
    setTabOrder(okButton_, checkButton_);
    okButton_->setDefault(true);

    connect(siteLink_, &ClickableLabel::clicked, this, &AboutWindow::OpenProductPage);
    connect(okButton_, &QPushButton::clicked, this, &QWidget::hide);
    connect(checkButton_, &QPushButton::clicked, this, &AboutWindow::CheckAtUsersRequest);
}

void AboutWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        RefreshForShowing();
}

void AboutWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Closing the window takes back the user's own question; the automatic check still has to
    // announce a newer version, which opens the window again.
    if (!event->spontaneous() && userCheck_)
        check_.Stop();
}

void AboutWindow::RefreshForShowing()
{
    titleLine_->setText(QString("Tarvo v. ") + VersionText);
    titleLine_->adjustSize();
    if (const auto caption = HolidayCaption(ProgramClock().now().date()))
        setWindowTitle(*caption);
    CentreOverOwner();
    okButton_->setFocus();
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
    siteLink_->setText(QString::fromUtf8(ProductPageUrl(config_.site).toEncoded()));
    siteLink_->adjustSize();
}

void AboutWindow::OpenProductPage() { QDesktopServices::openUrl(ProductPageUrl(config_.site)); }

void AboutWindow::CheckForUpdate() { StartCheck(false); }

void AboutWindow::CheckAtUsersRequest() { StartCheck(true); }

void AboutWindow::StartCheck(bool byUser)
{
    userCheck_ = byUser;
    check_.Start(config_, ProgramLog());
}

bool AboutWindow::AboutVisible() const { return isVisible(); }

void AboutWindow::ShowResult(const QString& text) { checkResult_->setText(text); }

QString AboutWindow::TitleLine() const { return titleLine_->text(); }

QString AboutWindow::CheckResult() const { return checkResult_->text(); }

QString AboutWindow::SiteAddress() const { return siteLink_->text(); }

void AboutWindow::ShowAbout() { show(); }

void AboutWindow::BringAboutToFront()
{
    raise();
    activateWindow();
}

} // namespace tarvo
