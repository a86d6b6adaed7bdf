// Shows one window of the program in a typical state until it is killed, for the user guide's
// screenshots (scripts/screenshots.sh runs it under Xvfb):
//   show_window setup <page> | profiles | proxy | caption | area | ftp <port>
// With --report-focus it writes "active" and "inactive" as its window gains and loses the keyboard
// focus to stderr: the end-to-end tests use it as the window a user types into.
#include "imaging/widgets/CaptionAndAreaWindow.h"
#include "imaging/widgets/PictureView.h"
#include "publish/widgets/FtpTestWindow.h"
#include "settings/ActiveSettings.h"
#include "settings/PerUserStore.h"
#include "settings/Profiles.h"
#include "settings/SecretStore.h"
#include "settings/widgets/DialogMessages.h"
#include "settings/widgets/MoreSettingsPage.h"
#include "settings/widgets/ProfileSelectWindow.h"
#include "settings/widgets/ProxyWindow.h"
#include "settings/widgets/SetupDialog.h"
#include "tests/settings/RecordingTargets.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace tarvo {

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

// The settings windows with the default settings and two profiles; they keep their state in home.
int ShowSettingsWindow(const QString& what, int page)
{
    QTemporaryDir home;
    const QString programDir = home.path() + "/";
    QDir().mkpath(ProfileFolder(programDir));
    KeychainSecretStore secrets;
    ProfilePasswords passwords(secrets);
    SaveProfile(programDir, DefaultOptions(programDir), "Default", passwords);
    SaveProfile(programDir, DefaultOptions(programDir), "Night", passwords);

    PerUserStore store(home.path() + "/Tarvo.conf");
    RecordingTargets targets(store, programDir);
    ProfileBox box;
    box.setText("Default");
    ListProfiles(programDir, box);
    ProxyWindow proxy;
    DialogMessages messages;
    SetupDialog setup(programDir, box, targets.settings, passwords, targets, proxy, messages);
    setup.SetCaptureDrivers({"Test pattern"});
    setup.ShowInDialog(DefaultOptions(programDir));
    ProfileSelectWindow profiles(programDir, box, passwords, store, targets, messages);

    QWidget* shown = &proxy;
    if (what == "setup") {
        shown = &setup;
        setup.show(); // showing opens the first page, so the page is chosen after it
        auto* pages = setup.findChild<QTabWidget*>("PageControl1");
        pages->setCurrentIndex(page);
        // The page "More" scrolls in the dialog; its picture shows every group at once.
        if (auto* scroll = setup.findChild<QScrollArea*>("MoreScroll"); scroll && pages->currentWidget() == scroll)
            scroll->setMinimumHeight(setup.findChild<MoreSettingsPage*>("MorePage")->sizeHint().height());
    } else if (what == "profiles") {
        shown = &profiles;
    }
    shown->show();
    shown->move(0, 0);
    return QApplication::exec();
}

// The caption example with a two-line caption, or the detection area on a camera-sized still with
// its first corner picked and the pointer at the second.
int ShowExampleWindow(bool defineArea)
{
    const QString programDir = QCoreApplication::applicationDirPath() + "/../";
    ActiveSettings settings;
    settings.options = DefaultOptions(programDir);
    CaptionAndAreaWindow::Hooks hooks;
    hooks.captionSettings = [programDir] {
        OptionsValues o = DefaultOptions(programDir);
        o.CaptionText = "Front door\r\n%D %d %M, %t";
        o.FontName = "DejaVu Sans";
        o.FontSize = 11;
        o.FontColor = 0x00FFFFFF;
        o.BackColor = 0x00202020;
        o.TransparentBack = false;
        o.CapCenter = false;
        o.CapLeft = true;
        return o;
    };
    hooks.shownArea = [] { return DetectionArea{50, 50, 100, 100}; };
    QTemporaryDir stillDir;
    const QString still = stillDir.filePath("Capture.bmp");
    if (defineArea)
        QImage(programDir + "example.bmp").scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(still);
    hooks.singleImageFile = [still] { return still; };
    CaptionAndAreaWindow window(settings, programDir, hooks);
    window.DefineAreaMode = defineArea;
    window.show();
    if (defineArea) {
        QTimer::singleShot(300, &window, [&] {
            auto* picture = window.findChild<PictureView*>("Image1");
            SendMouse(picture, QEvent::MouseMove, {180, 150}, Qt::NoButton, Qt::NoButton);
            SendMouse(picture, QEvent::MouseButtonPress, {180, 150}, Qt::LeftButton, Qt::LeftButton);
            SendMouse(picture, QEvent::MouseButtonRelease, {180, 150}, Qt::LeftButton, Qt::NoButton);
            SendMouse(picture, QEvent::MouseMove, {488, 420}, Qt::NoButton, Qt::NoButton);
        });
    }
    return QApplication::exec();
}

// The FTP test against the server on 127.0.0.1:port, as typed into the setup dialog.
int ShowFtpTestWindow(const QString& port)
{
    FtpTestWindow::Hooks hooks;
    hooks.settings = [port] {
        FtpTestSettings s;
        s.host = "127.0.0.1";
        s.port = port;
        s.userName = "tarvo";
        s.password = "secret";
        s.passive = true;
        s.upDir = "www";
        s.socksType = "No SOCKS";
        return s;
    };
    hooks.localFolder = QDir::tempPath() + "/";
    FtpTestWindow window(hooks);
    window.show();
    return QApplication::exec();
}

} // namespace

} // namespace tarvo

using namespace tarvo;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == "--report-focus") {
        QObject::connect(&app, &QGuiApplication::applicationStateChanged, [](Qt::ApplicationState state) {
            std::fprintf(stderr, "%s\n", state == Qt::ApplicationActive ? "active" : "inactive");
        });
        --argc, ++argv;
    }
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString detail = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (what == "setup" || what == "profiles" || what == "proxy")
        return ShowSettingsWindow(what, detail.toInt());
    if (what == "caption" || what == "area")
        return ShowExampleWindow(what == "area");
    if (what == "ftp")
        return ShowFtpTestWindow(detail.isEmpty() ? QStringLiteral("21") : detail);
    std::fprintf(stderr, "usage: show_window setup <page> | profiles | proxy | caption | area | ftp <port>\n");
    return 2;
}
