#pragma once
// The FTP settings test window (form TForm7): tries the FTP settings as typed in the setup dialog, before they
// are accepted, with its own FTP client so the main window's connection is not disturbed. The test
// runs on a thread of its own and reports its lines back to the window, which stays responsive;
// closing the window aborts the test.
#include "net/NetworkTask.h"
#include "publish/widgets/FtpSettingsTest.h"

#include <QDialog>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tarvo {

class FtpClient;

class FtpTestWindow final : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        // The setup dialog's FTP controls and the firewall/proxy window's, read when the test runs.
        std::function<FtpTestSettings()> settings;
        // How an unexpected error (a port that is no number) is shown; by default a message box.
        std::function<void(const QString& text)> showError;
        // Where the test file is written for the upload: the program folder.
        QString localFolder;
    };

    explicit FtpTestWindow(Hooks hooks, QWidget* parent = nullptr);
    ~FtpTestWindow() override;

    // The client is the test's while it runs; touch it only when TestRunning() is false.
    FtpClient& Client() { return *ftp_; }
    bool TestRunning() const { return task_.Running(); }
    // The test was shown and waits for its start.
    bool TestPending() const;
    // The lines the test reported so far, in order.
    QStringList ReportLines() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ScheduleTest();
    void StartTest();
    void AddLine(const QString& line);
    void ShowError(const QString& text);
    void ShowPlainError(const QString& text);

    QPlainTextEdit* report_;
    QPushButton* okButton_;
    QTimer* startTimer_;
    Hooks hooks_;
    std::unique_ptr<FtpClient> ftp_;
    NetworkTask task_;
};

} // namespace tarvo
