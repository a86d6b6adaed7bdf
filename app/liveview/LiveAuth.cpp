#include "app/liveview/LiveAuth.h"

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
constexpr int MaxRememberedAddresses = 1024;

QByteArray RandomKey()
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(key.begin(), key.end());
    return key;
}
} // namespace

LiveAuth::LiveAuth(QString user, std::optional<PasswordHash> hash)
    : user_(user.toUtf8()), hash_(std::move(hash)), cacheKey_(RandomKey())
{
}

QByteArray LiveAuth::Fingerprint(const QByteArray& user, const QByteArray& password) const
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, cacheKey_);
    mac.addData(user);
    mac.addData("\0", 1);
    mac.addData(password);
    return mac.result();
}

bool LiveAuth::Check(const QByteArray& user, const QByteArray& password)
{
    if (!hash_)
        return true;
    const QByteArray fingerprint = Fingerprint(user, password);
    {
        std::lock_guard lock(mutex_);
        bool known = false;
        for (const QByteArray& v : verified_)
            known |= ConstantTimeEquals(v, fingerprint);
        if (known)
            return true;
    }
    // The key is derived even for a wrong user name, so the answer's time does not tell which was wrong.
    const bool userOk = ConstantTimeEquals(QCryptographicHash::hash(user, QCryptographicHash::Sha256),
                                           QCryptographicHash::hash(user_, QCryptographicHash::Sha256));
    const bool passwordOk = hash_->Matches(password);
    if (!userOk || !passwordOk)
        return false;
    std::lock_guard lock(mutex_);
    if (verified_.size() >= MaxVerified)
        verified_.erase(verified_.begin());
    verified_.push_back(fingerprint);
    return true;
}

std::chrono::milliseconds LiveAuth::NoteFailure(const QString& address)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (failures_.size() >= MaxRememberedAddresses && !failures_.contains(address))
        failures_.clear();
    Failures& f = failures_[address];
    if (now - f.last > FailureMemory)
        f.count = 0;
    f.last = now;
    f.count = std::min(f.count + 1, 16);
    // A mistyped password costs a moment; a guesser waits longer and longer.
    const auto delay = FirstDelay * (1LL << std::min(f.count - 1, 10));
    return std::min<std::chrono::milliseconds>(delay, MaxDelay);
}

void LiveAuth::NoteSuccess(const QString& address)
{
    std::lock_guard lock(mutex_);
    failures_.remove(address);
}

} // namespace tarvo
