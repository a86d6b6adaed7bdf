#include "app/core/HandlerBoundary.h"

#include "common/EventLog.h"

#include <exception>

namespace tarvo {

void ReportHandlerError(const QString& sender) noexcept
{
    QString message = QStringLiteral("Unknown error");
    try {
        throw;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
    }
    ProgramLog().WriteLog(message, true, sender);
}

} // namespace tarvo
