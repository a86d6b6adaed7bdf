#pragma once
// The records the capture device exchanges with its back-end. Their sizes and layouts are
// fixed (the bitmap header is the one BMP and AVI files carry), so they are checked below.
#include <cstddef>
#include <cstdint>

namespace tarvo {

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

// BitmapHeader::compression values the frame decoder reads. 0 means uncompressed RGB (a DIB).
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t FOURCC_YUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr std::uint32_t FOURCC_I420 = MakeFourCC('I', '4', '2', '0');
constexpr std::uint32_t FOURCC_IYUV = MakeFourCC('I', 'Y', 'U', 'V');
constexpr std::uint32_t FOURCC_MJPG = MakeFourCC('M', 'J', 'P', 'G');

struct BitmapHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0; // RGB: positive = bottom-up rows, negative = top-down
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t imageSize = 0;
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t importantColours = 0;
};
static_assert(sizeof(BitmapHeader) == 40);

// The 44-byte video format buffer: the header and the 4 bytes after it (one colour entry).
struct FrameFormat {
    BitmapHeader header;
    std::uint32_t colours[1] = {0};

    int width() const { return header.width; }
    int height() const { return header.height < 0 ? -header.height : header.height; }
};
static_assert(sizeof(FrameFormat) == 44);

// One captured frame as the stream callbacks see it; data is valid only during the call.
// capacity is the buffer's size, bytesUsed how much of it the frame fills (0: all of it).
struct FrameBuffer {
    std::uint8_t* data = nullptr;
    std::uint32_t capacity = 0;
    std::uint32_t bytesUsed = 0;
    std::uint32_t capturedMs = 0; // ms since the sequence started
    std::uintptr_t user = 0;
    std::uint32_t flags = 0;
};

// One block of recorded sound as the wave-stream callback sees it.
struct SoundBuffer {
    std::uint8_t* data = nullptr;
    std::uint32_t capacity = 0;
    std::uint32_t bytesRecorded = 0;
    std::uintptr_t user = 0;
    std::uint32_t flags = 0;
};

struct CaptureStatus {
    std::uint32_t imageWidth = 0;
    std::uint32_t imageHeight = 0;
    std::uint32_t previewing = 0;
    std::uint32_t overlaying = 0;
    std::uint32_t scaling = 0;
    std::int32_t scroll[2] = {0, 0};
    std::uint32_t defaultPalette = 0;
    std::uint32_t hasAudio = 0;
    std::uint32_t captureFileExists = 0;
    std::uint32_t framesCaptured = 0;
    std::uint32_t framesDropped = 0;
    std::uint32_t soundSamples = 0;
    std::uint32_t elapsedMs = 0;
    std::uint32_t palette = 0;
    std::uint32_t capturing = 0;
    std::uint32_t lastResult = 0;
    std::uint32_t videoBuffersAllocated = 0;
    std::uint32_t soundBuffersAllocated = 0;
};
static_assert(sizeof(CaptureStatus) == 76);

struct DriverCapabilities {
    std::uint32_t deviceIndex = 0;
    std::uint32_t hasOverlay = 0;
    std::uint32_t hasSourceDialog = 0;
    std::uint32_t hasFormatDialog = 0;
    std::uint32_t hasDisplayDialog = 0;
    std::uint32_t initialized = 0;
    std::uint32_t suppliesPalettes = 0;
    std::uint32_t videoIn = 0;
    std::uint32_t videoOut = 0;
    std::uint32_t videoExternalIn = 0;
    std::uint32_t videoExternalOut = 0;
};
static_assert(sizeof(DriverCapabilities) == 44);

struct SequenceSettings {
    std::uint32_t usPerFrame = 66667;
    std::uint32_t confirmBeforeStart = 0;
    std::uint32_t dropPercentForError = 10;
    std::uint32_t runInBackground = 0;
    std::uint32_t indexSize = 0;
    std::uint32_t chunkGranularity = 0;
    std::uint32_t lowMemory = 0;
    std::uint32_t videoBuffersRequested = 0;
    std::uint32_t captureSound = 0;
    std::uint32_t soundBuffersRequested = 0;
    std::uint32_t abortKey = 0;
    std::uint32_t abortOnLeftClick = 0;
    std::uint32_t abortOnRightClick = 0;
    std::uint32_t timeLimited = 0;
    std::uint32_t timeLimitSec = 0;
    std::uint32_t mediaControl = 0;
    std::uint32_t stepMediaDevice = 0;
    std::uint32_t mediaStartMs = 0;
    std::uint32_t mediaStopMs = 0;
    std::uint32_t stepAtDoubleSize = 0;
    std::uint32_t stepAverageFrames = 0;
    std::uint32_t soundBufferSize = 0;
    std::uint32_t disableWriteCache = 0;
    std::uint32_t streamMaster = 0;
};
static_assert(sizeof(SequenceSettings) == 96);

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct SoundFormat {
    std::uint16_t formatTag = WAVE_FORMAT_PCM;
    std::uint16_t channels = 1;
    std::uint32_t samplesPerSec = 11025;
    std::uint32_t bytesPerSec = 11025;
    std::uint16_t blockAlign = 1;
    std::uint16_t bitsPerSample = 8;
    std::uint16_t extraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(SoundFormat) == 18);

// Paths longer than this are refused by every file request.
constexpr int MaxCaptureFileName = 259;

} // namespace tarvo
