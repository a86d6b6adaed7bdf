#include "common/Clock.h"

namespace tarvo {

namespace {
const SystemClock systemClock;
std::atomic<const Clock*> current{&systemClock};
} // namespace

const Clock& ProgramClock() { return *current.load(std::memory_order_acquire); }

void SetProgramClock(const Clock* clock)
{
    current.store(clock ? clock : &systemClock, std::memory_order_release);
}

} // namespace tarvo
