#pragma once
// What the profile windows ask of the program around them: to show a record in the setup windows,
// and to make a record the active settings. What activation starts and stops is the program's
// business, not the settings module's.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"
#include "settings/ProfileBox.h"

namespace tarvo {

class ProfileActivation {
public:
    virtual ~ProfileActivation() = default;
    // Puts the record into the setup dialog and the firewall/proxy window.
    virtual void ShowInDialog(const OptionsValues& options) = 0;
    // Puts the settings kept beside the record into the setup dialog.
    virtual void ShowExtrasInDialog(const ExtraOptions&) {}
    // Makes the record the active settings, together with the extras of the profile the box names.
    virtual void Activate(const OptionsValues& options, const ProfileBox& box) = 0;
};

} // namespace tarvo
