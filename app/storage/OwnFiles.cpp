#include "app/storage/OwnFiles.h"

#include "app/core/Housekeeping.h"

#include <QFileInfo>
#include <algorithm>

namespace tarvo {

namespace {
// The base name of fileName when it is prefix + base + extension, else an empty string.
QString BaseName(const QString& fileName, const QString& prefix, const QString& extension)
{
    if (fileName.size() < prefix.size() + extension.size() || !fileName.startsWith(prefix) || !fileName.endsWith(extension))
        return {};
    return fileName.mid(prefix.size(), fileName.size() - prefix.size() - extension.size());
}
} // namespace

QString CanonicalDir(const QString& folder) { return QFileInfo(folder).canonicalFilePath(); }

OwnFiles::OwnFiles(const OptionsValues& options) : options_(options)
{
    AddPlace(options.PictureDir.str(), FileKind::LocalPicture, {QStringLiteral(".jpg"), QStringLiteral(".bmp")});
    AddPlace(options.VideoDir.str(), FileKind::VideoFile, {QStringLiteral(".avi")});
    const FolderAndPrefix site = SplitFolderString(options.LocalSiteDir.str());
    siteDir_ = CanonicalDir(site.folder);
    sitePrefix_ = site.prefix;
}

QStringList OwnFiles::Dirs() const
{
    QStringList dirs;
    for (const Place& place : places_)
        if (!dirs.contains(place.dir))
            dirs.append(place.dir);
    return dirs;
}

bool OwnFiles::IsOwn(const QString& dir, const QString& fileName) const
{
    const bool ours = std::any_of(places_.begin(), places_.end(), [&](const Place& place) {
        return place.dir == dir && std::any_of(place.extensions.begin(), place.extensions.end(), [&](const QString& extension) {
                   return IsMadeFileName(place.kind, BaseName(fileName, place.prefix, extension), options_);
               });
    });
    // The website folder may be the picture folder; its pictures are the website's, not the log's.
    return ours && (dir != siteDir_ || !IsWebsiteFileName(BaseName(fileName, sitePrefix_, QStringLiteral(".jpg")), options_));
}

QString OwnFiles::Find(const QString& fileName) const
{
    // A name is a name: nothing that could lead out of the folder, nothing hidden.
    if (fileName.isEmpty() || fileName.startsWith('.') || fileName.contains('/') || fileName.contains('\\') ||
        fileName.contains(QChar(0)))
        return {};
    for (const QString& dir : Dirs()) {
        if (!IsOwn(dir, fileName))
            continue;
        const QFileInfo info(dir + '/' + fileName);
        if (info.isFile() && !info.isSymLink())
            return info.filePath();
    }
    return {};
}

void OwnFiles::AddPlace(const QString& setting, FileKind kind, QStringList extensions)
{
    // No folder set: the files would land wherever Tarvo was started; those are left alone.
    if (setting.isEmpty())
        return;
    const FolderAndPrefix where = SplitFolderString(setting);
    const QString dir = CanonicalDir(where.folder);
    if (!dir.isEmpty())
        places_.push_back({dir, where.prefix, kind, std::move(extensions)});
}

} // namespace tarvo
