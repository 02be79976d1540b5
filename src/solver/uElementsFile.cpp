// The discretisation file and the rotation of discretised cylinders.
#include "solver/uCountEdges.h"

#include <cmath>
#include <numbers>

namespace kalvex {

namespace {

constexpr std::size_t ElementRecordSize = 40;
constexpr std::size_t CylRecordSize = 48;

// Ranges that rotation and the solve index with: a damaged file must not lead to
// reads outside the arrays, nor to a rotation by an infinite angle.
bool CylInfosConsistent(const TEdgeElements& E) {
    for (const TCylInfo& C : E.CylInfos) {
        if (C.FirstElement < 0 || C.ElementCount < 0 ||
            static_cast<std::int64_t>(C.FirstElement) + C.ElementCount > E.Count)
            return false;
        if (C.EdgeIndex < 0 || C.EdgeIndex >= E.Edges.Count())
            return false;
        // Rotation divides by the radius.
        if (!(C.R > 0.0 && std::isfinite(C.R)))
            return false;
    }
    return true;
}

// Only after CylInfosConsistent: every EdgeIndex is a boundary of E.Edges.
bool CylinderRepeated(const TEdgeElements& E) {
    std::vector<bool> Seen(static_cast<std::size_t>(E.Edges.Count()), false);
    for (const TCylInfo& C : E.CylInfos) {
        const auto K = static_cast<std::size_t>(C.EdgeIndex);
        if (Seen[K])
            return true;
        Seen[K] = true;
    }
    return false;
}

// Values that are not numbers, or beyond what the system file accepts, would reach the
// solve as garbage. The elements of a semi-infinite tail may reach far beyond the
// model, so their ends are only held to where squares of distances stay finite.
constexpr double MaxElementCoordinate = 1e100;

double ReadWithin(TByteReader& R, double Bound) {
    const double V = R.ReadDouble();
    if (!(std::abs(V) <= Bound))
        throw TFormatError("value out of range");
    return V;
}

} // namespace

std::vector<std::uint8_t> TEdgeElements::SaveToBytes() const {
    TByteWriter W;
    W.Bytes.reserve(4 + ElementRecordSize * Elements.size() + 5 + CylRecordSize * CylInfos.size());
    W.WriteI32(static_cast<std::int32_t>(Elements.size()));
    for (const TEdgeElement& E : Elements) {
        W.WriteDouble(E.P1.X);
        W.WriteDouble(E.P1.Y);
        W.WriteDouble(E.P2.X);
        W.WriteDouble(E.P2.Y);
        W.WriteDouble(E.V);
    }
    W.WriteI32(static_cast<std::int32_t>(CylInfos.size()));
    for (const TCylInfo& C : CylInfos) {
        W.WriteDouble(C.Center.X);
        W.WriteDouble(C.Center.Y);
        W.WriteDouble(C.R);
        W.WriteDouble(C.V);
        W.WriteI32(C.FirstElement);
        W.WriteI32(C.ElementCount);
        W.WriteI32(C.EdgeIndex);
        W.WriteZeros(4);
    }
    W.WriteU8(HasRotatingSlit ? 1 : 0);
    Edges.SaveToStream(W);
    return std::move(W.Bytes);
}

void TEdgeElements::SaveToFile(const std::string& FileName) const {
    const std::vector<std::uint8_t> Bytes = SaveToBytes();
    WriteFileAtomic(FileName, Bytes);
}

void TEdgeElements::LoadFromBytes(std::span<const std::uint8_t> Bytes) {
    Touch();
    try {
        TByteReader R(Bytes);
        const std::int32_t N = R.ReadI32();
        if (N < 0)
            throw TFormatError("negative element count");
        R.RequireRecords(N, ElementRecordSize);
        Count = 0;
        Elements.assign(static_cast<std::size_t>(N), TEdgeElement{});
        for (TEdgeElement& E : Elements) {
            E.P1.X = ReadWithin(R, MaxElementCoordinate);
            E.P1.Y = ReadWithin(R, MaxElementCoordinate);
            E.P2.X = ReadWithin(R, MaxElementCoordinate);
            E.P2.Y = ReadWithin(R, MaxElementCoordinate);
            E.V = ReadWithin(R, MaxVelocity);
        }
        Count = N;
        const std::int32_t M = R.ReadI32();
        if (M < 0)
            throw TFormatError("negative cylinder count");
        R.RequireRecords(M, CylRecordSize);
        CylCount = 0;
        CylInfos.assign(static_cast<std::size_t>(M), TCylInfo{});
        for (TCylInfo& C : CylInfos) {
            C.Center.X = ReadWithin(R, MaxCoordinate);
            C.Center.Y = ReadWithin(R, MaxCoordinate);
            C.R = ReadWithin(R, MaxCoordinate);
            C.V = ReadWithin(R, MaxVelocity);
            C.FirstElement = R.ReadI32();
            C.ElementCount = R.ReadI32();
            C.EdgeIndex = R.ReadI32();
            R.Skip(4);
        }
        CylCount = M;
        HasRotatingSlit = R.ReadU8() != 0;
        Edges.LoadFromStream(R);
        if (!CylInfosConsistent(*this))
            throw TFormatError("cylinder records do not match the elements");
        if (CylinderRepeated(*this))
            throw TRepeatedCylinderError();
    } catch (const std::exception& Fault) {
        Clear();
        if (dynamic_cast<const TRepeatedCylinderError*>(&Fault))
            throw TRepeatedCylinderError();
        throw TElementsLoadError();
    }
    Touch();
}

void TEdgeElements::Clear() {
    Count = 0;
    CylCount = 0;
    Elements.clear();
    CylInfos.clear();
    HasRotatingSlit = false;
    Edges.Clear();
    Touch();
}

void TEdgeElements::LoadFromFile(const std::string& FileName) {
    std::vector<std::uint8_t> Bytes;
    try {
        Bytes = ReadWholeFile(FileName);
    } catch (const std::exception&) {
        Clear();
        throw TElementsLoadError();
    }
    LoadFromBytes(Bytes);
}

void TEdgeElements::RotateAbout(TRealPoint& P, TRealPoint C, double Delta) {
    const TRealPoint D = P - C;
    const double R = VectorLength(D);
    // The centre itself has no angle; it stays where it is.
    if (R == 0.0)
        return;
    double Phi = AngleBetween(D, TRealPoint{1.0, 0.0});
    if (P.Y < C.Y)
        Phi = 2.0 * std::numbers::pi - Phi;
    Phi += Delta;
    P = TRealPoint{C.X + R * std::cos(Phi), C.Y + R * std::sin(Phi)};
}

namespace {

void RotateOne(TEdgeElements& E, const TCylInfo& C, double Delta) {
    if (C.ElementCount > 0) {
        const auto First = static_cast<std::size_t>(C.FirstElement);
        const auto Last = First + static_cast<std::size_t>(C.ElementCount);
        TEdgeElement& E0 = E.Elements.at(First);
        TEdgeElements::RotateAbout(E0.P2, C.Center, Delta);
        TEdgeElements::RotateAbout(E0.P1, C.Center, Delta);
        for (std::size_t K = First + 1; K < Last; ++K) {
            TEdgeElement& Ek = E.Elements.at(K);
            TEdgeElements::RotateAbout(Ek.P1, C.Center, Delta);
            Ek.P2 = E.Elements[K - 1].P1;
        }
    }
    TEdge& Polygon = E.Edges.Item(C.EdgeIndex);
    for (int I = 0; I < Polygon.Count(); ++I) {
        TEdgeSegment S = Polygon.GetSegment(I);
        if (I == 0)
            TEdgeElements::RotateAbout(S.P1, C.Center, Delta);
        else
            S.P1 = Polygon.GetSegment(I - 1).P2;
        TEdgeElements::RotateAbout(S.P2, C.Center, Delta);
        Polygon.SetSegment(I, S);
    }
}

} // namespace

void TEdgeElements::RotateCylinders(double Time) {
    for (const TCylInfo& C : CylInfos) {
        if (C.V != 0.0)
            RotateOne(*this, C, C.V / C.R * Time);
    }
    Touch();
}

void TEdgeElements::RotateCylindersByAngle(double AngleDeg) {
    const double Delta = DegToRad(AngleDeg);
    for (const TCylInfo& C : CylInfos) {
        if (C.V != 0.0)
            RotateOne(*this, C, Delta);
    }
    Touch();
}

} // namespace kalvex
