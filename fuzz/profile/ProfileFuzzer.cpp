// Any file content as a profile: Load must give either the file's record or, for a short file, the
// defaults; activating it must stay clear of undefined behaviour whatever the numbers are; and a
// save followed by a load must give back every text as it was read.
#include "app/core/Activation.h"
#include "settings/OptionsValues.h"
#include "settings/PerUserStore.h"
#include "settings/ProfileBox.h"
#include "settings/Profiles.h"
#include "settings/SecretStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tarvo {

namespace {

class IgnoringTargets : public ActivationTargets {
public:
    ActiveSettings& Settings() override { return settings; }
    PerUserStore& Store() override;
    QString ProgramFolder() const override;
    void ApplyStartupShortcut(bool) override {}
    void SetTimedTriggerInterval(int) override {}
    void SetJpegQuality(int) override {}
    int CaptureDriverIndex() const override { return 0; }
    void SetCaptureDriverIndex(int) override {}
    bool DriverConnected() const override { return true; }
    bool PreviewChecked() const override { return true; }
    void RunPreviewCommand() override {}
    void EnableDriverTimer() override {}
    void SetFrameRates(std::uint16_t, std::uint16_t) override {}
    void SetMotionThreshold(std::int64_t) override {}
    void SetFuseSeconds(int) override {}
    void SetRearmInterval(int) override {}
    void ShowInDialog(const OptionsValues&) override {}

    ActiveSettings settings;
};

// No desktop secret store answers here; asking one would wait for an event loop.
ProfilePasswords& Passwords()
{
    static NoSecretStore noStore;
    static ProfilePasswords passwords(noStore);
    return passwords;
}

const QTemporaryDir& Folder()
{
    static QTemporaryDir dir(QDir::tempPath() + "/tarvo-fuzz-profile-XXXXXX");
    return dir;
}

// Activation itself never reads the store; the start-up choice, which does, is not fuzzed here.
PerUserStore& IgnoringTargets::Store()
{
    static PerUserStore store(Folder().path() + "/Tarvo.conf");
    return store;
}

QString IgnoringTargets::ProgramFolder() const { return Folder().path() + "/"; }

} // namespace

} // namespace tarvo

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString programDir = Folder().path() + "/";
    static const bool ready = QDir().mkpath(ProfileFolder(programDir));
    if (!ready)
        std::abort();
    {
        QFile file(ProfilePath(programDir, "F"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const OptionsValues loaded = LoadProfile(programDir, "F", Passwords());
    OptionsValues expected = size >= sizeof(OptionsValues) ? [&] {
        OptionsValues v;
        std::memcpy(&v, data, sizeof v);
        return v;
    }() : DefaultOptions(programDir);
    // A password kept outside the file comes from this run, not from the file's bytes.
    if (!expected.SavePassword)
        expected.Password = loaded.Password;
    if (std::memcmp(&loaded, &expected, sizeof loaded) != 0)
        std::abort();

    ProfileBox box;
    box.setText("F");
    IgnoringTargets targets;
    SetActive(loaded, box, targets);

    SaveProfile(programDir, loaded, "F", Passwords());
    const OptionsValues again = LoadProfile(programDir, "F", Passwords());
    const ShortString OptionsValues::* texts[] = {
        &OptionsValues::PictureDir, &OptionsValues::FTPAddress, &OptionsValues::UpDir,
        &OptionsValues::CaptionText, &OptionsValues::LPicPrefix, &OptionsValues::WPicFixed};
    for (auto text : texts)
        if ((loaded.*text).str() != (again.*text).str() || (loaded.*text).bytes() != (again.*text).bytes())
            std::abort();
    if (loaded.Sensitivity != again.Sensitivity || loaded.FrameRate != again.FrameRate)
        std::abort();
    return 0;
}
