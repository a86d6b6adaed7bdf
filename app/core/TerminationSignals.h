#pragma once
// SIGTERM and SIGINT end the program the way "&Exit" does, run from the GUI thread's event loop.
#include "app/core/SignalWatcher.h"

namespace tarvo {

class TerminationSignals final : public SignalWatcher {
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr)
        : SignalWatcher({SIGTERM, SIGINT}, std::move(onSignal), parent)
    {
    }
};

} // namespace tarvo
