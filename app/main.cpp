#include "app/MainWindow.h"
#include "app/core/ProgramFolderLock.h"
#include "settings/ProgramDir.h"
#include "settings/widgets/DialogMessages.h"

#include <QApplication>
#include <QIcon>
#include <csignal>
#include <cstdio>

using namespace tarvo;

int main(int argc, char** argv)
{
    // A file-size limit must fail the write that crosses it ("Could not save file: "), not end the
    // program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tarvo");
    QApplication::setWindowIcon(QIcon(":/icons/tarvo.png"));
    // The main window hides to the tray; closing another window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const QString programDir = DecideProgramDir(QCoreApplication::applicationDirPath());
    // Windows may share a program folder as they always could; a headless station may not.
    const ProgramFolderLock lock(programDir, ProgramFolderLock::Use::Shared);
    if (lock.InUse()) {
        std::fprintf(stderr, "tarvo: %s\n", lock.Error().toLocal8Bit().constData());
        DialogMessages().ShowError(nullptr, lock.Error() + ". Stop it first (systemctl --user stop tarvo-station).");
        return 1;
    }

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    Station station({programDir, nullptr, !arguments.isEmpty() && arguments.first() == "-m"});
    MainWindow window(station, {arguments, nullptr});
    window.CreateWindows();
    window.InitMainWindow();
    return QApplication::exec();
}
