#include "settings/ExtraOptions.h"

#include "common/EventLog.h"
#include "settings/Profiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvo {

namespace {
// Reads one group's keys; a key that is missing or not of its type keeps the default.
class GroupReader {
public:
    explicit GroupReader(const QSettings& ini) : ini_(ini) {}
    void operator()(const char* key, int& value, int min, int max)
    {
        bool ok = false;
        const qlonglong read = ini_.value(key).toLongLong(&ok);
        if (ok)
            value = static_cast<int>(std::clamp<qlonglong>(read, min, max));
    }
    void operator()(const char* key, bool& value)
    {
        const QString text = ini_.value(key).toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            value = true;
        else if (text == QLatin1String("false") || text == QLatin1String("0"))
            value = false;
    }
    void operator()(const char* key, QString& value)
    {
        const QVariant read = ini_.value(key);
        if (read.isValid())
            value = read.toString();
    }

private:
    const QSettings& ini_;
};

class GroupWriter {
public:
    explicit GroupWriter(QSettings& ini) : ini_(ini) {}
    void operator()(const char* key, int value, int, int) { ini_.setValue(key, value); }
    void operator()(const char* key, bool value) { ini_.setValue(key, value ? "true" : "false"); }
    void operator()(const char* key, const QString& value) { ini_.setValue(key, value); }

private:
    QSettings& ini_;
};

[[noreturn]] void ThrowSystemError(int error, const QString& path)
{
    throw SettingsFileError(std::strerror(error), path);
}
} // namespace

QString ExtrasPath(const QString& programDir, const QString& profileName)
{
    return ProfileFolder(programDir) + profileName + QStringLiteral(".ini");
}

ExtraOptions LoadExtras(const QString& programDir, const QString& profileName)
{
    ExtraOptions extras;
    const QString path = ExtrasPath(programDir, profileName);
    if (!QFileInfo::exists(path))
        return extras;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        ProgramLog().WriteLog(QStringLiteral("Settings file %1 could not be read: the extra settings are the defaults.").arg(path),
                              true, QStringLiteral("LoadExtras"));
        return extras;
    }
    extras.VisitGroups([&ini](const char* group, auto& values) {
        ini.beginGroup(group);
        values.Visit(GroupReader(ini));
        ini.endGroup();
    });
    return extras;
}

void SaveExtras(const QString& programDir, const ExtraOptions& extras, const QString& profileName)
{
    const QString path = ExtrasPath(programDir, profileName);
    if (profileName.contains('/') || profileName.contains(QChar(0)))
        ThrowSystemError(EINVAL, path);

    // The temporary name is made with mode 0600 before anything is written into it, so a password
    // hash never lies readable by others, not even for a moment.
    QByteArray temp = QFile::encodeName(ProfileFolder(programDir) + QStringLiteral(".saving-XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        ThrowSystemError(errno, path);
    ::close(fd);
    const QString tempName = QFile::decodeName(temp);
    QSettings::Status status;
    {
        QSettings ini(tempName, QSettings::IniFormat);
        ExtraOptions copy = extras;
        copy.VisitGroups([&ini](const char* group, auto& values) {
            ini.beginGroup(group);
            values.Visit(GroupWriter(ini));
            ini.endGroup();
        });
        ini.sync();
        status = ini.status();
    }
    int error = status == QSettings::NoError ? 0 : EIO;
    if (error == 0 && ::chmod(temp.constData(), S_IRUSR | S_IWUSR) != 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        ThrowSystemError(error, path);
    }
}

bool DeleteExtras(const QString& programDir, const QString& profileName)
{
    const QString path = ExtrasPath(programDir, profileName);
    return !QFileInfo::exists(path) || QFile::remove(path);
}

} // namespace tarvo
