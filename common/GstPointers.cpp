#include "common/GstPointers.h"

bool EnsureGstInit()
{
    static const bool ready = gst_init_check(nullptr, nullptr, nullptr);
    return ready;
}
