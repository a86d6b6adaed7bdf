#pragma once
// The active settings every module reads. Replaced whole only by SetActive (and CreateLogfile by
// the log writer in debug mode). The setup dialog and profile commands are disabled while
// auto-capturing, so the frame thread never reads it while it changes.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

extern OptionsValues ActiveOptions;
// The active profile's settings beyond the record; replaced together with ActiveOptions.
extern ExtraOptions ActiveExtras;
