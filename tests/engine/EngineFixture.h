#pragma once
// The auto-capture engine wired the way the main window wires it, against the recording capture
// back-end: frames are handed to the engine on a thread of their own, as the streaming thread
// would, and the window side is a host that records what it was asked to show.
#include "RecordingCaptureBackend.h"
#include "support/TestSupport.h"

#include "app/engine/AutoCaptureEngine.h"
#include "app/engine/EngineHost.h"
#include "app/engine/ManualCommands.h"
#include "app/engine/MenuState.h"
#include "capture/CaptureDevice.h"
#include "imaging/FileNaming.h"
#include "settings/ActiveSettings.h"
#include "sound/SoundPlayer.h"
#include "support/RecordingSoundPlayer.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tarvo {

class RecordingEngineHost final : public EngineHost {
public:
    void SetIndicatorPanelWidth(int width) override { panelWidths.push_back(width); }
    void DrawMotionIndicator(int image) override { indicatorImages.push_back(image); }
    void SetIconImage(int image) override { iconImages.push_back(image); }
    void RaisePopup(const QString& message) override { popups << message; }
    bool MainWindowVisible() const override { return visible; }
    bool StartedInTray() const override { return startedInTray; }
    void ApplyMenuState(const MenuState& state) override { menus = state; }

    std::vector<int> panelWidths;
    std::vector<int> indicatorImages;
    std::vector<int> iconImages;
    QStringList popups;
    bool visible = true;
    bool startedInTray = false;
    // The menus as the engine last handed them over.
    MenuState menus;
};

// What every engine test stands on, whichever capture back-end it uses: a scratch program folder
// with pictures/ and videos/, the program's log and sounds recorded, nothing uploaded, and the
// host. The derived fixture makes the engine and resets it before this is torn down.
class EngineSurroundings : public ::testing::Test {
protected:
    EngineSurroundings();
    ~EngineSurroundings() override;

    // Each file the engine reports as written, in order; every report must come on the GUI thread.
    static void RecordSavedFiles(AutoCaptureEngine& e, QStringList& into);

    ScratchProgram program;
    FileCounters counters{program.store()};
    // The settings in force the engine reads.
    ActiveSettings settings;
    OptionsValues& options = settings.options;
    ExtraOptions& extras = settings.extras;
    RecordingEventLog log;
    RecordingSoundPlayer sound;
    RecordingEngineHost host;
    std::unique_ptr<AutoCaptureEngine> engine;
};

class EngineTest : public EngineSurroundings {
protected:
    static constexpr int FrameWidth = 40;
    static constexpr int FrameHeight = 30;

    EngineTest();
    ~EngineTest() override;

    // A uniform 32-bit frame whose blue level is `blue`; blue dominates the motion comparison.
    static std::vector<std::uint8_t> MakeFrame(std::uint8_t blue);
    // Hands one frame to the engine on another thread and waits for the handler to return, then
    // runs what it posted to the GUI thread. bytes 0: the whole frame.
    void Deliver(std::uint32_t timeMs, std::uint8_t blue, std::uint32_t bytes = 0);
    // Frames 250 ms apart, each a motion sample; blue alternates so that every comparison moves.
    void DeliverMovingSamples(int count);
    void DeliverStillSamples(int count);
    static void RunPosted();

    // Starts auto-capturing with the motion trigger (or the given one).
    void StartWith(int trigger);
    // Starts with the motion trigger, settles on five still samples, then delivers moving ones.
    void StartAndMove(int movingSamples = 1);
    int Count(const QString& message) const;
    // The driver is chosen but its camera is gone: nothing is connected and a connection fails.
    void NoCameraConnects();

    RecordingCaptureBackend backend;
    std::unique_ptr<CaptureDevice> video;
    std::uint32_t nextTime = 0;
    bool nextBlue = false;
    // Every file the engine reported as written, in order.
    QStringList savedFiles;
};

} // namespace tarvo
