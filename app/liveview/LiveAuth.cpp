#include "app/liveview/LiveAuth.h"

#include "common/EventLog.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <algorithm>

namespace tarvo {

namespace {
// A few viewers with the one password; more fingerprints only grow the list a guesser fills.
constexpr std::size_t MaxVerified = 8;
// Failures older than this are forgotten.
constexpr std::chrono::minutes FailureMemory{10};
// A guesser's failures are logged in one line a minute, however fast they come.
constexpr std::chrono::minutes LogEvery{1};

void Log(const QString& line) { ProgramLog().WriteLog(line, true, QStringLiteral("LiveView")); }

QByteArray RandomKey()
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(key.begin(), key.end());
    return key;
}
} // namespace

LiveAuth::LiveAuth(QString user, std::optional<PasswordHash> hash, int rememberedAddresses)
    : user_(user.toUtf8()), hash_(std::move(hash)), cacheKey_(RandomKey()),
      rememberedAddresses_(std::size_t(std::max(1, rememberedAddresses)))
{
}

LiveAuth::~LiveAuth()
{
    QStringList lines;
    {
        std::lock_guard lock(mutex_);
        lines = DueLines(Clock::now(), true);
    }
    for (const QString& line : lines)
        Log(line);
}

QString LiveAuth::AddressGroup(const QHostAddress& address)
{
    bool ipv4 = false;
    const quint32 v4 = address.toIPv4Address(&ipv4);
    if (ipv4)
        return QHostAddress(v4).toString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    std::fill(bytes.c + 8, bytes.c + 16, quint8(0));
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

QByteArray LiveAuth::Fingerprint(const QByteArray& user, const QByteArray& password) const
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, cacheKey_);
    mac.addData(user);
    mac.addData("\0", 1);
    mac.addData(password);
    return mac.result();
}

bool LiveAuth::Matches(const QByteArray& user, const QByteArray& password) const
{
    // The key is derived even for a wrong user name, so the answer's time does not tell which was wrong.
    const bool userOk = ConstantTimeEquals(QCryptographicHash::hash(user, QCryptographicHash::Sha256),
                                           QCryptographicHash::hash(user_, QCryptographicHash::Sha256));
    const bool passwordOk = hash_->Matches(password);
    return userOk && passwordOk;
}

bool LiveAuth::Check(const QHostAddress& from, const QByteArray& user, const QByteArray& password)
{
    if (!hash_)
        return true;
    const QByteArray fingerprint = Fingerprint(user, password);
    const QString group = AddressGroup(from);
    std::unique_lock lock(mutex_);
    bool known = false;
    for (const QByteArray& v : verified_)
        known |= ConstantTimeEquals(v, fingerprint);
    if (known)
        return true;
    auto entry = failures_.find(group);
    if (entry == failures_.end()) {
        if (failures_.size() >= rememberedAddresses_)
            ForgetOldest();
        entry = failures_.emplace(group, Failures{}).first;
    }
    Failures& f = entry->second;
    // Its turn: no other check of this address running, and the delay of its last failure over.
    ++f.waiting;
    while (!aborted_ && (f.checking || Clock::now() < f.notBefore)) {
        if (f.checking)
            turn_.wait(lock);
        else
            turn_.wait_until(lock, f.notBefore);
    }
    --f.waiting;
    if (aborted_)
        return false;
    f.checking = true;
    lock.unlock();
    const bool ok = Matches(user, password);
    lock.lock();
    f.checking = false;
    turn_.notify_all();
    if (ok) {
        if (verified_.size() >= MaxVerified)
            verified_.erase(verified_.begin());
        verified_.push_back(fingerprint);
        if (f.waiting == 0 && f.unlogged == 0) {
            failures_.erase(entry);
        } else {
            f.count = 0;
            f.notBefore = {};
        }
        return true;
    }
    const auto now = Clock::now();
    if (now - f.last > FailureMemory)
        f.count = 0;
    f.last = now;
    f.count = std::min(f.count + 1, 16);
    // A mistyped password costs a moment; a guesser waits longer and longer.
    const auto delay = std::min<std::chrono::milliseconds>(FirstDelay * (1LL << std::min(f.count - 1, 10)), MaxDelay);
    f.notBefore = now + delay;
    ++f.unlogged;
    const QStringList lines = DueLines(now, false);
    // The refusal itself is held back as well, so a client that asks one at a time feels the delay.
    turn_.wait_until(lock, now + delay, [this] { return aborted_; });
    lock.unlock();
    for (const QString& line : lines)
        Log(line);
    return false;
}

QStringList LiveAuth::DueLines(Clock::time_point now, bool all)
{
    // Looked for at every failure, so a guesser that stopped is counted in full at the next one of
    // anybody's, and at the latest when the server stops.
    QStringList lines;
    for (auto& [group, f] : failures_) {
        if (f.unlogged > 0 && (all || !f.logged || now - *f.logged >= LogEvery)) {
            lines.append(QStringLiteral("Live view: %1 failed logins from %2").arg(f.unlogged).arg(group));
            f.logged = now;
            f.unlogged = 0;
        }
    }
    return lines;
}

void LiveAuth::ForgetOldest()
{
    auto oldest = failures_.end();
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        const Failures& f = it->second;
        if (!f.checking && f.waiting == 0 && (oldest == failures_.end() || f.last < oldest->second.last))
            oldest = it;
    }
    // Every one busy: the table grows by those few, bounded by the connections.
    if (oldest != failures_.end())
        failures_.erase(oldest);
}

void LiveAuth::Abort()
{
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    turn_.notify_all();
}

} // namespace tarvo
