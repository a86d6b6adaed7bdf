#pragma once
// The main window's menu bar and its tray menu, with their captions, short-cuts and the states
// they start in. The window connects the commands.
#include "app/MainMenuActions.h"

class QMenu;
class QMenuBar;
class QWidget;

namespace tarvo {

MainMenuActions BuildMainMenu(QMenuBar& bar);
// "Open Tarvo", separator, "Auto-capturing", "Profiles...", separator, "Close".
void BuildTrayMenu(QMenu& menu, MainMenuActions& actions);

} // namespace tarvo
