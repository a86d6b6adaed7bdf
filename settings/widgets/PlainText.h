#pragma once
// Text from outside the program (server replies, device, file and profile names) shown where Qt
// would otherwise read markup: the text appears exactly as it is, and no tag in it is obeyed.
#include <QString>

namespace tarvo {

// A tooltip always guesses its format; this one is rich text whose content is the escaped text.
QString PlainToolTip(const QString& text);
// A window title treats "[*]" as the modified mark; doubled, it shows as written.
QString PlainWindowTitle(const QString& text);

} // namespace tarvo
