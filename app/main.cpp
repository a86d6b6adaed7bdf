#include "app/MainWindow.h"
#include "settings/ProgramDir.h"

#include <QApplication>
#include <QIcon>
#include <csignal>

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
    InitProgramDir(QCoreApplication::applicationDirPath());

    MainWindow window({QCoreApplication::arguments().mid(1), nullptr, nullptr});
    window.CreateWindows();
    window.InitMainWindow();
    return QApplication::exec();
}
