#pragma once
// Independent readers for the files the imaging code writes.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tarvo {

struct JpegFacts {
    bool decoded = false;
    bool baseline = false; // SOF0 frame, not progressive
    int width = 0;
    int height = 0;
    int lumaDcStep = 0;    // first entry of the luminance quantisation table
};
// Reads a JPEG with libjpeg itself.
JpegFacts InspectJpeg(const QByteArray& bytes);

// The quantised DCT coefficients of a JPEG picture as libjpeg reads them; no components when the
// picture cannot be read.
struct JpegBlocks {
    struct Component {
        int h = 1, v = 1;         // sampling factors: blocks of the component in one MCU
        int columns = 0, rows = 0; // blocks across and down, padded to whole MCUs
        std::vector<short> coefficients; // 64 a block, row after row
    };
    int mcuWidth = 8, mcuHeight = 8;
    std::vector<Component> components;
    int warnings = 0; // damage libjpeg made up for while reading
};
JpegBlocks ReadJpegBlocks(const QByteArray& bytes);
// The same picture, block for block, with a restart marker after every `mcus` MCUs (0: after every
// MCU row); empty on failure.
QByteArray WithRestartMarkers(const QByteArray& jpeg, unsigned mcus = 0);
// The same picture, block for block, with Huffman tables made for its own blocks.
QByteArray WithOptimisedTables(const QByteArray& jpeg);

// libjpeg's first luminance table entry for a quality (the IJG scaling rule).
int ExpectedLumaDcStep(int quality);

// Whether libjpeg-turbo's cjpeg accepts the file as input; nullopt when cjpeg is not installed.
std::optional<bool> CjpegAccepts(const QString& file);

// A picture with gradients in every channel, so that compression has work to do.
QImage TestPattern(int width, int height);

QStringList FileNamesIn(const QString& dir);

} // namespace tarvo
