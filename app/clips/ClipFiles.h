#pragma once
// Where a clip lies. It is written under a hidden temporary name in the video folder, which the
// storage keeper never takes for one of Tarvo's videos and which no recording is ever given, and
// moved to a name of the video naming scheme once finished, never over a file that is there.
//
// Every video file is created here, exclusively and never through a symbolic link: whatever lies
// in the video folder under a name (a clip, a recording, something planted) is left as it is, and
// the scheme's next free name is taken instead. So a clip and a recording of the same second both
// keep their files.
#include "common/UniqueFd.h"
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QString>

namespace tarvo {

class FileCounters;

struct ClipName {
    QString base;     // the naming scheme's name, without folder and extension
    QDateTime moment; // when the clip began: a timed name taken is followed by the next second's
};

// A new name of the video naming scheme (a time stamp when the scheme gives none). The functions
// here that take counters draw the incrementing scheme's numbers from them.
ClipName NewClipName(const OptionsValues& options, FileCounters& counters);

// folder + "." + base + ".avi.part"
QString ClipTempPath(const OptionsValues& options, const ClipName& name);

// Creates the temporary file of a new clip at ClipTempPath, or at the scheme's next free name's
// when that one is taken (name then follows), mode 0600 and locked for as long as it is open, so
// that RemoveStaleClipFiles leaves it alone. Invalid on failure, with error saying why.
UniqueFd CreateClipTemp(const OptionsValues& options, FileCounters& counters, ClipName& name, QString* path, QString* error);

// Creates the file of a manual recording: the video folder + MakeFileName + ".avi", or the
// scheme's next free name when that one is taken. *path is the file's path, or the first name
// tried when none could be created (error says why). The file is closed again: the capture
// component opens it by its name.
bool CreateRecordingFile(const OptionsValues& options, FileCounters& counters, QString* path, QString* error);

// Renames temp to the video folder + base + ".avi", or to the scheme's next free name when that
// one is taken by now. Returns the final path; empty on failure, with error saying why.
QString MoveToFinalName(const QString& temp, const OptionsValues& options, FileCounters& counters, ClipName name,
                        QString* error);

// Removes the temporary files of clips that were never finished (the program ended without
// finishing them): the regular files of the video folder named as ClipTempPath names them, whose
// name is one the naming scheme gives, and which no clip being written holds. Returns how many.
int RemoveStaleClipFiles(const OptionsValues& options);

} // namespace tarvo
