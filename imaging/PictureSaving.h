#pragma once
// Saving a local picture into the picture folder.
#include "settings/OptionsValues.h"

#include <QImage>

namespace tarvo {

class FileCounters;
class JpegWriter;

// Saves frame as PictureDir + MakeFileName(LocalPicture, counters) + ".jpg" (or ".bmp" with SaveAsBitmap),
// with the caption drawn into frame first when CaptionLocal is on: frame keeps the caption, so
// later saves of the same capture carry it too; a JPEG is made by jpeg. Reports "Picture saved as: "
// or "Could not save file: " through ProgramLog(). Returns the saved file's name, empty when
// nothing was saved.
QString SavePic(QImage& frame, const OptionsValues& options, FileCounters& counters, const JpegWriter& jpeg);

} // namespace tarvo
