#include "publish/widgets/FtpTestWindow.h"

#include "net/FtpClient.h"
#include "settings/ProgramDir.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

FtpTestWindow::FtpTestWindow(Hooks hooks, QWidget* parent)
    : QDialog(parent), Memo1(new QPlainTextEdit(this)), Button1(new QPushButton(QStringLiteral("OK"), this)),
      Timer1(new QTimer(this)), hooks_(std::move(hooks)), ftp_(std::make_unique<FtpClient>()),
      task_(ftp_->SharedAbort())
{
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Testing FTP settings..."));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setMinimumSize(360, 150);
    Button1->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);

    Timer1->setSingleShot(true);
    Timer1->setInterval(250);
    connect(Timer1, &QTimer::timeout, this, &FtpTestWindow::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &FtpTestWindow::Button1Click);
}

// The test uses the client, so it ends before the client goes.
FtpTestWindow::~FtpTestWindow() { task_.Stop(); }

void FtpTestWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// A window closed before its test began does not run it unseen; one closed during the test ends it.
void FtpTestWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    Timer1->stop();
    task_.Stop();
}

// The test starts a moment after showing, so the window is on screen before the test begins.
void FtpTestWindow::FormShow()
{
    Memo1->clear();
    Timer1->start();
}

// The setup dialog's controls are read here, on the GUI thread; the test gets a copy.
void FtpTestWindow::Timer1Timer()
{
    Timer1->stop();
    const FtpTestSettings settings = hooks_.settings ? hooks_.settings() : FtpTestSettings{};
    const QString folder = hooks_.localFolder.isEmpty() ? ProgramDir() : hooks_.localFolder;
    FtpClient* ftp = ftp_.get();
    task_.Start([this, ftp, settings, folder](const NetworkTask::Poster& post) {
        try {
            RunFtpTest(*ftp, settings, folder, [this, &post](const QString& line) { post([this, line] { AddLine(line); }); });
        } catch (const std::exception& e) {
            post([this, text = QString::fromUtf8(e.what())] { ShowError(text); });
        }
    });
}

void FtpTestWindow::Button1Click()
{
    hide();
}

void FtpTestWindow::AddLine(const QString& line) { Memo1->appendPlainText(line); }

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
