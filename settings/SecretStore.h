#pragma once
// Where the FTP password of a profile lives while "Save Password" is off: the desktop's secret
// store, under the profile, instead of the profile file. Every call is made on the GUI thread and
// returns within a bounded time; a store that does not answer counts as no store.
#include <QString>

namespace QKeychain {
class Job;
}

namespace tarvo {

class SecretStore {
public:
    enum class Result { Done, NotFound, Unavailable };
    virtual ~SecretStore() = default;
    virtual Result Write(const QString& key, const QString& secret) = 0;
    virtual Result Read(const QString& key, QString& secret) = 0;
    virtual Result Remove(const QString& key) = 0;
};

// A desktop without a secret store: nothing is kept.
class NoSecretStore final : public SecretStore {
public:
    Result Write(const QString&, const QString&) override { return Result::Unavailable; }
    Result Read(const QString&, QString&) override { return Result::Unavailable; }
    Result Remove(const QString&) override { return Result::Unavailable; }
};

// The Secret Service of the session (GNOME Keyring, KWallet, ...) through QtKeychain. Each request
// waits at most timeoutMs in a local event loop that takes no user input; after a request has run
// out of time the store is taken as absent for the rest of the run, so a hung store costs the user
// one wait, not one per profile.
class KeychainSecretStore final : public SecretStore {
public:
    explicit KeychainSecretStore(QString service = QStringLiteral("Tarvo"), int timeoutMs = 10000);
    Result Write(const QString& key, const QString& secret) override;
    Result Read(const QString& key, QString& secret) override;
    Result Remove(const QString& key) override;

private:
    // Runs the job (which deletes itself once finished) for the key.
    Result Run(QKeychain::Job* job, const QString& key);

    QString service_;
    int timeoutMs_;
    bool unresponsive_ = false;
};

} // namespace tarvo
