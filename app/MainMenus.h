#pragma once
// The main window's menu bar and its tray menu, with their captions and short-cuts. The window
// connects the commands; which items are usable and marked is the engine's to say.
#include "app/MainMenuActions.h"

class QMenu;
class QMenuBar;
class QWidget;

namespace tarvo {

struct MenuState;

MainMenuActions BuildMainMenu(QMenuBar& bar);
// "Open Tarvo", separator, "Auto-capturing", "Profiles...", separator, "Close".
void BuildTrayMenu(QMenu& menu, MainMenuActions& actions);
// Enables, marks, shows and hides the items as the engine's menu state says.
void ApplyToMenus(const MainMenuActions& actions, const MenuState& state);

} // namespace tarvo
