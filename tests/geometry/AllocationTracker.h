// Watches the largest single allocation made through operator new, to show that
// readers refuse absurd counts before they reserve anything.
#pragma once

#include <cstddef>

namespace kalvex::test {

void StartTrackingAllocations();
// Stops watching and returns the largest request seen since the start.
std::size_t StopTrackingAllocations();

} // namespace kalvex::test
