#include "app/MainMenus.h"

#include "app/engine/MenuState.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <utility>

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

    QMenu& capture = *bar.addMenu("&Capture");
    a.capturePicture = item(capture, "Capture &picture", QKeySequence("Ctrl+I"));
    a.captureVideo = item(capture, "Capture &video", QKeySequence("Ctrl+R"), true);
    capture.addSeparator();
    a.autoCapturing = item(capture, "&Auto capturing", QKeySequence("Ctrl+A"), true);
    a.captureNow = item(capture, "Capture &now", QKeySequence("Ctrl+N"));
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

void ApplyToMenus(const MainMenuActions& a, const MenuState& state)
{
    const std::pair<QAction*, MenuItemState> checkable[] = {
        {a.preview, state.preview},
        {a.captureVideo, state.captureVideo},
        {a.autoCapturing, state.autoCapturing},
        {a.trayAutoCapturing, state.autoCapturing},
    };
    for (const auto& [action, s] : checkable) {
        action->setEnabled(s.enabled);
        action->setChecked(s.checked);
    }
    const std::pair<QAction*, DriverDialogItem> dialogs[] = {
        {a.driverSource, state.driverSource},
        {a.driverDisplay, state.driverDisplay},
        {a.driverFormat, state.driverFormat},
    };
    for (const auto& [action, d] : dialogs) {
        action->setVisible(d.shown);
        action->setEnabled(d.enabled);
    }
    a.captureNow->setEnabled(state.captureNow);
    for (QAction* action : {a.setup, a.profiles, a.trayProfiles})
        action->setEnabled(state.settings);
    a.liveView->setEnabled(state.liveView);
}

} // namespace tarvo
