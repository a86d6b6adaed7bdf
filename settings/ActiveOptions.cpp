#include "settings/ActiveOptions.h"

OptionsValues ActiveOptions = {};
ExtraOptions ActiveExtras = {};
