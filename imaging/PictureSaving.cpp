#include "imaging/PictureSaving.h"
#include "common/EventLog.h"
#include "imaging/BmpWriter.h"
#include "imaging/Caption.h"
#include "imaging/FileNaming.h"
#include "imaging/JpegWriter.h"
#include "common/SafeFileWrite.h"

#include <exception>

namespace tarvo {

namespace {
bool WritePicture(QImage& frame, const QString& fileName, const OptionsValues& options, const JpegWriter& jpeg)
{
    if (options.CaptionLocal)
        DrawCaption(frame, options);
    if (options.SaveAsBitmap) {
        const QByteArray bmp = EncodeBmp(frame);
        return !bmp.isEmpty() && WriteFileReplacing(fileName, bmp);
    }
    return jpeg.WriteFile(frame, fileName);
}
} // namespace

QString SavePic(QImage& frame, const OptionsValues& options, FileCounters& counters, const JpegWriter& jpeg)
{
    const bool bitmap = options.SaveAsBitmap;
    const QString fileName = options.PictureDir.str() + MakeFileName(FileKind::LocalPicture, options, counters)
                           + (bitmap ? QLatin1String(".bmp") : QLatin1String(".jpg"));
    // The new file replaces an older one of the same name by a rename once it is complete, so the
    // older file is not deleted beforehand: a failed save leaves it as it was.
    bool saved = false;
    try {
        saved = WritePicture(frame, fileName, options, jpeg);
    } catch (const std::exception&) {
        saved = false; // e.g. no memory for a huge frame: reported like any other failed save
    }
    if (!saved) {
        ProgramLog().WriteLog(QStringLiteral("Could not save file: ") + fileName, true,
                              options.CaptionLocal ? QStringLiteral("SavePic - Caption")
                                                   : QStringLiteral("SavePic - No caption"));
        return QString();
    }
    ProgramLog().WriteLog(QStringLiteral("Picture saved as: ") + fileName, true,
                          bitmap ? QStringLiteral("SavePic") : QStringLiteral("SavePic - jpg"));
    return fileName;
}

} // namespace tarvo
