// Drawings from CAD and back: a DXF read into boundaries (lines and arcs chained into
// regions, circles into cylinders) and the boundaries written as a DXF in metres.
#pragma once

#include "geometry/uEdges.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvex {

enum class TDxfUnits { Millimetres, Centimetres, Metres, Inches };

// Metres per drawing unit.
double DxfUnitScale(TDxfUnits Units);
// "mm", "cm", "m", "in"; nullopt for anything else.
std::optional<TDxfUnits> ParseDxfUnits(const std::string& Text);

// Ends closer than this are joined: 0.1 mm.
inline constexpr double DefaultDxfTolerance = 1e-4; // metres
// More than this many straight pieces is no hood drawing; the crossing tests grow with
// the square of the count.
inline constexpr std::size_t MaxDxfSegments = 20000;

// A run of vertices in drawing units: a line, a polyline, an arc cut into segments.
struct TDxfPath {
    std::vector<TRealPoint> Points;
    bool Closed = false;
};

struct TDxfCircle {
    TRealPoint Centre;
    double Radius = 0;
};

// What the reader found in a DXF's model space, blocks resolved, in drawing units.
struct TDxfDrawing {
    std::optional<TDxfUnits> Units; // from $INSUNITS
    std::vector<TDxfPath> Paths;
    std::vector<TDxfCircle> Circles;
    // What cannot be imported, one line each, in Russian and in English.
    std::vector<std::string> Skipped;
    std::vector<std::string> SkippedEnglish;
};

// The number of segments an arc of Sweep radians is cut into: about one per 18 degrees,
// within the arc conversion's 2 to 20.
int DxfArcSegments(double Sweep);

// Parses DXF text (ASCII DXF). Never trusts the counts in it: past MaxDxfSegments the
// drawing is refused.
TDxfDrawing ParseDxf(const std::string& Text);
// Reads a DXF file through the file rules of every reader (a regular file, bounded).
TDxfDrawing ReadDxfFile(const std::string& FileName);

// The drawing names no units and none were given: the window asks, the command line
// wants --units.
class TDxfUnitsUnknown : public TRefusal {
public:
    TDxfUnitsUnknown();
};

// Open chains were found but not yet allowed to become semi-infinite regions.
class TDxfOpenChains : public TRefusal {
public:
    explicit TDxfOpenChains(int Count);
    int Count;
};

struct TDxfImportOptions {
    std::optional<TDxfUnits> Units;         // overrides $INSUNITS
    double Tolerance = DefaultDxfTolerance; // metres
    bool OpenChainsSemiInfinite = false;
};

// Base with the boundaries of the drawing added, each through the editor's own crossing
// tests; every new segment gets the settings of Defaults and the velocity 0. A closed chain that
// encloses another boundary, or stands alone, is an enclosure (air inside); any other is
// a body in the air. Throws TDxfUnitsUnknown, TDxfOpenChains, or one TRefusal listing
// everything that cannot be imported; nothing is returned then.
TEdges ImportDxf(const TDxfDrawing& Drawing, const TDxfImportOptions& Options,
                 const TEdges& Base = {}, const TEdgeSegment& Defaults = {});

// Layers of an export.
inline constexpr const char* DxfBoundaryLayer = "BOUNDARIES";
inline constexpr const char* DxfSuctionLayer = "SUCTION";

// The boundaries as LWPOLYLINE (a semi-infinite region without its rays) and CIRCLE, in
// metres, the suction openings (V > 0) as polylines of their own on DxfSuctionLayer.
std::string DxfText(const TEdges& Model);
// Writes DxfText atomically; a failed write leaves the old file whole (TFileError).
void ExportDxfFile(const TEdges& Model, const std::string& FileName);

} // namespace kalvex
