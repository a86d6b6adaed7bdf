#pragma once
// Who may see the live view: HTTP Basic credentials checked against the stored password hash, a
// credential already verified remembered (so a stream's requests do not cost a key derivation
// each), and failed attempts from one address answered more slowly the more there are.
// Thread-safe: every connection thread checks here.
#include "settings/PasswordHash.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

namespace tarvo {

class LiveAuth {
public:
    // No hash: every request is let in.
    LiveAuth(QString user, std::optional<PasswordHash> hash);

    bool Required() const { return hash_.has_value(); }
    bool Check(const QByteArray& user, const QByteArray& password);

    // Notes a failed attempt of that address; returns how long to hold its answer back.
    std::chrono::milliseconds NoteFailure(const QString& address);
    void NoteSuccess(const QString& address);

    static constexpr std::chrono::milliseconds FirstDelay{250};
    static constexpr std::chrono::milliseconds MaxDelay{8000};

private:
    QByteArray Fingerprint(const QByteArray& user, const QByteArray& password) const;

    const QByteArray user_;
    const std::optional<PasswordHash> hash_;
    const QByteArray cacheKey_; // random per server start: a fingerprint means nothing elsewhere
    std::mutex mutex_;
    std::vector<QByteArray> verified_;
    struct Failures {
        int count = 0;
        std::chrono::steady_clock::time_point last;
    };
    QHash<QString, Failures> failures_;
};

} // namespace tarvo
