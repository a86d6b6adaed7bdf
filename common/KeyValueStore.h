#pragma once
// A store of named text values, read with a default for what is missing or malformed. The
// per-user store is one; modules that keep their own values in it take this instead, so they
// need not know where the values live.
#include <QString>

namespace tarvo {

class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;
    virtual QString ReadString(const QString& name, const QString& fallback) const = 0;
    virtual int ReadInteger(const QString& name, int fallback) const = 0;
    virtual bool ReadBool(const QString& name, bool fallback) const = 0;
    virtual void WriteString(const QString& name, const QString& value) = 0;
    virtual void WriteInteger(const QString& name, int value) = 0;
    virtual void WriteBool(const QString& name, bool value) = 0;
};

} // namespace tarvo
