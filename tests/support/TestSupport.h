#pragma once
// Shared helpers for the test programs: a scratch program folder, a recording event log,
// free ports, and waiting for a condition with a generous deadline instead of sleeping.
#include "common/EventLog.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace tarvo {

class PerUserStore;
class ProfilePasswords;
class SecretStore;

// Records every WriteLog call; safe to call from any thread.
class RecordingEventLog final : public EventLog {
public:
    struct Line {
        QString msg;
        bool toFile;
        QString sender;
        std::chrono::steady_clock::time_point at; // when it was logged
    };
    void WriteLog(const QString& msg, bool toFile, const QString& sender) override;
    std::vector<Line> lines() const;
    QStringList messages() const;
    bool contains(const QString& msg) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
};

// A scratch program folder and per-user store for one test: the folder (dir()) and the store are
// handed to whatever the test builds that reads them. Its profile passwords use no secret store (a test never
// touches the user's keyring; the secret store tests bring their own).
class ScratchProgram {
public:
    ScratchProgram();
    ~ScratchProgram();
    QString dir() const; // with trailing '/'
    PerUserStore& store();
    // The profiles' passwords, with no secret store: a password kept out of a file lasts for the run.
    ProfilePasswords& passwords() { return *passwords_; }

private:
    QTemporaryDir tmp_;
    std::unique_ptr<PerUserStore> store_;
    std::unique_ptr<SecretStore> noSecrets_;
    std::unique_ptr<ProfilePasswords> passwords_;
};

// Pumps the Qt event loop until cond() is true or timeoutMs passes; returns cond().
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 10000);

// The TCP port on which the process listens (a peer started on port 0); 0 while it listens on none.
int ListeningTcpPort(qint64 pid);

// A TCP port on 127.0.0.1 that refuses connections for the rest of the test program: it stays
// bound without listening, so no other program can take it in the meantime.
int ClosedTcpPort();
// A TCP port on 127.0.0.1 whose connections are taken and then never answered nor accepted.
int SilentTcpPort();

// A time limit that a working program meets on an idle machine, scaled by TARVO_TEST_TIME_FACTOR
// (the sanitizer builds' test registration raises it: their programs run several times slower).
// Only for limits that bound success; a limit the test waits out to see a failure stays as it is.
std::chrono::milliseconds TestTime(std::chrono::milliseconds limit);

// Folder of the build (program folder with the bundled assets) and of the sources.
QString BuildDir();
QString SourceDir();

// Whole file as bytes; empty when missing.
QByteArray ReadFileBytes(const QString& path);
void WriteFileBytes(const QString& path, const QByteArray& bytes);

} // namespace tarvo
