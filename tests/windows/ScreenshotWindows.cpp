// Shows the example window or the FTP test window in a typical state, for the screenshots of the
// user guide (tests/windows/screenshots.sh runs it under Xvfb).
//   windows_screenshots caption | area | ftp PORT
#include "imaging/widgets/PictureView.h"
#include "imaging/widgets/CaptionAndAreaWindow.h"
#include "publish/widgets/FtpTestWindow.h"
#include "settings/ActiveOptions.h"
#include "settings/ProgramDir.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    SetProgramDir(QCoreApplication::applicationDirPath() + "/..");
    ActiveOptions = DefaultOptions();

    CaptionAndAreaWindow::Hooks exampleHooks;
    exampleHooks.captionSettings = [] {
        OptionsValues o = DefaultOptions();
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
    exampleHooks.shownArea = [] { return DetectionArea{50, 50, 100, 100}; };
    // The detection area is shown on a camera-sized still, as with a connected camera.
    QTemporaryDir stillDir;
    const QString still = stillDir.filePath("Capture.bmp");
    if (mode == "area")
        QImage(ProgramDir() + "example.bmp").scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(still);
    exampleHooks.singleImageFile = [still] { return still; };
    CaptionAndAreaWindow exampleWindow(exampleHooks);

    FtpTestWindow::Hooks ftpHooks;
    ftpHooks.settings = [&] {
        FtpTestSettings s;
        s.host = "127.0.0.1";
        s.port = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("21");
        s.userName = "tarvo";
        s.password = "secret";
        s.passive = true;
        s.upDir = "www";
        s.socksType = "No SOCKS";
        return s;
    };
    ftpHooks.localFolder = QDir::tempPath() + "/";
    FtpTestWindow ftpTestWindow(ftpHooks);

    if (mode == "caption") {
        exampleWindow.DefineAreaMode = false;
        exampleWindow.show();
    } else if (mode == "area") {
        exampleWindow.DefineAreaMode = true;
        exampleWindow.show();
        QTimer::singleShot(300, &exampleWindow, [&] {
            auto* picture = exampleWindow.findChild<PictureView*>("Image1");
            SendMouse(picture, QEvent::MouseMove, {180, 150}, Qt::NoButton, Qt::NoButton);
            SendMouse(picture, QEvent::MouseButtonPress, {180, 150}, Qt::LeftButton, Qt::LeftButton);
            SendMouse(picture, QEvent::MouseButtonRelease, {180, 150}, Qt::LeftButton, Qt::NoButton);
            SendMouse(picture, QEvent::MouseMove, {488, 420}, Qt::NoButton, Qt::NoButton);
        });
    } else if (mode == "ftp") {
        ftpTestWindow.show();
    } else {
        std::fprintf(stderr, "usage: windows_screenshots caption | area | ftp PORT\n");
        return 2;
    }
    return app.exec();
}
