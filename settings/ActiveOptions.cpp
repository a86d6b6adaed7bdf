#include "settings/ActiveOptions.h"

#include "common/EventLog.h"

OptionsValues ActiveOptions = {};
ExtraOptions ActiveExtras = {};

void ReplaceActiveOptions(const OptionsValues& options)
{
    ActiveOptions = options;
    ProgramLog().SetLogSettings(options.CreateLogfile, options.LogfileDir.str());
}
