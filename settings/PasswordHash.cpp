#include "settings/PasswordHash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace tarvo {

namespace {
const QString Scheme = QStringLiteral("pbkdf2-sha256");
// An upper bound keeps a hand-edited file from making each check take minutes.
constexpr int MaxIterations = 10000000;

QByteArray DeriveKey(const QByteArray& password, const QByteArray& salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password, salt, iterations,
                                              PasswordHash::KeyBytes);
}
} // namespace

PasswordHash PasswordHash::Make(const QString& password, int iterations)
{
    PasswordHash hash;
    hash.iterations = iterations;
    hash.salt.resize(SaltBytes);
    QRandomGenerator::system()->generate(hash.salt.begin(), hash.salt.end());
    hash.key = DeriveKey(password.toUtf8(), hash.salt, iterations);
    return hash;
}

std::optional<PasswordHash> PasswordHash::Parse(const QString& text)
{
    const QStringList parts = text.trimmed().split('$');
    if (parts.size() != 4 || parts[0] != Scheme)
        return std::nullopt;
    PasswordHash hash;
    bool ok = false;
    hash.iterations = parts[1].toInt(&ok);
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto key = QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!ok || hash.iterations < MinIterations || hash.iterations > MaxIterations || !salt || !key ||
        salt.decoded.size() < SaltBytes || key.decoded.size() != KeyBytes)
        return std::nullopt;
    hash.salt = salt.decoded;
    hash.key = key.decoded;
    return hash;
}

QString PasswordHash::ToString() const
{
    return QStringLiteral("%1$%2$%3$%4")
        .arg(Scheme)
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(key.toBase64()));
}

bool PasswordHash::Matches(const QByteArray& password) const
{
    return ConstantTimeEquals(DeriveKey(password, salt, iterations), key);
}

bool ConstantTimeEquals(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace tarvo
