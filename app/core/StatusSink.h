#pragma once
// Where the log writer puts its status text: panel 1 of the main window's status bar, or a
// recording sink in tests. Called on the GUI thread only.
#include <QString>

namespace tarvo {

class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void SetStatusText(const QString& text) = 0;
};

} // namespace tarvo
