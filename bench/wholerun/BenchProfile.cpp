// Prepares a program folder and per-user store for an unattended run: the "Default" profile with
// the given fields changed from their defaults, made the current profile, plus any per-user values.
// Usage: bench_profile <program-dir> <store-file> [Field=value ...] [store:Name=value ...]
#include "settings/OptionsValues.h"
#include "settings/PerUserStore.h"
#include "settings/SecretStore.h"
#include "settings/ProgramDir.h"
#include "settings/Profiles.h"

#include <QDir>

#include <cstdio>
#include <map>
#include <variant>

namespace {

using FieldRef = std::variant<Flag OptionsValues::*, std::int32_t OptionsValues::*, ShortString OptionsValues::*>;

// The fields a run needs to choose; extend when a run needs another.
const std::map<QString, FieldRef>& Fields()
{
    static const std::map<QString, FieldRef> fields{
        {"PictureDir", &OptionsValues::PictureDir},       {"CreateLogfile", &OptionsValues::CreateLogfile},
        {"ClickSound", &OptionsValues::ClickSound},       {"AutoCapAtStart", &OptionsValues::AutoCapAtStart},
        {"AutoUpdCheck", &OptionsValues::AutoUpdCheck},   {"Trigger", &OptionsValues::Trigger},
        {"TimedMin", &OptionsValues::TimedMin},           {"TimedSec", &OptionsValues::TimedSec},
        {"CapPic", &OptionsValues::CapPic},               {"UpPic", &OptionsValues::UpPic},
        {"PlaySound", &OptionsValues::PlaySound},         {"ShowPopup", &OptionsValues::ShowPopup},
        {"PicQual", &OptionsValues::PicQual},             {"DriverIndex", &OptionsValues::DriverIndex},
        {"FrameRate", &OptionsValues::FrameRate},         {"SaveAsBitmap", &OptionsValues::SaveAsBitmap},
        {"FTPAddress", &OptionsValues::FTPAddress},       {"UserName", &OptionsValues::UserName},
        {"UpDir", &OptionsValues::UpDir},                 {"Password", &OptionsValues::Password},
        {"SavePassword", &OptionsValues::SavePassword},   {"WebsiteFTP", &OptionsValues::WebsiteFTP},
        {"WebsiteLocal", &OptionsValues::WebsiteLocal},   {"OfflinePic", &OptionsValues::OfflinePic},
        {"PassiveMode", &OptionsValues::PassiveMode},     {"Port", &OptionsValues::Port},
        {"Sensitivity", &OptionsValues::Sensitivity},     {"RearmEnabled", &OptionsValues::RearmEnabled},
        {"RearmMin", &OptionsValues::RearmMin},           {"RearmSec", &OptionsValues::RearmSec},
        {"LPicNaming", &OptionsValues::LPicNaming},       {"WPicNaming", &OptionsValues::WPicNaming},
        {"TmpUpload", &OptionsValues::TmpUpload},         {"CaptionLocal", &OptionsValues::CaptionLocal},
    };
    return fields;
}

bool SetField(OptionsValues& options, const QString& name, const QString& value)
{
    const auto it = Fields().find(name);
    if (it == Fields().end())
        return false;
    bool ok = true;
    std::visit([&](auto member) {
        using T = std::remove_reference_t<decltype(options.*member)>;
        if constexpr (std::is_same_v<T, ShortString>)
            options.*member = value;
        else if constexpr (std::is_same_v<T, Flag>)
            options.*member = value.toInt(&ok) != 0;
        else
            options.*member = value.toInt(&ok);
    }, it->second);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <program-dir> <store-file> [Field=value ...] [store:Name=value ...]\n", argv[0]);
        return 2;
    }
    SetProgramDir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(ProfileFolder());
    PerUserStore store(QString::fromLocal8Bit(argv[2]));
    SetProgramStore(&store);
    // The bench profiles hold no secret; asking the session's store would wait for ever where no
    // event loop runs.
    NoSecretStore noSecrets;
    SetProgramSecretStore(&noSecrets);

    OptionsValues options = DefaultOptions();
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const qsizetype eq = arg.indexOf('=');
        if (eq <= 0) {
            std::fprintf(stderr, "not Name=value: %s\n", argv[i]);
            return 2;
        }
        const QString name = arg.left(eq), value = arg.mid(eq + 1);
        if (name.startsWith("store:"))
            store.WriteString(name.mid(6), value);
        else if (!SetField(options, name, value)) {
            std::fprintf(stderr, "unknown field or bad number: %s\n", argv[i]);
            return 2;
        }
    }
    try {
        Save(options, DefaultProfileName);
    } catch (const EInOutError& e) {
        std::fprintf(stderr, "profile not saved: %s\n", e.what());
        return 1;
    }
    store.WriteString("CurrentProfile", DefaultProfileName);
    SetProgramStore(nullptr);
    return 0;
}
