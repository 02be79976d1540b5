// Which side of a boundary the air is on follows from the direction it was drawn in
// (on the right of its segments). Drawn the wrong way round, a hood becomes a solid
// body or a floor puts the air beneath it; these find such boundaries.
#pragma once

#include "geometry/uEdges.h"

#include <string>
#include <vector>

namespace kalvex {

// The boundaries (indices in the model) whose air side faces neither an opening nor
// another boundary: any straight-edged boundary with another boundary on its solid
// side, and a closed region alone in the model that is a body facing only endless
// air (no hollow of its own) or an enclosure without an opening. Cylinders always
// have the air outside.
std::vector<int> AirSideFaults(const TEdges& Model);

// A closed region just drawn takes the air side its place suggests: an enclosure
// (clockwise, air inside) when it is alone or every other boundary lies inside it, a
// body (air outside) when it encloses none of them; otherwise it keeps the direction
// it was drawn in. True when it was turned over.
bool OrientDrawnRegion(TEdges& Model, int Index);

// One line a boundary, numbered from 1; "" for none. Lines end with '\r' between them.
std::string AirSideText(const std::vector<int>& Faults);
std::string AirSideEnglish(const std::vector<int>& Faults);

} // namespace kalvex
