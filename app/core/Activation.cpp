#include "app/core/Activation.h"

#include "common/EventLog.h"
#include "settings/ActiveSettings.h"
#include "settings/IntegerText.h"
#include "settings/PerUserStore.h"
#include "settings/Profiles.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarvo {

namespace {
const QString SetActiveSender = QStringLiteral("Options - SetActive");

// One level only: a folder whose parent is missing stays missing.
bool EnsureFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkdir(path);
}

int MinutesSecondsToMs(std::int32_t minutes, std::int32_t seconds)
{
    return std::max(0, SaturateToInt(std::int64_t{minutes} * 60000 + std::int64_t{seconds} * 1000));
}
} // namespace

void ActivationTargets::Activate(const OptionsValues& options, const ProfileBox& box) { SetActive(options, box, *this); }

void SetActive(const OptionsValues& options, const ProfileBox& box, ActivationTargets& targets)
{
    OptionsValues working = options;
    ActiveSettings& active = targets.Settings();
    active.Replace(working);
    active.extras = LoadExtras(targets.ProgramFolder(), box.text());

    for (ShortString* folder : {&working.PictureDir, &working.VideoDir, &working.LogfileDir, &working.LocalSiteDir}) {
        if (!EnsureFolder(folder->str()))
            *folder = QString();
    }

    targets.ApplyStartupShortcut(working.LoadAtStartup);
    targets.SetTimedTriggerInterval(MinutesSecondsToMs(working.TimedMin, working.TimedSec));
    targets.SetJpegQuality(working.PicQual);
    if (targets.CaptureDriverIndex() != working.DriverIndex)
        targets.SetCaptureDriverIndex(working.DriverIndex);
    if (!targets.DriverConnected()) {
        ProgramLog().WriteLog(QStringLiteral("Loading driver..."), false, SetActiveSender);
        if (targets.PreviewChecked())
            targets.RunPreviewCommand();
        targets.EnableDriverTimer();
    }
    const auto rate = static_cast<std::uint16_t>(working.FrameRate);
    targets.SetFrameRates(rate, rate);
    targets.SetMotionThreshold(std::int64_t{working.Sensitivity} * 90000 + 1000000);
    targets.SetFuseSeconds(SaturateToInt(std::int64_t{working.FuseMin} * 60 + working.FuseSec));
    targets.SetRearmInterval(MinutesSecondsToMs(working.RearmMin, working.RearmSec));
    targets.ShowInDialog(working);
    targets.ShowExtrasInDialog(active.extras);
    ProgramLog().WriteLog(QStringLiteral("Loaded profile: ") + box.text(), true, SetActiveSender);
    targets.ApplyStorageLimits(working, active.extras.Storage);
    targets.ApplyLiveView(working, active.extras.LiveView);
}

void ActivateStartupProfile(ProfileBox& box, ProfilePasswords& passwords, ActivationTargets& targets)
{
    const QString programDir = targets.ProgramFolder();
    QDir().mkdir(ProfileFolder(programDir));
    PerUserStore& store = targets.Store();
    QString name = store.ReadString(QStringLiteral("CurrentProfile"), CreateDefaultSentinel);
    if (!ProfileExists(programDir, name))
        name = CreateDefaultSentinel;

    if (name != CreateDefaultSentinel) {
        box.setText(name);
        OptionsValues options;
        try {
            options = LoadProfile(programDir, name, passwords);
        } catch (const SettingsFileError& e) {
            ProgramLog().WriteLog(QStringLiteral("Profile %1 could not be loaded: %2").arg(name, QString::fromLocal8Bit(e.what())),
                                  true, QStringLiteral("InitMainWindow"));
            options = DefaultOptions(programDir);
        }
        SetActive(options, box, targets);
        return;
    }

    box.setText(DefaultProfileName);
    store.WriteString(QStringLiteral("CurrentProfile"), DefaultProfileName);
    store.WriteInteger(QStringLiteral("LoadCount"), 0);
    const OptionsValues defaults = DefaultOptions(programDir);
    try {
        SaveProfile(programDir, defaults, DefaultProfileName, passwords);
        if (!DeleteExtras(programDir, DefaultProfileName))
            throw SettingsFileError(std::strerror(EACCES), ExtrasPath(programDir, DefaultProfileName));
    } catch (const SettingsFileError& e) {
        ProgramLog().WriteLog(QStringLiteral("Profile %1 could not be saved: %2").arg(DefaultProfileName, QString::fromLocal8Bit(e.what())),
                              true, QStringLiteral("InitMainWindow"));
    }
    SetActive(defaults, box, targets);
}

} // namespace tarvo
