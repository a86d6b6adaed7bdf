#include "settings/ActiveOptions.h"

#include "common/EventLog.h"

namespace tarvo {

OptionsValues ActiveOptions = {};
ExtraOptions ActiveExtras = {};

void ReplaceActiveOptions(const OptionsValues& options)
{
    ActiveOptions = options;
    ProgramLog().SetLogSettings(options.CreateLogfile, options.LogfileDir.str());
}

} // namespace tarvo
