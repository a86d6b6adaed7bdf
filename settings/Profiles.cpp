#include "settings/Profiles.h"

#include "settings/ExtraOptions.h"

#include "common/EventLog.h"
#include "common/UniqueFd.h"
#include "settings/SecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvo {

namespace {
[[noreturn]] void ThrowSystemError(int error, const QString& path)
{
    throw SettingsFileError(std::strerror(error), path);
}

QByteArray LocalPath(const QString& path) { return QFile::encodeName(path); }

// Zeroes the bytes after a string's text, which may hold left-overs of an earlier, longer value.
void ClearUnusedBytes(ShortString& s) { std::memset(s.chars + s.len, 0, sizeof s.chars - s.len); }

// The record as it goes into a file: the same values, with no stale bytes anywhere.
OptionsValues FileImage(const OptionsValues& options)
{
    OptionsValues image = options;
    std::memset(image.pad774, 0, sizeof image.pad774);
    std::memset(image.pad5529, 0, sizeof image.pad5529);
    for (ShortString* s : {&image.PictureDir, &image.VideoDir, &image.LogfileDir, &image.SoundFile,
                           &image.FTPAddress, &image.UserName, &image.UpDir, &image.Password,
                           &image.LocalSiteDir, &image.OfflinePicName, &image.SocksHost,
                           &image.SocksUser, &image.SocksPass, &image.SocksType, &image.FontName,
                           &image.CaptionText, &image.LPicPrefix, &image.LPicFixed,
                           &image.WPicPrefix, &image.WPicFixed, &image.VidPrefix})
        ClearUnusedBytes(*s);
    if (!image.SavePassword)
        std::memset(&image.Password, 0, sizeof image.Password);
    return image;
}

// Repeats a read or a write until size bytes went through, the file ended or an error came;
// returns how many went through, or -1 with errno set.
template <class Byte, class Transfer> ssize_t TransferFully(int fd, Byte* buffer, std::size_t size, Transfer transfer)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Reads up to size bytes; returns how many were read, or -1 with errno set.
ssize_t ReadFully(int fd, char* buffer, std::size_t size) { return TransferFully(fd, buffer, size, ::read); }

// Writes all size bytes; false with errno set otherwise. A write that stops short without an error
// (a full device may do that) counts as EIO.
bool WriteFully(int fd, const char* buffer, std::size_t size)
{
    const ssize_t written = TransferFully(fd, buffer, size, ::write);
    if (written >= 0 && written != static_cast<ssize_t>(size))
        errno = EIO;
    return written == static_cast<ssize_t>(size);
}

} // namespace

bool ProfilePasswords::Keep(const OptionsValues& options, const QString& profilePath)
{
    const QString& key = profilePath;
    const QString password = options.Password.str();
    if (options.SavePassword || password.isEmpty()) {
        run_.remove(key);
        store_.Remove(key);
        return true;
    }
    run_.insert(key, password);
    return store_.Write(key, password) == SecretStore::Result::Done;
}

void ProfilePasswords::Restore(OptionsValues& options, const QString& profilePath)
{
    if (options.SavePassword)
        return;
    const QString& key = profilePath;
    QString secret;
    if (store_.Read(key, secret) == SecretStore::Result::Done)
        options.Password = secret;
    else if (run_.contains(key))
        options.Password = run_.value(key);
}

void ProfilePasswords::Forget(const QString& profilePath)
{
    run_.remove(profilePath);
    store_.Remove(profilePath);
}

QString ProfileFolder(const QString& programDir) { return programDir + QStringLiteral("Profiles/"); }

QString ProfilePath(const QString& programDir, const QString& name)
{
    return ProfileFolder(programDir) + name + QStringLiteral(".pfl");
}

bool ProfileExists(const QString& programDir, const QString& name)
{
    return QFileInfo::exists(ProfilePath(programDir, name));
}

OptionsValues LoadProfile(const QString& programDir, const QString& profileName, ProfilePasswords& passwords)
{
    const QString path = ProfilePath(programDir, profileName);
    if (!QFileInfo::exists(path)) {
        const OptionsValues defaults = DefaultOptions(programDir);
        SaveProfile(programDir, defaults, profileName, passwords);
        return defaults;
    }
    UniqueFd fd(::open(LocalPath(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        ThrowSystemError(errno, path);
    OptionsValues options;
    const ssize_t n = ReadFully(fd.Get(), reinterpret_cast<char*>(&options), sizeof options);
    if (n != static_cast<ssize_t>(sizeof options)) {
        ProgramLog().WriteLog(QStringLiteral("Profile %1 could not be loaded.").arg(profileName), true,
                              QStringLiteral("function Load(ProfileName : string) : OptionsValues;"));
        return DefaultOptions(programDir);
    }
    passwords.Restore(options, path);
    return options;
}

bool SaveProfile(const QString& programDir, const OptionsValues& options, const QString& profileName,
                 ProfilePasswords& passwords)
{
    const QString path = ProfilePath(programDir, profileName);
    if (profileName.contains('/') || profileName.contains(QChar(0)))
        ThrowSystemError(EINVAL, path);

    // The temporary name does not end in ".pfl", so a left-over never lists as a profile.
    QByteArray temp = LocalPath(ProfileFolder(programDir) + QStringLiteral(".saving-XXXXXX"));
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC)); // mode 0600
    if (!fd.Valid())
        ThrowSystemError(errno, path);

    const OptionsValues image = FileImage(options);
    int error = 0;
    if (!WriteFully(fd.Get(), reinterpret_cast<const char*>(&image), sizeof image) || ::fsync(fd.Get()) != 0)
        error = errno;
    if (!fd.Reset() && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), LocalPath(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        ThrowSystemError(error, path);
    }
    return passwords.Keep(options, path);
}

bool DeleteProfile(const QString& programDir, const QString& profileName, ProfilePasswords& passwords)
{
    const QString path = ProfilePath(programDir, profileName);
    if (QFile::exists(path) && !QFile::remove(path))
        return false;
    passwords.Forget(path);
    return DeleteExtras(programDir, profileName);
}

QStringList ProfileNames(const QString& programDir)
{
    const QDir folder(ProfileFolder(programDir));
    QStringList names;
    for (const QString& file :
         folder.entryList({QStringLiteral("*.pfl")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (file.endsWith(QStringLiteral(".pfl"))) // the filter ignores case; profile paths do not
            names << file.chopped(4);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

void ListProfiles(const QString& programDir, ProfileBox& box)
{
    const QString shown = box.text();
    const QStringList names = ProfileNames(programDir);
    box.setItems(names);
    box.setDeleteEnabled(names.size() != 1);
    box.setText(shown);
}

} // namespace tarvo
