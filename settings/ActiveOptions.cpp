#include "settings/ActiveOptions.h"

OptionsValues ActiveOptions = {};
