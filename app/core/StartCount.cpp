#include "app/core/StartCount.h"

#include "settings/PerUserStore.h"

#include <limits>

namespace tarvo {

int CountProgramStart(PerUserStore& store)
{
    const int stored = store.ReadInteger("LoadCount", 0);
    // A count at the top of the range stays there rather than wrapping to a negative one.
    store.WriteInteger("LoadCount", stored == std::numeric_limits<int>::max() ? stored : stored + 1);
    return store.ReadInteger("LoadCount", 0);
}

bool VersionCheckDue(int loadCount, bool autoUpdateCheck)
{
    return loadCount == 1 || (loadCount % 10 == 0 && autoUpdateCheck);
}

} // namespace tarvo
