#pragma once
// The settings record: every setting of a profile in one fixed-size block. Its memory image is the
// profile file format (5532 bytes, little-endian, no header), so the layout below is binding.
#include "settings/ShortString.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tarvo {

static_assert(std::endian::native == std::endian::little, "profile files are little-endian");

using Colour = std::uint32_t; // 0x00BBGGRR: red in the low byte

// Values of the enumerated fields.
enum TriggerKind : std::int32_t { TriggerTimed = 1, TriggerMotion = 2 };
enum NamingScheme : std::int32_t { NamingTimed = 1, NamingIncrementing = 2, NamingFixed = 3 };

struct OptionsValues {
    ShortString PictureDir;
    ShortString VideoDir;
    ShortString LogfileDir;
    Flag CreateLogfile;
    Flag ClickSound;
    Flag LoadAtStartup;
    Flag AutoCapAtStart;
    Flag AutoUpdCheck;
    Flag WarnLimit;
    std::uint8_t pad774[2];
    std::int32_t Limit;
    std::int32_t Trigger;
    std::int32_t TimedMin;
    std::int32_t TimedSec;
    ShortString SoundFile;
    Flag CapPic;
    Flag UpPic;
    Flag PlaySound;
    Flag ShowPopup;
    std::int32_t PicQual;
    std::int32_t DriverIndex;
    std::int32_t FrameRate;
    std::int32_t CapAudChannels;
    std::int32_t CapAudSampleRate;
    std::int32_t CapAudResolution;
    Flag CapAudio;
    Flag SaveAsBitmap;
    ShortString FTPAddress;
    ShortString UserName;
    ShortString UpDir;
    ShortString Password;
    ShortString LocalSiteDir;
    ShortString OfflinePicName;
    ShortString SocksHost;
    ShortString SocksUser;
    ShortString SocksPass;
    ShortString SocksType;
    Flag SavePassword;
    Flag WebsiteFTP;
    Flag WebsiteLocal;
    Flag OfflinePic;
    Flag UseSocks;
    Flag PassiveMode;
    std::int32_t Port;
    std::int32_t SocksPort;
    std::int32_t FileNumber;
    Flag CaptionLocal;
    Flag CaptionWebsite;
    Flag FontBold;
    Flag FontItalic;
    Flag FontUnderline;
    Flag FontStrikeOut;
    Flag TransparentBack;
    Flag CapTop;
    Flag CapBottom;
    Flag CapLeft;
    Flag CapCenter;
    Flag CapRight;
    ShortString FontName;
    ShortString CaptionText;
    std::int32_t FontSize;
    Colour FontColor;
    Colour BackColor;
    std::int32_t Sensitivity;
    std::int32_t FuseMin;
    std::int32_t FuseSec;
    std::int32_t RearmMin;
    std::int32_t RearmSec;
    Colour MarkColor;
    Flag FuseEnabled;
    Flag RearmEnabled;
    Flag Mark;
    Flag MDUserDefinedArea;
    std::int32_t MDbeginX;
    std::int32_t MDbeginY;
    std::int32_t MDendX;
    std::int32_t MDendY;
    ShortString LPicPrefix;
    ShortString LPicFixed;
    ShortString WPicPrefix;
    ShortString WPicFixed;
    ShortString VidPrefix;
    std::int32_t LPicNaming;
    std::int32_t WPicNaming;
    std::int32_t VidNaming;
    Flag TmpUpload;
    std::uint8_t pad5529[3];
};

