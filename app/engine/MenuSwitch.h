#pragma once
// Null-safe switches for the main window's menu items: the engine may run before (or, in tests,
// without) every item being built.
#include <QAction>

namespace tarvo {

inline void EnableItem(QAction* item, bool enabled)
{
    if (item)
        item->setEnabled(enabled);
}

inline void CheckItem(QAction* item, bool checked)
{
    if (item)
        item->setChecked(checked);
}

} // namespace tarvo
