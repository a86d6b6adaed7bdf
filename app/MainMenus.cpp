#include "app/MainMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tarvo {

namespace {
QAction* item(QMenu& menu, const QString& caption, const QKeySequence& shortcut = {}, bool checkable = false)
{
    QAction* action = menu.addAction(caption);
    action->setShortcut(shortcut);
    action->setCheckable(checkable);
    return action;
}
} // namespace

MainMenuActions BuildMainMenu(QMenuBar& bar)
{
    MainMenuActions a;
    QMenu& file = *bar.addMenu("&File");
    a.exit = item(file, "&Exit");

    QMenu& view = *bar.addMenu("&View");
    a.preview = item(view, "&Preview", QKeySequence("Ctrl+P"), true);
    a.browse = item(view, "&Browse...");
    a.liveView = item(view, "&Live view in browser");
    a.liveView->setEnabled(false);
    view.addSeparator();
    a.about = item(view, "&About...");

    QMenu& setup = *bar.addMenu("&Setup");
    a.profiles = item(setup, "&Profiles...");
    a.setup = item(setup, "&Setup...");
    setup.addSeparator();
    QMenu& driver = *setup.addMenu("Driver settings");
    a.driverSource = item(driver, "S&ource...");
    a.driverDisplay = item(driver, "&Display...");
    a.driverFormat = item(driver, "&Format...");
    // Usable once a connected driver says it offers the dialog.
    for (QAction* dialog : {a.driverSource, a.driverDisplay, a.driverFormat})
        dialog->setEnabled(false);

    QMenu& capture = *bar.addMenu("&Capture");
    a.capturePicture = item(capture, "Capture &picture", QKeySequence("Ctrl+I"));
    a.captureVideo = item(capture, "Capture &video", QKeySequence("Ctrl+R"), true);
    capture.addSeparator();
    a.autoCapturing = item(capture, "&Auto capturing", QKeySequence("Ctrl+A"), true);
    a.captureNow = item(capture, "Capture &now", QKeySequence("Ctrl+N"));
    a.captureNow->setEnabled(false);
    return a;
}

void BuildTrayMenu(QMenu& menu, MainMenuActions& a)
{
    a.trayOpen = item(menu, "Open Tarvo");
    menu.addSeparator();
    a.trayAutoCapturing = item(menu, "Auto-capturing", {}, true);
    a.trayProfiles = item(menu, "Profiles...");
    menu.addSeparator();
    a.trayClose = item(menu, "Close");
}

} // namespace tarvo
