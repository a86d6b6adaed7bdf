#pragma once
// How the engine reads the intervals a profile gives it. The dialog lets each of them be
// 0 min 0 s, and a damaged profile may even hold negative values.
#include <algorithm>

namespace tarvo {

// A timed trigger of 0 min 0 s asks for pictures as often as the interval fields can say: one a
// second. Capturing every frame instead would write up to 30 files a second and leave no time
// for an FTP upload, which is never what "every 0 seconds" is meant to achieve.
inline constexpr int MinTimedIntervalMs = 1000;
constexpr int TimedTriggerIntervalMs(int ms) { return std::max(ms, MinTimedIntervalMs); }

// A re-arm delay of 0 s re-arms at the next turn of the event loop, once per trigger: the engine
// is armed again before the next motion sample is taken (samples are 200 ms apart).
constexpr int RearmDelayMs(int ms) { return std::max(ms, 0); }

// A fuse of 0 s starts auto-capturing at once.
constexpr int FuseLengthSeconds(int seconds) { return std::max(seconds, 0); }

// A camera lost while auto-capturing is tried again this often; a failed try is logged once a
// minute, so a camera that stays away does not fill the log.
inline constexpr int ReconnectIntervalMs = 5000;
inline constexpr int ReconnectTriesPerReport = 12;

} // namespace tarvo
