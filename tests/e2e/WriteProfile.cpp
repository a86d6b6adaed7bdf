// Writes one profile file for the end-to-end runs: the defaults with the given fields changed.
//   write_profile <program folder> <file.pfl> Field=value ...
// The program folder is the one the defaults' folder fields point into.
#include "settings/OptionsValues.h"
#include "settings/ProgramDir.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <map>
#include <variant>

namespace {
using Field = std::variant<ShortString OptionsValues::*, Flag OptionsValues::*, std::int32_t OptionsValues::*,
                           std::uint32_t OptionsValues::*>;

#define TARVO_FIELD(name) {#name, &OptionsValues::name}
const std::map<QString, Field> fields = {
    TARVO_FIELD(PictureDir), TARVO_FIELD(VideoDir), TARVO_FIELD(LogfileDir), TARVO_FIELD(CreateLogfile),
    TARVO_FIELD(ClickSound), TARVO_FIELD(AutoCapAtStart), TARVO_FIELD(AutoUpdCheck), TARVO_FIELD(Trigger),
    TARVO_FIELD(TimedMin), TARVO_FIELD(TimedSec), TARVO_FIELD(CapPic), TARVO_FIELD(UpPic),
    TARVO_FIELD(PlaySound), TARVO_FIELD(ShowPopup), TARVO_FIELD(PicQual), TARVO_FIELD(DriverIndex),
    TARVO_FIELD(FrameRate), TARVO_FIELD(CapAudio), TARVO_FIELD(SaveAsBitmap), TARVO_FIELD(FTPAddress),
    TARVO_FIELD(UserName), TARVO_FIELD(UpDir), TARVO_FIELD(Password), TARVO_FIELD(LocalSiteDir),
    TARVO_FIELD(OfflinePicName), TARVO_FIELD(SocksHost), TARVO_FIELD(SocksUser), TARVO_FIELD(SocksPass),
    TARVO_FIELD(SocksType), TARVO_FIELD(SavePassword), TARVO_FIELD(WebsiteFTP), TARVO_FIELD(WebsiteLocal),
    TARVO_FIELD(OfflinePic), TARVO_FIELD(UseSocks), TARVO_FIELD(PassiveMode), TARVO_FIELD(Port),
    TARVO_FIELD(SocksPort), TARVO_FIELD(FileNumber), TARVO_FIELD(CaptionLocal), TARVO_FIELD(CaptionWebsite),
    TARVO_FIELD(TransparentBack), TARVO_FIELD(CaptionText), TARVO_FIELD(FontSize), TARVO_FIELD(FontColor),
    TARVO_FIELD(BackColor), TARVO_FIELD(Sensitivity), TARVO_FIELD(FuseEnabled), TARVO_FIELD(FuseMin),
    TARVO_FIELD(FuseSec), TARVO_FIELD(RearmEnabled), TARVO_FIELD(RearmMin), TARVO_FIELD(RearmSec),
    TARVO_FIELD(LPicPrefix), TARVO_FIELD(LPicFixed), TARVO_FIELD(WPicPrefix), TARVO_FIELD(WPicFixed),
    TARVO_FIELD(VidPrefix), TARVO_FIELD(LPicNaming), TARVO_FIELD(WPicNaming), TARVO_FIELD(VidNaming),
    TARVO_FIELD(TmpUpload),
};
#undef TARVO_FIELD

bool Assign(OptionsValues& o, const Field& field, const QString& text)
{
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
    }, field);
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <program folder> <file.pfl> Field=value ...\n", argv[0]);
        return 2;
    }
    QString dir = QString::fromLocal8Bit(argv[1]);
    if (!dir.endsWith('/'))
        dir += '/';
    SetProgramDir(dir);
    OptionsValues options;
    SetDefaults(options);
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const int eq = arg.indexOf('=');
        const auto field = fields.find(arg.left(eq));
        if (eq < 0 || field == fields.end() || !Assign(options, field->second, arg.mid(eq + 1))) {
            std::fprintf(stderr, "bad field assignment: %s\n", argv[i]);
            return 2;
        }
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    const QByteArray image(reinterpret_cast<const char*>(&options), sizeof options);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(image) != image.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
