#pragma once
// The program's JPEG encoder on libjpeg-turbo: baseline JPEG at the quality of the active profile.
// Every JPEG file of the program goes through it. Safe to use from several threads at once.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <atomic>

namespace tarvo {

class JpegWriter {
public:
    static constexpr int DefaultQuality = 90;

    // 1..100; values outside are clamped. Set on every profile activation.
    void SetQuality(int quality);
    int Quality() const { return quality_.load(std::memory_order_relaxed); }

    // The image as a baseline JPEG file's bytes; empty on failure (error says why).
    QByteArray Compress(const QImage& image, QString* error = nullptr) const;

    // Compresses image and writes it to fileName through a temporary name in the same folder.
    // False on failure (encoder, missing folder, no permission, full disk); error says why.
    bool WriteFile(const QImage& image, const QString& fileName, QString* error = nullptr) const;

private:
    std::atomic<int> quality_{DefaultQuality};
};

} // namespace tarvo
