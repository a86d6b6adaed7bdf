#include "publish/widgets/TForm7.h"

#include "publish/FtpClient.h"
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

TForm7::TForm7(Hooks hooks, QWidget* parent)
    : QDialog(parent), Memo1(new QPlainTextEdit(this)), Button1(new QPushButton(QStringLiteral("OK"), this)),
      Timer1(new QTimer(this)), hooks_(std::move(hooks)), ftp_(std::make_unique<FtpClient>())
{
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
    connect(Timer1, &QTimer::timeout, this, &TForm7::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
}

TForm7::~TForm7() = default;

void TForm7::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// A window closed before its test began does not run it unseen.
void TForm7::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    Timer1->stop();
}

// The test starts a moment after showing, so the window is on screen before the test blocks.
void TForm7::FormShow()
{
    Memo1->clear();
    Timer1->start();
}

void TForm7::Timer1Timer()
{
    Timer1->stop();
    const FtpTestSettings settings = hooks_.settings ? hooks_.settings() : FtpTestSettings{};
    const QString folder = hooks_.localFolder.isEmpty() ? ProgramDir() : hooks_.localFolder;
    try {
        RunFtpTest(*ftp_, settings, folder, [this](const QString& line) { AddLine(line); });
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        if (hooks_.showError)
            hooks_.showError(text);
        else
            QMessageBox::critical(this, QStringLiteral("Tarvo"), text, QMessageBox::Ok);
    }
}

void TForm7::Button1Click()
{
    hide();
}

// The test blocks the event loop, so each line is painted as soon as it is added.
void TForm7::AddLine(const QString& line)
{
    Memo1->appendPlainText(line);
    Memo1->viewport()->repaint();
}
