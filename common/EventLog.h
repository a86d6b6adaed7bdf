#pragma once
// The one event reporter every module talks to. The main window's log writer implements it
// (status bar + Log.txt); tests use a recording one. Callable from the GUI and the frame thread.
#include <QString>

namespace tarvo {

class EventLog {
public:
    virtual ~EventLog() = default;
    // Msg is shown (and with toFile appended to the log file) unchanged; sender is used only in
    // debug mode. Never throws: a line that cannot be written is reported and the caller goes on.
    virtual void WriteLog(const QString& msg, bool toFile, const QString& sender) = 0;
    // The active settings' logging: whether results go to the file, and the file's folder. GUI
    // thread, whenever settings are activated; the log keeps its own copy for every thread.
    virtual void SetLogSettings(bool /*createLogfile*/, const QString& /*folder*/) {}
};

// An event log that drops everything, for code run without a main window.
class NullEventLog final : public EventLog {
public:
    void WriteLog(const QString&, bool, const QString&) override {}
};

// The program's event log: the main window installs its log writer at start-up; until then (and
// in tests that install none) messages go nowhere. Set it before threads start.
EventLog& ProgramLog();
void SetProgramLog(EventLog* log); // nullptr: back to the null log

} // namespace tarvo
