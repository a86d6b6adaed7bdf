#include "app/MainMenus.h"

#include "app/engine/MenuState.h"

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
    struct Item {
        QAction* action;
        bool enabled;
        bool checked = false;
        bool shown = true;
    };
    const Item items[] = {
        {a.preview, state.preview.enabled, state.preview.checked},
        {a.driverSource, state.driverSource.enabled, false, state.driverSource.shown},
        {a.driverDisplay, state.driverDisplay.enabled, false, state.driverDisplay.shown},
        {a.driverFormat, state.driverFormat.enabled, false, state.driverFormat.shown},
        {a.captureVideo, state.captureVideo.enabled, state.captureVideo.checked},
        {a.captureNow, state.captureNow},
        {a.setup, state.settings},
        {a.profiles, state.settings},
        {a.trayProfiles, state.settings},
        {a.autoCapturing, state.autoCapturing.enabled, state.autoCapturing.checked},
        {a.trayAutoCapturing, state.autoCapturing.enabled, state.autoCapturing.checked},
        {a.liveView, state.liveView},
    };
    for (const Item& item : items) {
        item.action->setEnabled(item.enabled);
        item.action->setChecked(item.checked);
        item.action->setVisible(item.shown);
    }
}

} // namespace tarvo
