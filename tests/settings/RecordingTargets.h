#pragma once
// Stands in for the station during activation: answers as told, records every call and holds
// the settings in force; the per-user store and the program folder are the ones it is given.
#include "app/core/Activation.h"

#include <QStringList>

namespace tarvo {

class RecordingTargets : public ActivationTargets {
public:
    RecordingTargets(PerUserStore& store, const QString& programDir) : store_(store), programDir_(programDir) {}

    // Answers
    int driverIndex = 0;
    bool driverConnected = true;
    bool previewChecked = false;

    // What activation pushed
    QStringList calls;
    bool shortcut = false;
    int timedInterval = -1;
    int jpegQuality = -1;
    std::uint16_t frameRate = 0, previewRate = 0;
    std::int64_t motionThreshold = -1;
    int fuseSeconds = -1;
    int rearmInterval = -1;
    int shown = 0;
    OptionsValues lastShown{};
    // The settings activation replaces.
    ActiveSettings settings;

    ActiveSettings& Settings() override { return settings; }
    PerUserStore& Store() override { return store_; }
    QString ProgramFolder() const override { return programDir_; }

    void ApplyStartupShortcut(bool enabled) override { calls << "shortcut"; shortcut = enabled; }
    void SetTimedTriggerInterval(int ms) override { calls << "timer1"; timedInterval = ms; }
    void SetJpegQuality(int q) override { calls << "jpeg"; jpegQuality = q; }
    int CaptureDriverIndex() const override { return driverIndex; }
    void SetCaptureDriverIndex(int i) override { calls << "driverIndex"; driverIndex = i; }
    bool DriverConnected() const override { return driverConnected; }
    bool PreviewChecked() const override { return previewChecked; }
    void RunPreviewCommand() override { calls << "preview"; previewChecked = false; }
    void EnableDriverTimer() override { calls << "driverTimer"; }
    void SetFrameRates(std::uint16_t f, std::uint16_t p) override { calls << "rates"; frameRate = f; previewRate = p; }
    void SetMotionThreshold(std::int64_t t) override { calls << "threshold"; motionThreshold = t; }
    void SetFuseSeconds(int s) override { calls << "fuse"; fuseSeconds = s; }
    void SetRearmInterval(int ms) override { calls << "rearm"; rearmInterval = ms; }
    void ShowInDialog(const OptionsValues& o) override { calls << "show"; ++shown; lastShown = o; }

private:
    PerUserStore& store_;
    QString programDir_;
};

} // namespace tarvo
