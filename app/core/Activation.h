#pragma once
// Activation: a profile's record becomes the active settings, and the values that live outside the
// record go to their owners (timers, the driver, the preview, the live view, the storage limits).
#include "settings/ActiveSettings.h"
#include "settings/Profiles.h"
#include "settings/ProfileBox.h"

#include <cstdint>

namespace tarvo {

class PerUserStore;

// What activation drives, one method per step. The station implements it; every method is
// called on the GUI thread, in the order of the declarations. Activate runs SetActive on them.
class ActivationTargets : public ProfileActivation {
public:
    void Activate(const OptionsValues& options, const ProfileBox& box) override;

    // The settings in force, which activation replaces.
    virtual ActiveSettings& Settings() = 0;
    // The per-user store, which keeps the current profile's name.
    virtual PerUserStore& Store() = 0;
    // The program folder (ending in '/'), which holds the profiles.
    virtual QString ProgramFolder() const = 0;

    // Creates the start-at-login entry when true, removes it when false.
    virtual void ApplyStartupShortcut(bool enabled) = 0;
    // Interval of the timed trigger's timer, ms.
    virtual void SetTimedTriggerInterval(int ms) = 0;
    virtual void SetJpegQuality(int quality) = 0;
    virtual int CaptureDriverIndex() const = 0;
    virtual void SetCaptureDriverIndex(int index) = 0;
    virtual bool DriverConnected() const = 0;
    // The "&Preview" menu item's check and its command (which, with no driver, reports
    // "Driver not loaded" and unchecks the item).
    virtual bool PreviewChecked() const = 0;
    virtual void RunPreviewCommand() = 0;
    // Connects the driver once the message loop runs.
    virtual void EnableDriverTimer() = 0;
    virtual void SetFrameRates(std::uint16_t frameRate, std::uint16_t previewRate) = 0;
    virtual void SetMotionThreshold(std::int64_t threshold) = 0;
    virtual void SetFuseSeconds(int seconds) = 0;
    // Interval of the re-arm timer, ms.
    virtual void SetRearmInterval(int ms) = 0;
    // Here the record goes to the dialogs: ShowInDialog, then ShowExtrasInDialog.
    // The folders, naming schemes and storage limits under which old pictures and videos go.
    virtual void ApplyStorageLimits(const OptionsValues&, const StorageOptions&) {}
    // Starts, restarts or stops the live view for the profile.
    virtual void ApplyLiveView(const OptionsValues&, const LiveViewOptions&) {}
};

// Makes the record targets.Settings(), together with the extras of the profile the box names, and
// applies them, logging "Loaded profile: " + box text.
// Folders that do not exist are created (one level); one that cannot be created is shown empty in
// the setup dialog while the settings in force keep the path.
void SetActive(const OptionsValues& options, const ProfileBox& box, ActivationTargets& targets);

// Start-up choice of the current profile: the stored "CurrentProfile" (of targets.Store()) when its file exists,
// otherwise a fresh "Default" (which replaces an existing Default.pfl, and resets "LoadCount" to 0).
// An existing current profile that cannot be opened is reported in the log and the program runs on
// the defaults, its file left alone. Puts the name into the box and activates. The caller runs
// ListProfiles after reading the counters.
void ActivateStartupProfile(ProfileBox& box, ProfilePasswords& passwords, ActivationTargets& targets);

} // namespace tarvo
