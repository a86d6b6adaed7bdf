#pragma once
// The program folder: where Profiles/, Log/, Website/ and the bundled sounds and pictures live.
// Always ends with '/'.
#include <QString>
#include <QStringList>

namespace tarvo {

QString ProgramDir();

// Decides the program folder at start-up: $TARVO_HOME when set, else the executable's folder, or,
// when that folder is not writable (an installed copy), $XDG_DATA_HOME/Tarvo/. Whenever it is not
// the executable's folder, the bundled assets are copied into it where missing.
void InitProgramDir(const QString& executableDir);

// Sets the folder directly (tests); a trailing '/' is added when missing.
void SetProgramDir(const QString& dir);

// The files shipped beside the executable.
QStringList BundledAssetNames();

} // namespace tarvo
