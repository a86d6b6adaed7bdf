#pragma once
// The setter of a property that tells its watchers of a change: only a new value counts.
#include <utility>

namespace tarvo {

// Stores value in slot; true when that changed what slot held.
template <class T, class U> bool AssignIfChanged(T& slot, U&& value)
{
    if (slot == value)
        return false;
    slot = std::forward<U>(value);
    return true;
}

} // namespace tarvo
