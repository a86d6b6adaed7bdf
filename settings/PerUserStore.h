#pragma once
// The per-user key-value store of the installation's own values ("CurrentProfile", "LoadCount",
// the file-name counters, "Preview", the viewer's folder copies). Values are text: integers as
// decimal digits, Booleans as "0"/"1". A missing or malformed value reads as the caller's default.
// Written on the GUI thread only (a file-name counter drawn on another thread is posted there);
// the lock keeps a read from another thread whole.
#include "common/KeyValueStore.h"

#include <QString>
#include <memory>
#include <mutex>

class QSettings;

namespace tarvo {

class PerUserStore final : public KeyValueStore {
public:
    // $XDG_CONFIG_HOME/Tarvo/Tarvo.conf (default ~/.config).
    static QString DefaultPath();
    explicit PerUserStore(const QString& path = DefaultPath());
    ~PerUserStore() override;
    PerUserStore(const PerUserStore&) = delete;
    PerUserStore& operator=(const PerUserStore&) = delete;

    QString ReadString(const QString& name, const QString& fallback) const override;
    int ReadInteger(const QString& name, int fallback) const override;
    bool ReadBool(const QString& name, bool fallback) const override;

    void WriteString(const QString& name, const QString& value) override;
    void WriteInteger(const QString& name, int value) override;
    void WriteBool(const QString& name, bool value) override;

    QString path() const { return path_; }

private:
    QString path_;
    mutable std::mutex mutex_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace tarvo
