#include "settings/SecretStore.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace tarvo {

namespace {
// Runs a job to its end or to the time limit. The job deletes itself when it finishes, also when
// that is after the limit, and its late answer then reaches no one.
bool RunJob(QKeychain::Job& job, int timeoutMs)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return finished;
}

SecretStore::Result ResultOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return SecretStore::Result::Done;
    case QKeychain::EntryNotFound:
        return SecretStore::Result::NotFound;
    default:
        return SecretStore::Result::Unavailable;
    }
}
} // namespace

KeychainSecretStore::KeychainSecretStore(QString service, int timeoutMs)
    : service_(std::move(service)), timeoutMs_(timeoutMs)
{
}

SecretStore::Result KeychainSecretStore::Run(QKeychain::Job* job, const QString& key)
{
    job->setKey(key);
    if (unresponsive_) {
        delete job;
        return Result::Unavailable;
    }
    if (!RunJob(*job, timeoutMs_)) {
        unresponsive_ = true;
        return Result::Unavailable;
    }
    return ResultOf(*job);
}

SecretStore::Result KeychainSecretStore::Write(const QString& key, const QString& secret)
{
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setTextData(secret);
    return Run(job, key);
}

SecretStore::Result KeychainSecretStore::Read(const QString& key, QString& secret)
{
    auto* job = new QKeychain::ReadPasswordJob(service_);
    const Result result = Run(job, key);
    if (result == Result::Done)
        secret = job->textData(); // the finished job is deleted only once the caller's loop runs on
    return result;
}

SecretStore::Result KeychainSecretStore::Remove(const QString& key)
{
    return Run(new QKeychain::DeletePasswordJob(service_), key);
}

} // namespace tarvo
