#pragma once
// The boundary of every event handler the user or a timer can start: an error that reaches it is
// reported through the event log, with the handler as sender, and the program goes on. Without it
// an exception would leave the event loop and end the program. GUI thread.
#include <QObject>
#include <QString>
#include <utility>

namespace tarvo {

// Reports the exception being handled; call it only inside a catch block.
void ReportHandlerError(const QString& sender) noexcept;

template <class Handler> void RunHandler(const QString& sender, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ReportHandlerError(sender);
    }
}

// Connects a signal to a handler that runs inside the boundary.
template <class Source, class Signal, class Handler>
QMetaObject::Connection ConnectHandler(Source* source, Signal signal, const QObject* context, const QString& sender,
                                       Handler handler)
{
    return QObject::connect(source, signal, context,
                            [sender, handler = std::move(handler)] { RunHandler(sender, handler); });
}

} // namespace tarvo
