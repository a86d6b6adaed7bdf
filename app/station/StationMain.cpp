// tarvo-station: the station without a desktop, for an always-on machine. It runs the profile's
// auto-capturing, clips, storage, live view and alarm hooks, logs as the desktop program does, and
// ends on SIGTERM or SIGINT.
#include "app/core/ProgramFolderLock.h"
#include "app/station/Station.h"
#include "settings/ProgramDir.h"

#include <QGuiApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>

using namespace tarvo;

namespace {

const char* const Usage = "Usage: tarvo-station [-p PROFILE] [-d]\n"
                          "  -p PROFILE  run the named profile instead of the current one\n"
                          "  -d          write the debug messages to the log as well\n";

// Without a window the status line is the journal's: each message on standard error.
class ConsoleFrontEnd final : public StationFrontEnd {
public:
    void SetStatusText(const QString& text) override
    {
        if (!text.isEmpty())
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
};

int Refuse(const QString& message)
{
    std::fprintf(stderr, "tarvo-station: %s\n", message.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // A file-size limit must fail the write that crosses it ("Could not save file: "), not end the
    // program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Captions are drawn with fonts, which need a GUI application; the offscreen platform needs no
    // display, whatever the session around the station is.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName("Tarvo");

    QString profile;
    bool debugLog = false;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "-p" && i + 1 < args.size()) {
            profile = args[++i];
        } else if (args[i] == "-d") {
            debugLog = true;
        } else if (args[i] == "-h" || args[i] == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        } else {
            std::fputs(Usage, stderr);
            return 2;
        }
    }

    const QString programDir = DecideProgramDir(QCoreApplication::applicationDirPath());
    const ProgramFolderLock lock(programDir, ProgramFolderLock::Use::Exclusive);
    if (!lock.Held())
        return Refuse(lock.InUse() ? lock.Error() : "cannot lock the program folder " + programDir + ": " + lock.Error());

    ConsoleFrontEnd console;
    Station station({programDir, nullptr, true});
    station.SetFrontEnd(&console);
    if (profile.isEmpty()) {
        station.Start();
    } else {
        QString error;
        if (!station.StartWithProfile(profile, error))
            return Refuse(error);
    }
    station.Log().SetDebugLog(debugLog);
    return QGuiApplication::exec();
}
