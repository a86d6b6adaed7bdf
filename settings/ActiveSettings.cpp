#include "settings/ActiveSettings.h"

#include "common/EventLog.h"

namespace tarvo {

void ActiveSettings::Replace(const OptionsValues& record)
{
    options = record;
    ProgramLog().SetLogSettings(record.CreateLogfile, record.LogfileDir.str());
}

} // namespace tarvo
