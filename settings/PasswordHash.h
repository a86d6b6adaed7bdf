#pragma once
// The live view's password as it is kept: never the password itself, only
// "pbkdf2-sha256$<iterations>$<salt base64>$<key base64>", a PBKDF2-HMAC-SHA256 key of 32 bytes made
// from the password with a random salt of 16 bytes.
#include <QByteArray>
#include <QString>
#include <optional>

namespace tarvo {

struct PasswordHash {
    static constexpr int MinIterations = 100000;
    static constexpr int SaltBytes = 16;
    static constexpr int KeyBytes = 32;

    int iterations = MinIterations;
    QByteArray salt;
    QByteArray key;

    // A fresh salt from the system's random source.
    static PasswordHash Make(const QString& password, int iterations = MinIterations);
    // Nothing for text that is not a hash of this kind (a wrong prefix, too few iterations, a salt or
    // key of the wrong length), so a hand-edited file never lets any password in.
    static std::optional<PasswordHash> Parse(const QString& text);
    QString ToString() const;

    // Derives the key of the offered password and compares it with the stored one in a time that
    // does not depend on where they differ.
    bool Matches(const QByteArray& password) const;
};

// Equal lengths and bytes, compared in a time that depends on the length only.
bool ConstantTimeEquals(const QByteArray& a, const QByteArray& b);

} // namespace tarvo