static_assert(sizeof(OptionsValues) == 5532);
static_assert(std::is_standard_layout_v<OptionsValues>);
static_assert(std::is_trivially_copyable_v<OptionsValues>);
static_assert(offsetof(OptionsValues, PictureDir) == 0);
static_assert(offsetof(OptionsValues, VideoDir) == 256);
static_assert(offsetof(OptionsValues, LogfileDir) == 512);
static_assert(offsetof(OptionsValues, CreateLogfile) == 768);
static_assert(offsetof(OptionsValues, ClickSound) == 769);
static_assert(offsetof(OptionsValues, LoadAtStartup) == 770);
static_assert(offsetof(OptionsValues, AutoCapAtStart) == 771);
static_assert(offsetof(OptionsValues, AutoUpdCheck) == 772);
static_assert(offsetof(OptionsValues, WarnLimit) == 773);
static_assert(offsetof(OptionsValues, Limit) == 776);
static_assert(offsetof(OptionsValues, Trigger) == 780);
static_assert(offsetof(OptionsValues, TimedMin) == 784);
static_assert(offsetof(OptionsValues, TimedSec) == 788);
static_assert(offsetof(OptionsValues, SoundFile) == 792);
static_assert(offsetof(OptionsValues, CapPic) == 1048);
static_assert(offsetof(OptionsValues, UpPic) == 1049);
static_assert(offsetof(OptionsValues, PlaySound) == 1050);
static_assert(offsetof(OptionsValues, ShowPopup) == 1051);
static_assert(offsetof(OptionsValues, PicQual) == 1052);
static_assert(offsetof(OptionsValues, DriverIndex) == 1056);
static_assert(offsetof(OptionsValues, FrameRate) == 1060);
static_assert(offsetof(OptionsValues, CapAudChannels) == 1064);
static_assert(offsetof(OptionsValues, CapAudSampleRate) == 1068);
static_assert(offsetof(OptionsValues, CapAudResolution) == 1072);
static_assert(offsetof(OptionsValues, CapAudio) == 1076);
static_assert(offsetof(OptionsValues, SaveAsBitmap) == 1077);
static_assert(offsetof(OptionsValues, FTPAddress) == 1078);
static_assert(offsetof(OptionsValues, UserName) == 1334);
static_assert(offsetof(OptionsValues, UpDir) == 1590);
static_assert(offsetof(OptionsValues, Password) == 1846);
static_assert(offsetof(OptionsValues, LocalSiteDir) == 2102);
static_assert(offsetof(OptionsValues, OfflinePicName) == 2358);
static_assert(offsetof(OptionsValues, SocksHost) == 2614);
static_assert(offsetof(OptionsValues, SocksUser) == 2870);
static_assert(offsetof(OptionsValues, SocksPass) == 3126);
static_assert(offsetof(OptionsValues, SocksType) == 3382);
static_assert(offsetof(OptionsValues, SavePassword) == 3638);
static_assert(offsetof(OptionsValues, WebsiteFTP) == 3639);
static_assert(offsetof(OptionsValues, WebsiteLocal) == 3640);
static_assert(offsetof(OptionsValues, OfflinePic) == 3641);
static_assert(offsetof(OptionsValues, UseSocks) == 3642);
static_assert(offsetof(OptionsValues, PassiveMode) == 3643);
static_assert(offsetof(OptionsValues, Port) == 3644);
static_assert(offsetof(OptionsValues, SocksPort) == 3648);
static_assert(offsetof(OptionsValues, FileNumber) == 3652);
static_assert(offsetof(OptionsValues, CaptionLocal) == 3656);
static_assert(offsetof(OptionsValues, CaptionWebsite) == 3657);
static_assert(offsetof(OptionsValues, FontBold) == 3658);
static_assert(offsetof(OptionsValues, FontItalic) == 3659);
static_assert(offsetof(OptionsValues, FontUnderline) == 3660);
static_assert(offsetof(OptionsValues, FontStrikeOut) == 3661);
static_assert(offsetof(OptionsValues, TransparentBack) == 3662);
static_assert(offsetof(OptionsValues, CapTop) == 3663);
static_assert(offsetof(OptionsValues, CapBottom) == 3664);
static_assert(offsetof(OptionsValues, CapLeft) == 3665);
static_assert(offsetof(OptionsValues, CapCenter) == 3666);
static_assert(offsetof(OptionsValues, CapRight) == 3667);
static_assert(offsetof(OptionsValues, FontName) == 3668);
static_assert(offsetof(OptionsValues, CaptionText) == 3924);
static_assert(offsetof(OptionsValues, FontSize) == 4180);
static_assert(offsetof(OptionsValues, FontColor) == 4184);
static_assert(offsetof(OptionsValues, BackColor) == 4188);
static_assert(offsetof(OptionsValues, Sensitivity) == 4192);
static_assert(offsetof(OptionsValues, FuseMin) == 4196);
static_assert(offsetof(OptionsValues, FuseSec) == 4200);
static_assert(offsetof(OptionsValues, RearmMin) == 4204);
static_assert(offsetof(OptionsValues, RearmSec) == 4208);
static_assert(offsetof(OptionsValues, MarkColor) == 4212);
static_assert(offsetof(OptionsValues, FuseEnabled) == 4216);
static_assert(offsetof(OptionsValues, RearmEnabled) == 4217);
static_assert(offsetof(OptionsValues, Mark) == 4218);
static_assert(offsetof(OptionsValues, MDUserDefinedArea) == 4219);
static_assert(offsetof(OptionsValues, MDbeginX) == 4220);
static_assert(offsetof(OptionsValues, MDbeginY) == 4224);
static_assert(offsetof(OptionsValues, MDendX) == 4228);
static_assert(offsetof(OptionsValues, MDendY) == 4232);
static_assert(offsetof(OptionsValues, LPicPrefix) == 4236);
static_assert(offsetof(OptionsValues, LPicFixed) == 4492);
static_assert(offsetof(OptionsValues, WPicPrefix) == 4748);
static_assert(offsetof(OptionsValues, WPicFixed) == 5004);
static_assert(offsetof(OptionsValues, VidPrefix) == 5260);
static_assert(offsetof(OptionsValues, LPicNaming) == 5516);
static_assert(offsetof(OptionsValues, WPicNaming) == 5520);
static_assert(offsetof(OptionsValues, VidNaming) == 5524);
static_assert(offsetof(OptionsValues, TmpUpload) == 5528);

inline constexpr std::size_t OptionsRecordSize = sizeof(OptionsValues);

// Display texts of the SOCKS versions, as stored in SocksType.
inline constexpr const char* SocksTypeNone = "No SOCKS";
inline constexpr const char* SocksType4 = "SOCKS 4";
inline constexpr const char* SocksType4A = "SOCKS 4A";
inline constexpr const char* SocksType5 = "SOCKS 5";

// Fills every field with its factory default. Padding and the bytes after string texts stay as
// they are. The default folders and sound lie in programDir (ending in '/').
void SetDefaults(OptionsValues& options, const QString& programDir);

// A record with zeroed padding and defaults, for callers that start from nothing.
OptionsValues DefaultOptions(const QString& programDir);

} // namespace tarvo
