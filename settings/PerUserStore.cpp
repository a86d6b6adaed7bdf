#include "settings/PerUserStore.h"

#include <QDir>
#include <QSettings>

namespace tarvo {

QString PerUserStore::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/Tarvo/Tarvo.conf";
}

PerUserStore::PerUserStore(const QString& path)
    : path_(path), settings_(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

PerUserStore::~PerUserStore() = default;

QString PerUserStore::ReadString(const QString& name, const QString& fallback) const
{
    std::lock_guard lock(mutex_);
    const QVariant v = settings_->value(name);
    return v.isValid() ? v.toString() : fallback;
}

int PerUserStore::ReadInteger(const QString& name, int fallback) const
{
    const QString text = ReadString(name, QString());
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : fallback;
}

bool PerUserStore::ReadBool(const QString& name, bool fallback) const
{
    const QString text = ReadString(name, QString());
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value != 0 : fallback;
}

void PerUserStore::WriteString(const QString& name, const QString& value)
{
    std::lock_guard lock(mutex_);
    settings_->setValue(name, value);
    settings_->sync(); // each value reaches the disk at once, as a registry write would
}

void PerUserStore::WriteInteger(const QString& name, int value) { WriteString(name, QString::number(value)); }

void PerUserStore::WriteBool(const QString& name, bool value) { WriteString(name, value ? "1" : "0"); }

} // namespace tarvo
