#pragma once

#include "support/flagset.h"

// Forty process-wide flag sets in which check lists may keep their marks for the rest of the
// run instead of in a saved value. They start clear and are never written to "tavx.in".
namespace CheckSets {

inline constexpr int count = 40;

// A number outside 0 to 39 reads as a clear set.
[[nodiscard]] FlagSet value(int number);
// A number outside 0 to 39 stores nothing and gives false.
bool setValue(int number, const FlagSet &flags);
// Clears every set (tests).
void reset();

} // namespace CheckSets
