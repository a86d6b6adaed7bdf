// Writes a profile for unattended runs (the end-to-end tests, the whole-run measurement, the soak
// run): the defaults with the given fields changed, saved by the program's own profile code.
//   write_profile <program-dir> [--profile <name>] [--store <store-file>] [Field=value ...]
//                 [store:Name=value ...] [ini:Group/Key=value ...]
// Field is any field of the settings record by its name: a flag takes a number (0 is off), a
// number is read as in C (0x... for hex), a text is taken as it is. With --store the profile
// becomes the current one in that per-user store, and store:Name=value goes there too. ini:
// values go to the settings kept beside the record. The profile is "Default" unless named.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"
#include "settings/PerUserStore.h"
#include "settings/ProgramDir.h"
#include "settings/Profiles.h"
#include "settings/SecretStore.h"

#include <QDir>
#include <QSettings>

#include <cstdio>
#include <map>
#include <memory>
#include <variant>

namespace tarvo {

namespace {
using Field = std::variant<ShortString OptionsValues::*, Flag OptionsValues::*, std::int32_t OptionsValues::*,
                           std::uint32_t OptionsValues::*>;

// Every field of the record, in its order.
#define TARVO_RECORD_FIELDS(X)                                                                                        \
    X(PictureDir) X(VideoDir) X(LogfileDir) X(CreateLogfile) X(ClickSound) X(LoadAtStartup) X(AutoCapAtStart)         \
    X(AutoUpdCheck) X(WarnLimit) X(Limit) X(Trigger) X(TimedMin) X(TimedSec) X(SoundFile) X(CapPic) X(UpPic)          \
    X(PlaySound) X(ShowPopup) X(PicQual) X(DriverIndex) X(FrameRate) X(CapAudChannels) X(CapAudSampleRate)            \
    X(CapAudResolution) X(CapAudio) X(SaveAsBitmap) X(FTPAddress) X(UserName) X(UpDir) X(Password) X(LocalSiteDir)    \
    X(OfflinePicName) X(SocksHost) X(SocksUser) X(SocksPass) X(SocksType) X(SavePassword) X(WebsiteFTP)               \
    X(WebsiteLocal) X(OfflinePic) X(UseSocks) X(PassiveMode) X(Port) X(SocksPort) X(FileNumber) X(CaptionLocal)       \
    X(CaptionWebsite) X(FontBold) X(FontItalic) X(FontUnderline) X(FontStrikeOut) X(TransparentBack) X(CapTop)        \
    X(CapBottom) X(CapLeft) X(CapCenter) X(CapRight) X(FontName) X(CaptionText) X(FontSize) X(FontColor)              \
    X(BackColor) X(Sensitivity) X(FuseMin) X(FuseSec) X(RearmMin) X(RearmSec) X(MarkColor) X(FuseEnabled)             \
    X(RearmEnabled) X(Mark) X(MDUserDefinedArea) X(MDbeginX) X(MDbeginY) X(MDendX) X(MDendY) X(LPicPrefix)           \
    X(LPicFixed) X(WPicPrefix) X(WPicFixed) X(VidPrefix) X(LPicNaming) X(WPicNaming) X(VidNaming) X(TmpUpload)

// A field missing from the list leaves bytes of the record uncounted.
#define TARVO_FIELD_SIZE(name) +sizeof(OptionsValues::name)
static_assert(0 TARVO_RECORD_FIELDS(TARVO_FIELD_SIZE) + sizeof(OptionsValues::pad774) +
                  sizeof(OptionsValues::pad5529) == sizeof(OptionsValues),
              "every field of the record can be set");
#undef TARVO_FIELD_SIZE

#define TARVO_FIELD_ENTRY(name) {QStringLiteral(#name), &OptionsValues::name},
const std::map<QString, Field> Fields{TARVO_RECORD_FIELDS(TARVO_FIELD_ENTRY)};
#undef TARVO_FIELD_ENTRY

bool SetField(OptionsValues& o, const QString& name, const QString& text)
{
    const auto field = Fields.find(name);
    if (field == Fields.end())
        return false;
    bool ok = true;
    std::visit([&](auto member) {
        using T = std::remove_reference_t<decltype(o.*member)>;
        if constexpr (std::is_same_v<T, ShortString>)
            o.*member = text;
        else if constexpr (std::is_same_v<T, Flag>)
            o.*member = text.toInt(&ok) != 0;
        else if constexpr (std::is_same_v<T, std::int32_t>)
            o.*member = text.toInt(&ok, 0);
        else
            o.*member = text.toUInt(&ok, 0);
    }, field->second);
    return ok;
}

int Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s <program-dir> [--profile <name>] [--store <store-file>] [Field=value ...] "
                 "[store:Name=value ...] [ini:Group/Key=value ...]\n",
                 program);
    return 2;
}
} // namespace

} // namespace tarvo

using namespace tarvo;

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage(argv[0]);
    const QString programDir = WithTrailingSlash(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(ProfileFolder(programDir));
    // An unattended run keeps no password outside the file, and this tool runs no event loop for
    // the desktop's secret store to answer in.
    NoSecretStore noSecrets;
    ProfilePasswords passwords(noSecrets);

    QString profile = DefaultProfileName;
    std::unique_ptr<PerUserStore> store;
    OptionsValues options = DefaultOptions(programDir);
    QStringList storeValues, iniValues;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if ((arg == "--profile" || arg == "--store") && i + 1 < argc) {
            const QString value = QString::fromLocal8Bit(argv[++i]);
            if (arg == "--profile")
                profile = value;
            else
                store = std::make_unique<PerUserStore>(value);
            continue;
        }
        const qsizetype eq = arg.indexOf('=');
        if (eq <= 0)
            return Usage(argv[0]);
        if (arg.startsWith("store:"))
            storeValues << arg.mid(6);
        else if (arg.startsWith("ini:"))
            iniValues << arg.mid(4);
        else if (!SetField(options, arg.left(eq), arg.mid(eq + 1))) {
            std::fprintf(stderr, "unknown field or bad number: %s\n", argv[i]);
            return 2;
        }
    }
    if (!storeValues.isEmpty() && !store) {
        std::fprintf(stderr, "store: values need --store\n");
        return 2;
    }
    try {
        SaveProfile(programDir, options, profile, passwords);
    } catch (const SettingsFileError& e) {
        std::fprintf(stderr, "profile not saved: %s\n", e.what());
        return 1;
    }
    if (!iniValues.isEmpty()) {
        QSettings ini(ExtrasPath(programDir, profile), QSettings::IniFormat);
        for (const QString& value : iniValues)
            ini.setValue(value.section('=', 0, 0), value.section('=', 1));
    }
    if (store) {
        for (const QString& value : storeValues)
            store->WriteString(value.section('=', 0, 0), value.section('=', 1));
        store->WriteString("CurrentProfile", profile);
    }
    return 0;
}
