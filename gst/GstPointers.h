#pragma once
// Owners for the GStreamer and GLib handles the program holds, and the one start of GStreamer.
#include <gst/gst.h>

#include <memory>

namespace tarvo {

// Starts GStreamer once for the whole program, from whichever thread asks first; false when it
// cannot start (then no pipeline can be made).
bool EnsureGstInit();

struct GstObjectUnref {
    void operator()(gpointer p) const { gst_object_unref(p); }
};
// A pipeline is brought to NULL before its last reference goes, which joins its threads.
struct GstPipelineRelease {
    void operator()(GstElement* p) const
    {
        gst_element_set_state(p, GST_STATE_NULL);
        gst_object_unref(p);
    }
};
struct GstMiniObjectUnref {
    void operator()(gpointer p) const { gst_mini_object_unref(GST_MINI_OBJECT_CAST(p)); }
};
struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};

using GstElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using GstPipelinePtr = std::unique_ptr<GstElement, GstPipelineRelease>;
using GstBusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using GstPadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using GstDevicePtr = std::unique_ptr<GstDevice, GstObjectUnref>;
using GstDeviceMonitorPtr = std::unique_ptr<GstDeviceMonitor, GstObjectUnref>;
using GstSamplePtr = std::unique_ptr<GstSample, GstMiniObjectUnref>;
using GstBufferPtr = std::unique_ptr<GstBuffer, GstMiniObjectUnref>;
using GstCapsPtr = std::unique_ptr<GstCaps, GstMiniObjectUnref>;
using GstMessagePtr = std::unique_ptr<GstMessage, GstMiniObjectUnref>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GCharPtr = std::unique_ptr<gchar, GFree>;

} // namespace tarvo
