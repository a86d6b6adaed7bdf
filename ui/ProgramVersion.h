#pragma once

namespace tarvo {

// The program's own version: shown as text, compared as a number by the version check.
inline constexpr int VersionNumber = 126;
inline constexpr const char* VersionText = "1.26";

} // namespace tarvo
