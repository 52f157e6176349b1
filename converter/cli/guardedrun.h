// Runs mlv2dng's work so that no failure ends it silently: an exception becomes an "[ERROR] " line and exit 1.
#pragma once

#include <functional>
#include <ostream>

namespace mlv2dng {

// Returns what work returns, or 1 (conversion failed) after reporting an exception that escaped it.
int runGuarded(const std::function<int()>& work, std::ostream& err);

}  // namespace mlv2dng
