#pragma once
// The settings in force: the active profile's record and its extras. One object, owned by whoever
// runs the program's parts and handed by reference to those that read it, all on the GUI thread.
// Other threads never read it: an auto-capturing run reads the snapshot it took when it started,
// and the log writer keeps its own copy of its settings.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

namespace tarvo {

class ActiveSettings {
public:
    // Replaces the record whole and hands the program's log its logging settings.
    void Replace(const OptionsValues& record);

    OptionsValues options = {};
    // The active profile's settings beyond the record; replaced together with the record.
    ExtraOptions extras = {};
};

} // namespace tarvo
