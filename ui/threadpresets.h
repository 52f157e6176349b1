// The parallel job counts behind the "1/4", "1/2" and "All" buttons, kept within the spin box's range.
#pragma once

namespace ThreadPresets {

int Quarter(int idealThreadCount);
int Half(int idealThreadCount);
int All(int idealThreadCount);

}  // namespace ThreadPresets
