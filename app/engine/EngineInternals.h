#pragma once
// Engine internals shared by its source files. The frame handler's working state is set up on the
// GUI thread by StartAutoCap before the engine accepts frames, then touched only by the streaming
// thread until StopAutoCap has stopped the stream.
#include "app/clips/ClipRecorder.h"
#include "app/engine/AutoCaptureEngine.h"
#include "app/engine/RunSnapshot.h"
#include "capture/CaptureTypes.h"
#include "capture/FrameDecoder.h"
#include "common/ThreadHandOver.h"
#include "settings/ExtraOptions.h"

#include <QDateTime>

#include <QImage>
#include <QMetaObject>
#include <cstdint>
#include <memory>

namespace tarvo {

struct AutoCaptureEngine::FrameState {
    FrameFormat format;                   // the capture format, read when the stream starts
    std::unique_ptr<FrameDecoder> decoder; // open while auto-capturing runs
    QImage current;                       // the newest frame of this call
    QImage previous;                      // the reference of the last sample
    QImage spare;                         // the buffer the reference gave up, decoded into next
    std::uint32_t lastSampleTime = 0;     // capture time of the last sample; never reset
    bool indicatorState = false;          // what the status-bar indicator shows
    std::unique_ptr<const RunSnapshot> run; // the run's settings, fixed when it starts
    QDateTime alarmTime;                  // an armed alarm of this call, until its hooks are posted
    QDateTime lightChangeLogged;          // last "Light change ignored" line
    ClipRecorder clips;                   // the run's motion clips, with the seconds before each alarm
};

template <class Fn> void AutoCaptureEngine::PostToGui(Fn fn)
{
    const std::uint32_t run = run_.load();
    PostQueued(this, [this, run, fn = std::move(fn)]() mutable {
        if (mode_.State() == EngineState::Running && run_.load() == run)
            fn();
    });
}

} // namespace tarvo
