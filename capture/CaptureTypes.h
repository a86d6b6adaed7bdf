#pragma once
// The records the capture component exchanges with its back-end. They keep the field names and
// sizes of the classic capture API, so the component's rules read the same on every platform.
#include <cstddef>
#include <cstdint>

namespace tarvo {

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

// biCompression values the frame decoder reads. 0 means uncompressed RGB (a DIB).
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t FOURCC_YUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr std::uint32_t FOURCC_I420 = MakeFourCC('I', '4', '2', '0');
constexpr std::uint32_t FOURCC_IYUV = MakeFourCC('I', 'Y', 'U', 'V');
constexpr std::uint32_t FOURCC_MJPG = MakeFourCC('M', 'J', 'P', 'G');

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0; // RGB: positive = bottom-up rows, negative = top-down
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = BI_RGB;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The 44-byte video format buffer: the header and the 4 bytes after it (one colour entry).
struct FrameFormat {
    BITMAPINFOHEADER bmiHeader;
    std::uint32_t bmiColors[1] = {0};

    int width() const { return bmiHeader.biWidth; }
    int height() const { return bmiHeader.biHeight < 0 ? -bmiHeader.biHeight : bmiHeader.biHeight; }
};
static_assert(sizeof(FrameFormat) == 44);

// One captured frame as the stream callbacks see it; lpData is valid only during the call.
struct VIDEOHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesUsed = 0;
    std::uint32_t dwTimeCaptured = 0; // ms since the sequence started
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
};

// One block of recorded sound as the wave-stream callback sees it.
struct WAVEHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
};

struct CAPSTATUS {
    std::uint32_t uiImageWidth = 0;
    std::uint32_t uiImageHeight = 0;
    std::uint32_t fLiveWindow = 0;
    std::uint32_t fOverlayWindow = 0;
    std::uint32_t fScale = 0;
    std::int32_t ptScroll[2] = {0, 0};
    std::uint32_t fUsingDefaultPalette = 0;
    std::uint32_t fAudioHardware = 0;
    std::uint32_t fCapFileExists = 0;
    std::uint32_t dwCurrentVideoFrame = 0;
    std::uint32_t dwCurrentVideoFramesDropped = 0;
    std::uint32_t dwCurrentWaveSamples = 0;
    std::uint32_t dwCurrentTimeElapsedMS = 0;
    std::uint32_t hPalCurrent = 0;
    std::uint32_t fCapturingNow = 0;
    std::uint32_t dwReturn = 0;
    std::uint32_t wNumVideoAllocated = 0;
    std::uint32_t wNumAudioAllocated = 0;
};
static_assert(sizeof(CAPSTATUS) == 76);

struct CAPDRIVERCAPS {
    std::uint32_t wDeviceIndex = 0;
    std::uint32_t fHasOverlay = 0;
    std::uint32_t fHasDlgVideoSource = 0;
    std::uint32_t fHasDlgVideoFormat = 0;
    std::uint32_t fHasDlgVideoDisplay = 0;
    std::uint32_t fCaptureInitialized = 0;
    std::uint32_t fDriverSuppliesPalettes = 0;
    std::uint32_t hVideoIn = 0;
    std::uint32_t hVideoOut = 0;
    std::uint32_t hVideoExtIn = 0;
    std::uint32_t hVideoExtOut = 0;
};
static_assert(sizeof(CAPDRIVERCAPS) == 44);

struct CAPTUREPARMS {
    std::uint32_t dwRequestMicroSecPerFrame = 66667;
    std::uint32_t fMakeUserHitOKToCapture = 0;
    std::uint32_t wPercentDropForError = 10;
    std::uint32_t fYield = 0;
    std::uint32_t dwIndexSize = 0;
    std::uint32_t wChunkGranularity = 0;
    std::uint32_t fUsingDOSMemory = 0;
    std::uint32_t wNumVideoRequested = 0;
    std::uint32_t fCaptureAudio = 0;
    std::uint32_t wNumAudioRequested = 0;
    std::uint32_t vKeyAbort = 0;
    std::uint32_t fAbortLeftMouse = 0;
    std::uint32_t fAbortRightMouse = 0;
    std::uint32_t fLimitEnabled = 0;
    std::uint32_t wTimeLimit = 0;
    std::uint32_t fMCIControl = 0;
    std::uint32_t fStepMCIDevice = 0;
    std::uint32_t dwMCIStartTime = 0;
    std::uint32_t dwMCIStopTime = 0;
    std::uint32_t fStepCaptureAt2x = 0;
    std::uint32_t wStepCaptureAverageFrames = 0;
    std::uint32_t dwAudioBufferSize = 0;
    std::uint32_t fDisableWriteCache = 0;
    std::uint32_t AVStreamMaster = 0;
};
static_assert(sizeof(CAPTUREPARMS) == 96);

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = WAVE_FORMAT_PCM;
    std::uint16_t nChannels = 1;
    std::uint32_t nSamplesPerSec = 11025;
    std::uint32_t nAvgBytesPerSec = 11025;
    std::uint16_t nBlockAlign = 1;
    std::uint16_t wBitsPerSample = 8;
    std::uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Paths longer than this are refused by every file request.
constexpr int MaxCaptureFileName = 259;

} // namespace tarvo
