#pragma once
// The program folder: where Profiles/, Log/, Website/ and the bundled sounds and pictures live.
// Always ends with '/'; passed as a QString to whatever reads or writes there.
#include <QString>
#include <QStringList>

namespace tarvo {

// Decides the program folder at start-up: $TARVO_HOME when set, else the executable's folder, or,
// for an installed copy (a folder that is not writable or holds the marker file "installed"),
// $XDG_DATA_HOME/Tarvo/. Whenever it is not
// the executable's folder, the bundled assets are copied into it where missing. Each program decides
// it once and hands it to whatever needs it.
QString DecideProgramDir(const QString& executableDir);

// The folder with a trailing '/', added when missing.
QString WithTrailingSlash(QString dir);

// The files shipped beside the executable.
QStringList BundledAssetNames();

} // namespace tarvo
