#pragma once
// A scratch program folder with its profile folder made, and the program's log recorded: the
// ground every settings test stands on; and the records and files those tests make.
#include "settings/Profiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarvo {

class ProfileFolderFixture : public ::testing::Test {
protected:
    // own: the profile passwords to use instead of the scratch program's.
    explicit ProfileFolderFixture(ProfilePasswords* own = nullptr) : passwords(own ? *own : program.passwords())
    {
        QDir().mkpath(ProfileFolder(programDir));
        SetProgramLog(&log);
    }
    ~ProfileFolderFixture() override { SetProgramLog(nullptr); }

    ScratchProgram program;
    const QString programDir = program.dir();
    ProfilePasswords& passwords;
    RecordingEventLog log;
};

// The default record (of the program folder programDir) with only the limit changed, to tell
// records apart.
inline OptionsValues Record(const QString& programDir, std::int32_t limit)
{
    OptionsValues o = DefaultOptions(programDir);
    o.Limit = limit;
    return o;
}

// A log line as "text | file or screen | sender".
inline QString Written(const RecordingEventLog::Line& line)
{
    return line.msg + (line.toFile ? " | file | " : " | screen | ") + line.sender;
}

// Whether two records hold the same bytes.
inline bool SameValues(const OptionsValues& a, const OptionsValues& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Binds a Unix socket at path and leaves it there.
inline void MakeSocketAt(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray local = QFile::encodeName(path);
    ASSERT_LT(static_cast<std::size_t>(local.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, local.constData(), static_cast<std::size_t>(local.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

} // namespace tarvo
