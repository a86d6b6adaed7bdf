#pragma once
// Tarvo's own pictures and videos: the files whose names the naming schemes give (pictures ending in
// ".jpg" or ".bmp" in the picture folder, videos ending in ".avi" in the video folder), told apart
// from every other file there and from the website folder's current picture and its history.
#include "imaging/FileNaming.h"
#include "settings/OptionsValues.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tarvo {

class OwnFiles {
public:
    // The settings' folders as the file system names them now; the settings are copied.
    explicit OwnFiles(const OptionsValues& options);

    // The canonical folders to read, each once.
    QStringList Dirs() const;
    // Whether the file of that name in that canonical folder is one of Tarvo's own.
    bool IsOwn(const QString& dir, const QString& fileName) const;
    // The path of an existing own file of that name (no folder part) in the picture or video folder;
    // empty for any other name, a symbolic link or a file that is not there.
    QString Find(const QString& fileName) const;

    static bool IsVideo(const QString& fileName) { return fileName.endsWith(QStringLiteral(".avi")); }

private:
    struct Place {
        QString dir;
        QString prefix;
        FileKind kind;
        QStringList extensions;
    };
    void AddPlace(const QString& setting, FileKind kind, QStringList extensions);

    OptionsValues options_;
    std::vector<Place> places_;
    QString siteDir_;
    QString sitePrefix_;
};

// The folder of a folder string as the file system names it; empty when there is none.
QString CanonicalDir(const QString& folder);

} // namespace tarvo
