#pragma once
// Who may see the live view: HTTP Basic credentials checked against the stored password hash, a
// credential already verified remembered (so a stream's requests do not cost a key derivation
// each), and guessing throttled per address: one check at a time for each address (an IPv6
// address's /64 counts as one, since one machine commonly holds a whole /64), and after a failure
// the address waits longer and longer before its next check, however many connections it opens.
// Failed logins are logged at most once a minute per address.
// Thread-safe: every connection thread checks here.
#include "settings/PasswordHash.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace tarvo {

class LiveAuth {
public:
    // No hash: every request is let in. rememberedAddresses: how many addresses' failures are kept;
    // when more fail, the ones that failed longest ago are forgotten.
    LiveAuth(QString user, std::optional<PasswordHash> hash, int rememberedAddresses = 1024);
    // Logs the failures not logged yet.
    ~LiveAuth();
    LiveAuth(const LiveAuth&) = delete;
    LiveAuth& operator=(const LiveAuth&) = delete;

    bool Required() const { return hash_.has_value(); }
    // Whether user and password are right. A credential verified before is answered at once; any
    // other waits for its address's turn, and a wrong one is held back for the delay it earned.
    // False once Abort was called.
    bool Check(const QHostAddress& from, const QByteArray& user, const QByteArray& password);
    // Ends every wait at once (the server stops).
    void Abort();

    // The address as failures count and the log names it: IPv4 as it is (also when it arrives
    // mapped into IPv6), IPv6 as its /64.
    static QString AddressGroup(const QHostAddress& address);

    static constexpr std::chrono::milliseconds FirstDelay{250};
    static constexpr std::chrono::milliseconds MaxDelay{8000};

private:
    using Clock = std::chrono::steady_clock;
    struct Failures {
        int count = 0;
        Clock::time_point last;
        Clock::time_point notBefore; // the address's next check waits until then
        bool checking = false;
        int waiting = 0;
        int unlogged = 0;
        std::optional<Clock::time_point> logged;
    };
    QByteArray Fingerprint(const QByteArray& user, const QByteArray& password) const;
    bool Matches(const QByteArray& user, const QByteArray& password) const;
    // Makes room for one more address by forgetting the one that failed longest ago.
    void ForgetOldest();
    // The log lines of failures not logged yet whose address's last line is a minute old (all:
    // every one), counted as logged.
    QStringList DueLines(Clock::time_point now, bool all);

    const QByteArray user_;
    const std::optional<PasswordHash> hash_;
    const QByteArray cacheKey_; // random per server start: a fingerprint means nothing elsewhere
    const std::size_t rememberedAddresses_;
    std::mutex mutex_;
    std::condition_variable turn_;
    bool aborted_ = false;
    std::vector<QByteArray> verified_;
    std::map<QString, Failures> failures_;
};

} // namespace tarvo
