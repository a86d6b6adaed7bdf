#include "settings/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <mutex>

namespace tarvo {

namespace {
std::mutex dirMutex;
QString programDir;

QString withSlash(QString dir)
{
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

QString perUserDataDir()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.local/share";
    return withSlash(base) + "Tarvo/";
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

QString ProgramDir()
{
    std::lock_guard lock(dirMutex);
    return programDir;
}

void SetProgramDir(const QString& dir)
{
    std::lock_guard lock(dirMutex);
    programDir = withSlash(dir);
}

void InitProgramDir(const QString& executableDir)
{
    const QString exeDir = withSlash(executableDir);
    QString dir = qEnvironmentVariable("TARVO_HOME");
    if (!dir.isEmpty()) {
        dir = withSlash(QDir(dir).absolutePath());
    } else if (QFileInfo(exeDir).isWritable()) {
        dir = exeDir;
    } else {
        dir = perUserDataDir();
    }
    if (dir != exeDir)
        copyAssets(exeDir, dir);
    SetProgramDir(dir);
}

} // namespace tarvo
