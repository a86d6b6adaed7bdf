#include "gst/GstPointers.h"

namespace tarvo {

bool EnsureGstInit()
{
    static const bool ready = gst_init_check(nullptr, nullptr, nullptr);
    return ready;
}

} // namespace tarvo
