#pragma once
// A sound player that plays nothing and remembers every request, handed to the part under test by
// tests that check which sound an action asks for.
#include "sound/SoundPlayer.h"

#include <QStringList>
#include <mutex>

namespace tarvo {

class RecordingSoundPlayer final : public SoundPlayer {
public:
    void Play(const QString& file) override
    {
        std::lock_guard lock(mutex_);
        played_ << file;
    }
    QStringList played() const
    {
        std::lock_guard lock(mutex_);
        return played_;
    }

private:
    mutable std::mutex mutex_;
    QStringList played_;
};

} // namespace tarvo
