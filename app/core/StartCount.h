#pragma once

namespace tarvo {

// The program's start counter ("LoadCount"): the first start and every tenth one run the
// new-version check.
class PerUserStore;

// Stores the stored count + 1 (a missing or non-numeric value counts as 0) and returns what the
// store now holds.
int CountProgramStart(PerUserStore& store);

// Whether this start schedules the version check: always on the first start, on every tenth start
// when the profile asks for it.
bool VersionCheckDue(int loadCount, bool autoUpdateCheck);

} // namespace tarvo
