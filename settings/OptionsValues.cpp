#include "settings/OptionsValues.h"

#include <cstring>

namespace tarvo {

void SetDefaults(OptionsValues& o, const QString& programDir)
{
    const QString& dir = programDir;
    o.PictureDir = dir + "Log/";
    o.VideoDir = dir + "Log/";
    o.LogfileDir = dir + "Log/";
    o.CreateLogfile = true;
    o.ClickSound = true;
    o.LoadAtStartup = false;
    o.AutoCapAtStart = false;
    o.AutoUpdCheck = true;
    o.WarnLimit = false;
    o.Limit = 30;
    o.Trigger = TriggerTimed;
    o.TimedMin = 5;
    o.TimedSec = 0;
    o.SoundFile = dir + "alarm.wav";
    o.CapPic = true;
    o.UpPic = false;
    o.PlaySound = false;
    o.ShowPopup = false;
    o.PicQual = 90;
    o.DriverIndex = 0;
    o.FrameRate = 15;
    o.CapAudChannels = 0;
    o.CapAudSampleRate = 0;
    o.CapAudResolution = 0;
    o.CapAudio = true;
    o.SaveAsBitmap = false;
    o.FTPAddress = "ftp.example.com";
    o.UserName = "myname";
    o.UpDir = "";
    o.Password = "";
    o.LocalSiteDir = dir + "Website/";
    o.OfflinePicName = dir + "offline.jpg";
    o.SocksHost = "";
    o.SocksUser = "";
    o.SocksPass = "";
    o.SocksType = SocksTypeNone;
    o.SavePassword = false;
    o.WebsiteFTP = true;
    o.WebsiteLocal = false;
    o.OfflinePic = false;
    o.UseSocks = false;
    o.PassiveMode = false;
    o.Port = 21;
    o.SocksPort = 0;
    o.FileNumber = 1;
    o.CaptionLocal = true;
    o.CaptionWebsite = true;
    o.FontBold = true;
    o.FontItalic = false;
    o.FontUnderline = false;
    o.FontStrikeOut = false;
    o.TransparentBack = true;
    o.CapTop = false;
    o.CapBottom = true;
    o.CapLeft = false;
    o.CapCenter = true;
    o.CapRight = false;
    o.FontName = "MS Sans Serif";
    o.CaptionText = "%t. %D, %m-%d-%y.";
    o.FontSize = 12;
    o.FontColor = 0x000000FF;
    o.BackColor = 0x00FFFFFF;
    o.Sensitivity = 51;
    o.FuseMin = 0;
    o.FuseSec = 5;
    o.RearmMin = 0;
    o.RearmSec = 5;
    o.MarkColor = 0x0000FF00;
    o.FuseEnabled = false;
    o.RearmEnabled = true;
    o.Mark = false;
    o.MDUserDefinedArea = false;
    o.MDbeginX = 50;
    o.MDbeginY = 50;
    o.MDendX = 100;
    o.MDendY = 100;
    o.LPicPrefix = "Tarvo picture ";
    o.LPicFixed = "Tarvo";
    o.WPicPrefix = "Tarvo";
    o.WPicFixed = "Tarvo";
    o.VidPrefix = "Tarvo video ";
    o.LPicNaming = NamingTimed;
    o.WPicNaming = NamingFixed;
    o.VidNaming = NamingTimed;
    o.TmpUpload = false;
}

OptionsValues DefaultOptions(const QString& programDir)
{
    OptionsValues o;
    std::memset(&o, 0, sizeof o);
    SetDefaults(o, programDir);
    return o;
}

} // namespace tarvo
