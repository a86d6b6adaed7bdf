#include "settings/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarvo {

namespace {
// Put beside an installed executable by the install rules.
constexpr const char* installedMarker = "installed";

QString perUserDataDir()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.local/share";
    return WithTrailingSlash(base) + "Tarvo/";
}

void copyAssets(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : BundledAssetNames()) {
        const QString target = to + name;
        if (!QFileInfo::exists(target) && QFileInfo::exists(from + name))
            QFile::copy(from + name, target);
    }
}
} // namespace

QStringList BundledAssetNames()
{
    return {"alarm.wav", "click.wav", "offline.jpg", "example.bmp"};
}

QString WithTrailingSlash(QString dir)
{
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

QString DecideProgramDir(const QString& executableDir)
{
    const QString exeDir = WithTrailingSlash(executableDir);
    QString dir = qEnvironmentVariable("TARVO_HOME");
    if (!dir.isEmpty()) {
        dir = WithTrailingSlash(QDir(dir).absolutePath());
    } else if (QFileInfo(exeDir).isWritable() && !QFileInfo::exists(exeDir + installedMarker)) {
        // root may write anywhere, so writability alone would let an installed copy run by root
        // fill the system's program folder.
        dir = exeDir;
    } else {
        dir = perUserDataDir();
    }
    if (dir != exeDir)
        copyAssets(exeDir, dir);
    return dir;
}

} // namespace tarvo
