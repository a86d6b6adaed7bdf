#pragma once
// What one auto-capturing run reads on the frame thread, frozen on the GUI thread when the run
// starts (and again when a lost camera is back): a profile activated meanwhile changes nothing
// the running frame handler uses. The frame handler reads settings only from here.
#include "imaging/MotionDetection.h"
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

namespace tarvo {

struct RunSnapshot {
    OptionsValues options; // the actions, file names, website, sounds and popup of the run
    AlarmOptions alarms;   // what counts as motion and what an alarm runs
    MotionSetup motion;    // grid, threshold and marks of the comparison
};

} // namespace tarvo
