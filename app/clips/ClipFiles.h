#pragma once
// Where a clip lies. It is written under a hidden temporary name in the video folder, which the
// storage keeper never takes for one of Tarvo's videos and which no recording is ever given, and
// moved to a name of the video naming scheme once finished, never over a file that is there.
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QString>

namespace tarvo {

struct ClipName {
    QString base;     // the naming scheme's name, without folder and extension
    QDateTime moment; // when the clip began: a timed name taken is followed by the next second's
};

// A new name of the video naming scheme (a time stamp when the scheme gives none).
ClipName NewClipName(const OptionsValues& options);

// folder + "." + base + ".avi.part"
QString ClipTempPath(const OptionsValues& options, const ClipName& name);

// Renames temp to the video folder + base + ".avi", or to the scheme's next free name when that
// one is taken by now. Returns the final path; empty on failure, with error saying why.
QString MoveToFinalName(const QString& temp, const OptionsValues& options, ClipName name, QString* error);

} // namespace tarvo
