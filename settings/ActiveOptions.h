#pragma once
// The active settings the GUI thread reads. Replaced whole only by ReplaceActiveOptions, on the GUI
// thread. Other threads never read them: an auto-capturing run reads the snapshot it took when it
// started, and the log writer keeps its own copy of its settings.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

namespace tarvo {

extern OptionsValues ActiveOptions;
// Replaces ActiveOptions and hands the program's log its logging settings.
void ReplaceActiveOptions(const OptionsValues& options);
// The active profile's settings beyond the record; replaced together with ActiveOptions.
extern ExtraOptions ActiveExtras;

} // namespace tarvo
