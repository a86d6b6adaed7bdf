#include "imaging/JpegErrors.h"

namespace tarvo {

namespace {
[[noreturn]] void JumpBack(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegErrorJump*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void PrintNothing(j_common_ptr) {}
} // namespace

jpeg_error_mgr* JpegErrorsThatJump(JpegErrorJump& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpBack;
    err.pub.output_message = PrintNothing;
    err.message[0] = '\0';
    return &err.pub;
}

} // namespace tarvo
