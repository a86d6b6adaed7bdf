#include "common/EventLog.h"

#include <atomic>

namespace tarvo {

namespace {
NullEventLog nullLog;
std::atomic<EventLog*> current{&nullLog};
} // namespace

EventLog& ProgramLog() { return *current.load(std::memory_order_acquire); }

void SetProgramLog(EventLog* log) { current.store(log ? log : &nullLog, std::memory_order_release); }

} // namespace tarvo
