#pragma once
// The FTP settings test: connect and log in, upload a small file, delete it again and disconnect,
// reporting each step and its outcome as lines for the test window.
#include "settings/FtpTestSettings.h"

#include <QString>
#include <functional>

namespace tarvo {

class FtpClient;

inline constexpr const char* FtpTestFileName = "test.txt";
inline constexpr const char* FtpTestFileText = "Tarvo FTP settings test file.\r\n";

// Runs the test on ftp with settings, writing the test file into localFolder (which ends with
// '/') for the duration of the upload. Each report line goes to addLine as soon as it is known.
// A port text that is not a whole number throws ConvertError before anything is sent; every
// failure of an FTP step is reported as a line instead.
void RunFtpTest(FtpClient& ftp, const FtpTestSettings& settings, const QString& localFolder,
                const std::function<void(const QString&)>& addLine);

} // namespace tarvo
