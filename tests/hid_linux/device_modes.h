// How the device tests ask a second copy of themselves to act.
#pragma once

namespace bexo_test {

// "--probe-open PATH": try to open a unit, exit with one of the codes below.
inline constexpr const char* kProbeOpenMode = "--probe-open";
// "--watch-then-exit": start the hot-plug watcher and return from main.
inline constexpr const char* kWatchThenExitMode = "--watch-then-exit";

inline constexpr int kProbeOpened = 0;
inline constexpr int kProbeBusy = 10;
inline constexpr int kProbeFailed = 11;

} // namespace bexo_test
