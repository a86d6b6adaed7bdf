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
struct JpegCompressorOwner {
    jpeg_compress_struct cinfo{};
    bool created = false;
    JpegCompressorOwner() = default;
    JpegCompressorOwner(const JpegCompressorOwner&) = delete;
    JpegCompressorOwner& operator=(const JpegCompressorOwner&) = delete;
    ~JpegCompressorOwner()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
    }
};
struct JpegDecompressorOwner {
    jpeg_decompress_struct cinfo{};
    bool created = false;
    JpegDecompressorOwner() = default;
    JpegDecompressorOwner(const JpegDecompressorOwner&) = delete;
    JpegDecompressorOwner& operator=(const JpegDecompressorOwner&) = delete;
    ~JpegDecompressorOwner()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

// Sets err up for a (de)compressor's err field: an error formats its text into err.message and
// jumps to err.jump; warnings are counted in pub.num_warnings and printed nowhere.
jpeg_error_mgr* JpegErrorsThatJump(JpegErrorJump& err);

} // namespace tarvo
