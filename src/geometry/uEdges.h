// The boundary model of a system: boundaries, their segments with velocities and
// per-segment discretisation settings, model-wide queries, hit and crossing tests,
// and the edges block of the system file.
#pragma once

#include "geometry/GenFuncs.h"
#include "geometry/uBinaryIO.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvex {

// What the file readers accept: far beyond any real hood, yet small enough that
// squares, sums of intensities and picture sizes stay finite.
inline constexpr double MaxCoordinate = 1e6; // metres, |x| and |y|
inline constexpr double MaxVelocity = 1e4;   // metres per second
// The same bounds as help texts name them.
inline constexpr const char* MaxCoordinateText = "±1e6 m";
inline constexpr const char* MaxVelocityText = "±1e4 m/s";

// Boundaries that cross: no region is bounded by them, no flow computed in it.
inline constexpr const char* MsgBoundaryCrosses =
    "Невозможно добавить границу:\rона пересекает другие границы.";

enum TEdgeKind : std::uint8_t { ekClosed = 0, ekSemiInfinite = 1, ekCylinder = 2 };

// One straight segment of a boundary (for a cylinder: record 0 = centre, radius,
// rotation speed; record 1 = slit angles in degrees and slit velocity).
struct TEdgeSegment {
    double V = 0.0;
    std::uint8_t DiscretizationType = 0; // 0 boundary elements, 1 bound vortices
    // VortexStep (type 1) and EqualElements (type 0) share these 8 bytes.
    std::array<std::uint8_t, 8> DiscrVariant{};
    double BaseLength = 0.0004;
    double Scaler = 2.0;
    double InfiniteScaler = 1.8;
    std::int32_t InfiniteCount = 15;
    double CylBaseLength = 0.1;
    TRealPoint P1;
    TRealPoint P2;

    double VortexStep() const;
    void SetVortexStep(double Value);
    bool EqualElements() const;
    void SetEqualElements(bool Value);
    // Cylinder record 0 only: the flag lives in the first byte of P2.Y.
    bool HasSlit() const;
    void SetHasSlit(bool Value);
};

// Indices come from the window and from files: one outside the model is reported as a
// TKalvexError, not left to the container.
[[noreturn]] void ThrowNoSegment(int I);
[[noreturn]] void ThrowNoEdge(int I);

class TEdge {
public:
    explicit TEdge(TEdgeKind EdgeKind = ekClosed) : Kind(EdgeKind) {}

    int Count() const { return static_cast<int>(Segments.size()); }
    void AddSegment(const TEdgeSegment& Seg) { Segments.push_back(Seg); }
    TEdgeSegment GetSegment(int I) const { return Segments[Checked(I)]; }
    TEdgeSegment FirstSegment() const { return Segments[Checked(0)]; }
    TEdgeSegment LastSegment() const { return Segments[Checked(Count() - 1)]; }
    void SetSegment(int I, const TEdgeSegment& Seg) { Segments[Checked(I)] = Seg; }
    void DeleteSegment(int I);
    void Invert();
    void ConvertToArc(int Index, int NumSegs, double Height);
    // Whether Other is the same boundary, to the last bit of every field a file keeps.
    bool SameAs(const TEdge& Other) const;
    // Whether P lies on this boundary's air side (see TEdges::PointInAir).
    bool PointInAir(TRealPoint P) const;
    // Whether a closed region runs clockwise: then the air is inside it.
    bool Clockwise() const;

    std::vector<TEdgeSegment> Segments;
    TEdgeKind Kind;

private:
    std::size_t Checked(int I) const {
        if (I < 0 || I >= Count())
            ThrowNoSegment(I);
        return static_cast<std::size_t>(I);
    }
};

class TEdges {
public:
    int Count() const { return static_cast<int>(Items.size()); }
    TEdge& Item(int I) { return Items[Checked(I)]; }
    const TEdge& Item(int I) const { return Items[Checked(I)]; }
    TEdge& Last() { return Items[Checked(Count() - 1)]; }
    void Add(TEdge Edge) { Items.push_back(std::move(Edge)); }
    void Delete(int I);
    void Clear() { Items.clear(); }
    void CopyTo(TEdges& Dest) const { Dest.Items = Items; }

    // Queries
    bool HasSemiInfinite() const;
    bool HasRotatingCylinder() const;
    int InflowCount() const;
    void FindFirstInflow(int& EdgeIdx, int& SegIdx) const;
    double TotalFlow() const;
    void SpeedRange(double& MinV, double& MaxV) const;
    void GetBounds(TRealPoint& TopLeft, TRealPoint& BottomRight) const;
    double SegmentLength(int EdgeIdx, int SegIdx) const;

    // Hit and crossing tests
    bool PointOnBoundary(TRealPoint P, double Eps) const;
    bool PointOnBoundaryExcept(TRealPoint P, int SkipEdge, bool IncludeSkipped, double Eps) const;
    // Whether the segment crosses any boundary; HitSeg and Crossing, when asked for, are
    // those of the crossing nearest P1 (a cylinder gives the tangent where it is entered).
    bool SegmentHitsBoundary(TRealPoint P1, TRealPoint P2, TEdgeSegment* HitSeg = nullptr,
                             TRealPoint* Crossing = nullptr) const;
    bool SegmentCrossesOthers(TRealPoint P1, TRealPoint P2, int SkipSeg, int SkipEdge) const;
    bool RayHitsBoundary(TRealPoint R1, TRealPoint R2) const;
    bool RayCrossesOthers(TRealPoint R1, TRealPoint R2, int SkipSeg, int SkipEdge) const;
    bool IsValid() const;
    // Whether Other holds the same boundaries, to the last bit of every field a file
    // keeps: the test that a discretisation or an evaluation belongs to this model.
    bool SameAs(const TEdges& Other) const;
    // Whether P lies in the air: on the right of the segments' direction of every
    // straight-edged region (inside a closed one drawn clockwise, outside one drawn
    // the other way, which is a body in the air) and outside every cylinder. Points on
    // a boundary may fall either way.
    bool PointInAir(TRealPoint P) const;

    // Cylinder slits
    void RotateSlits(double Time);
    void ShiftSlitAngles(double Delta);

    // The edges block (system file). Loading throws TEdgesLoadError and leaves the
    // model empty; saving a file replaces it atomically and throws TFileError.
    void SaveToStream(TByteWriter& Stream) const;
    void LoadFromStream(TByteReader& Stream);
    void SaveToFile(const std::string& FileName) const;
    void LoadFromFile(const std::string& FileName);

    std::vector<TEdge> Items;

private:
    std::size_t Checked(int I) const {
        if (I < 0 || I >= Count())
            ThrowNoEdge(I);
        return static_cast<std::size_t>(I);
    }
};

} // namespace kalvex
