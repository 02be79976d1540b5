// Whole boundaries added from their numbers rather than by the mouse: each vertex is
// tested as the drawing tools test a click, so a script builds only what the editor
// would let a user draw.
#pragma once

#include "geometry/uEdges.h"

#include <vector>

namespace kalvex {

inline constexpr const char* MsgTooFewVertices = "Область должна иметь не менее трёх вершин.";
inline constexpr const char* MsgCoordinateX = "Ошибка при вводе координаты X.";
inline constexpr const char* MsgCoordinateY = "Ошибка при вводе координаты Y.";

// The next segment A-B of a semi-infinite boundary being drawn (the model's last one):
// its last segment is still a segment, not yet the ray it becomes when it is finished.
bool DrawnSemiInfiniteSegmentHits(const TEdges& Model, TRealPoint A, TRealPoint B);

// A closed region through Vertices (at least three, the last joined to the first), its
// segments with the velocity 0 and the discretisation settings of Defaults. Throws
// TRefusal, leaving Model as it was, for a vertex beyond MaxCoordinate, two equal
// vertices in a row or a segment that crosses a boundary.
void AddClosedRegion(TEdges& Model, const std::vector<TRealPoint>& Vertices,
                     const TEdgeSegment& Defaults = {});
// A semi-infinite region: the rays come in through Vertices[0] and leave through the
// last vertex, from the directions of the end segments. As AddClosedRegion otherwise.
void AddSemiInfiniteRegion(TEdges& Model, const std::vector<TRealPoint>& Vertices,
                           const TEdgeSegment& Defaults = {});
// The records of a still cylinder without a slit, centre and radius as given, the
// settings of Defaults: what the cylinder tool and AddCylinder place.
TEdge StillCylinder(TRealPoint Centre, double Radius, const TEdgeSegment& Defaults);
// A still cylinder without a slit, as the cylinder tool places it; throws TRefusal for a
// centre beyond MaxCoordinate, a radius not positive and finite, or a disc that
// reaches a boundary.
void AddCylinder(TEdges& Model, TRealPoint Centre, double Radius,
                 const TEdgeSegment& Defaults = {});

} // namespace kalvex
