#pragma once
// libjpeg's default error handler ends the process; this one jumps back to the caller's setjmp.
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared first

#include <jpeglib.h>

namespace tarvo {

struct JpegErrorJump {
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX]; // the text of the error that jumped
};

// A compressor or decompressor, destroyed with its owner once libjpeg has created it.
template <typename Info, void (*Destroy)(Info*)>
struct JpegOwner {
    Info cinfo{};
    bool created = false;
    JpegOwner() = default;
    JpegOwner(const JpegOwner&) = delete;
    JpegOwner& operator=(const JpegOwner&) = delete;
    ~JpegOwner()
    {
        if (created)
            Destroy(&cinfo);
    }
};
using JpegCompressorOwner = JpegOwner<jpeg_compress_struct, jpeg_destroy_compress>;
using JpegDecompressorOwner = JpegOwner<jpeg_decompress_struct, jpeg_destroy_decompress>;

// Sets err up for a (de)compressor's err field: an error formats its text into err.message and
// jumps to err.jump; warnings are counted in pub.num_warnings and printed nowhere.
jpeg_error_mgr* JpegErrorsThatJump(JpegErrorJump& err);

} // namespace tarvo
