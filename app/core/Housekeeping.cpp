#include "app/core/Housekeeping.h"

#include "common/EventLog.h"
#include "settings/OptionsValues.h"
#include "settings/PerUserStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace tarvo {

namespace {
const QString entryName = "Tarvo.desktop";

// One argument of an Exec= line: quoted when it holds a character the desktop-entry format
// reserves. The string-value escaping of the whole line comes on top (entryValue).
QString execArgument(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString out = arg;
    out.replace('%', "%%");
    const bool needsQuotes = std::any_of(arg.begin(), arg.end(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return out;
    QString quoted;
    for (const QChar c : out) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return '"' + quoted + '"';
}

// Desktop-entry string values escape backslashes and line breaks.
QString entryValue(QString value)
{
    value.replace("\\", "\\\\");
    value.replace("\n", "\\n");
    return value;
}

void addMatching(LogFolderUsage& usage, const QString& folderAndPrefix, const QString& extension)
{
    const FolderAndPrefix split = SplitFolderString(folderAndPrefix);
    QDirIterator it(split.folder, {split.prefix + "*." + extension}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        usage.bytes += it.fileInfo().size();
        ++usage.files;
    }
}
} // namespace

FolderAndPrefix SplitFolderString(const QString& folderAndPrefix)
{
    const int cut = folderAndPrefix.lastIndexOf('/') + 1;
    return {cut > 0 ? folderAndPrefix.left(cut) : QStringLiteral("./"), folderAndPrefix.mid(cut)};
}

QString AutostartDir()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            return {};
        base = home + "/.config";
    }
    if (!base.endsWith('/'))
        base += '/';
    return base + "autostart/";
}

QString AutostartEntryPath()
{
    const QString dir = AutostartDir();
    return dir.isEmpty() ? QString() : dir + entryName;
}

bool CreateShortcut(const QString& target)
{
    const QString dir = AutostartDir();
    if (dir.isEmpty())
        return true;
    QString exec = execArgument(target) + " -m";
    // A program folder chosen by TARVO_HOME must be the one started at login, too.
    const QString home = qEnvironmentVariable("TARVO_HOME");
    if (!home.isEmpty())
        exec = "env " + execArgument("TARVO_HOME=" + home) + " " + exec;
    const QString entry = "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Tarvo\n"
                          "Comment=Webcam surveillance, started hidden in the notification area\n"
                          "Exec=" + entryValue(exec) + "\n"
                          "Path=" + entryValue(QDir::currentPath()) + "\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n";
    if (!QDir().mkpath(dir))
        return false;
    QSaveFile file(dir + entryName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry.toUtf8());
    return file.commit();
}

void StartMenu(bool enable, EventLog& log)
{
    if (enable) {
        if (!CreateShortcut(QCoreApplication::applicationFilePath()))
            log.WriteLog("Could not create the startup entry " + AutostartEntryPath(), true, "TForm1.CreateShortcut");
        return;
    }
    const QString path = AutostartEntryPath();
    if (path.isEmpty()) {
        log.WriteLog("Could not find path to startup folder. Please remove the Tarvo shortcut manually", true, "Tform1.StartMenu");
        return;
    }
    if (QFileInfo::exists(path) && !QFile::remove(path))
        log.WriteLog("Could not remove the startup entry " + path, true, "Tform1.StartMenu");
}

LogFolderUsage MeasureLogFolders(const QString& pictureDir, const QString& videoDir)
{
    LogFolderUsage usage;
    addMatching(usage, pictureDir, "bmp");
    addMatching(usage, pictureDir, "jpg");
    addMatching(usage, videoDir, "avi");
    return usage;
}

QString LogSizeWarning(const LogFolderUsage& usage, int limitMb)
{
    const qint64 totalMb = usage.bytes / 1024 / 1024;
    if (totalMb <= limitMb)
        return {};
    return QString("The size of the files in your log directories is exceding %1 MB. There are %2 MB in %3 files.")
        .arg(limitMb)
        .arg(totalMb)
        .arg(usage.files);
}

void StoreViewerFolders(PerUserStore& store, const OptionsValues& options)
{
    store.WriteString("LogfileDir", options.LogfileDir.str());
    store.WriteString("VideoDir", options.VideoDir.str());
    store.WriteString("PictureDir", options.PictureDir.str());
}

} // namespace tarvo
