#include "publish/widgets/FtpTestWindow.h"

#include "net/FtpClient.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

namespace tarvo {

FtpTestWindow::FtpTestWindow(Hooks hooks, QWidget* parent)
    : QDialog(parent), report_(new QPlainTextEdit(this)), okButton_(new QPushButton(QStringLiteral("OK"), this)),
      startTimer_(new QTimer(this)), hooks_(std::move(hooks)), ftp_(std::make_unique<FtpClient>()),
      task_(ftp_->SharedAbort())
{
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Testing FTP settings..."));
    report_->setObjectName(QStringLiteral("Memo1"));
    okButton_->setObjectName(QStringLiteral("Button1"));
    startTimer_->setObjectName(QStringLiteral("Timer1"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setMinimumSize(360, 150);
    okButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(report_);
    layout->addLayout(buttons);

    startTimer_->setSingleShot(true);
    startTimer_->setInterval(250);
    connect(startTimer_, &QTimer::timeout, this, &FtpTestWindow::StartTest);
    connect(okButton_, &QPushButton::clicked, this, &QWidget::hide);
}

// The test uses the client, so it ends before the client goes.
FtpTestWindow::~FtpTestWindow() { task_.Stop(); }

void FtpTestWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ScheduleTest();
}

// A window closed before its test began does not run it unseen; one closed during the test ends it.
void FtpTestWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    startTimer_->stop();
    task_.Stop();
}

// The test starts a moment after showing, so the window is on screen before the test begins.
void FtpTestWindow::ScheduleTest()
{
    report_->clear();
    startTimer_->start();
}

// The setup dialog's controls are read here, on the GUI thread; the test gets a copy.
void FtpTestWindow::StartTest()
{
    startTimer_->stop();
    const FtpTestSettings settings = hooks_.settings ? hooks_.settings() : FtpTestSettings{};
    const QString folder = hooks_.localFolder;
    FtpClient* ftp = ftp_.get();
    task_.Start([this, ftp, settings, folder](const NetworkTask::Poster& post) {
        try {
            RunFtpTest(*ftp, settings, folder, [this, &post](const QString& line) { post([this, line] { AddLine(line); }); });
        } catch (const std::exception& e) {
            post([this, text = QString::fromUtf8(e.what())] { ShowError(text); });
        }
    });
}

void FtpTestWindow::AddLine(const QString& line) { report_->appendPlainText(line); }

bool FtpTestWindow::TestPending() const { return startTimer_->isActive(); }

QStringList FtpTestWindow::ReportLines() const
{
    const QString text = report_->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

void FtpTestWindow::ShowError(const QString& text)
{
    if (hooks_.showError)
        hooks_.showError(text);
    else
        ShowPlainError(text);
}

void FtpTestWindow::ShowPlainError(const QString& text)
{
    // The text may quote the server's reply: shown as written, never read as markup.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tarvo"), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace tarvo
