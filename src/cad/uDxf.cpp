#include "cad/uDxf.h"

#include "canvas/uAddEdges.h"
#include "geometry/uBinaryIO.h"

#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <dl_writer_ascii.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <sstream>

namespace kalvex {

namespace {

constexpr double Pi = std::numbers::pi;
constexpr int MaxBlockDepth = 8;

bool Finite(TRealPoint P) {
    return std::isfinite(P.X) && std::isfinite(P.Y);
}

std::string Number(double V, bool Comma) {
    char Buf[32];
    const auto R = std::to_chars(Buf, Buf + sizeof Buf, V, std::chars_format::general, 6);
    std::string S(Buf, R.ptr);
    if (Comma)
        std::replace(S.begin(), S.end(), '.', ',');
    return S;
}

std::string At(TRealPoint P, bool Russian) {
    return Russian ? "(" + Number(P.X, true) + "; " + Number(P.Y, true) + ")"
                   : "(" + Number(P.X, false) + ", " + Number(P.Y, false) + ")";
}

[[noreturn]] void TooLarge() {
    throw TRefusal("Чертёж слишком велик: более " + std::to_string(MaxDxfSegments) + " отрезков.",
                   "the drawing has more than " + std::to_string(MaxDxfSegments) + " segments");
}

// The points of an arc about C from angle A0 through Sweep, both ends included.
void AppendArc(std::vector<TRealPoint>& Out, TRealPoint C, double R, double A0, double Sweep,
               bool SkipFirst) {
    const int N = DxfArcSegments(Sweep);
    for (int K = SkipFirst ? 1 : 0; K <= N; ++K) {
        const double A = A0 + Sweep * K / N;
        Out.push_back(C + R * RealPoint(std::cos(A), std::sin(A)));
    }
}

// A block definition, or model space: geometry in its own coordinates.
struct TInsert {
    std::string Name;
    TRealPoint At, Scale;
    double Angle = 0; // radians
};

struct TBlock {
    TRealPoint Base;
    std::vector<TDxfPath> Paths;
    std::vector<TDxfCircle> Circles;
    std::vector<TInsert> Inserts;
};

struct TSkip {
    std::string Russian, English;
    int Count = 0;
};

class TReader : public DL_CreationAdapter {
public:
    std::optional<TDxfUnits> Units;
    std::map<std::string, TBlock> Blocks;
    TBlock Model;
    std::vector<TSkip> Skips;
    std::size_t Points = 0;

    void Skip(const char* Russian, const char* English) {
        Flush();
        if (Discarding())
            return;
        for (TSkip& S : Skips) {
            if (S.English == English) {
                ++S.Count;
                return;
            }
        }
        Skips.push_back({Russian, English, 1});
    }

    void setVariableInt(const std::string& Key, int Value, int) override { Header(Key, Value); }

    void addBlock(const DL_BlockData& D) override {
        Flush();
        // Layouts other than the model are no geometry of ours.
        std::string Upper = D.name;
        std::transform(Upper.begin(), Upper.end(), Upper.begin(),
                       [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
        InPaper = Upper.rfind("*PAPER_SPACE", 0) == 0;
        Current = InPaper ? &Discard : &Blocks[D.name];
        Current->Base = RealPoint(D.bpx, D.bpy);
    }
    void endBlock() override {
        Flush();
        Current = &Model;
        InPaper = false;
    }
    void endSection() override { Flush(); }
    void endSequence() override { Flush(); }

    void addLine(const DL_LineData& D) override {
        Flush();
        if (Discarding())
            return;
        Count(2);
        Current->Paths.push_back({{RealPoint(D.x1, D.y1), RealPoint(D.x2, D.y2)}, false});
    }
    void addArc(const DL_ArcData& D) override {
        Flush();
        if (Discarding() || !Planar())
            return;
        double Sweep = std::fmod(D.angle2 - D.angle1, 360.0);
        if (!(Sweep > 0))
            Sweep += 360;
        TDxfPath P;
        AppendArc(P.Points, RealPoint(D.cx, D.cy), D.radius, D.angle1 * Pi / 180, Sweep * Pi / 180,
                  false);
        Count(P.Points.size());
        Mirror(P.Points);
        Current->Paths.push_back(std::move(P));
    }
    void addCircle(const DL_CircleData& D) override {
        Flush();
        if (Discarding() || !Planar())
            return;
        std::vector<TRealPoint> C{RealPoint(D.cx, D.cy)};
        Mirror(C);
        Count(1);
        Current->Circles.push_back({C[0], D.radius});
    }
    void addPolyline(const DL_PolylineData& D) override {
        Flush();
        if (Discarding())
            return;
        if (D.flags & (16 | 64)) {
            Skip("сеть", "polygon mesh");
            return;
        }
        if (!Planar())
            return;
        Open = true;
        OpenClosed = (D.flags & 1) != 0;
        OpenMirrored = Mirrored();
        Vertices.clear();
        Bulges.clear();
    }
    void addVertex(const DL_VertexData& D) override {
        if (!Open)
            return;
        Count(1);
        Vertices.push_back(RealPoint(D.x, D.y));
        Bulges.push_back(D.bulge);
    }
    void addInsert(const DL_InsertData& D) override {
        Flush();
        if (Discarding())
            return;
        if (D.cols > 1 || D.rows > 1) {
            Skip("массив вставок блока", "block insert array");
            return;
        }
        Count(1);
        Current->Inserts.push_back(
            {D.name, RealPoint(D.ipx, D.ipy), RealPoint(D.sx, D.sy), D.angle * Pi / 180});
    }

    void addSpline(const DL_SplineData&) override { Skip("сплайн", "spline"); }
    void addEllipse(const DL_EllipseData&) override { Skip("эллипс", "ellipse"); }
    void addText(const DL_TextData&) override { Skip("текст", "text"); }
    void addMText(const DL_MTextData&) override { Skip("текст", "text"); }
    void addArcAlignedText(const DL_ArcAlignedTextData&) override { Skip("текст", "text"); }
    void addAttribute(const DL_AttributeData&) override { Skip("текст", "text"); }
    void addPoint(const DL_PointData&) override { Skip("точка", "point"); }
    void addXLine(const DL_XLineData&) override { Skip("бесконечная линия", "construction line"); }
    void addRay(const DL_RayData&) override { Skip("бесконечная линия", "construction line"); }
    void addHatch(const DL_HatchData&) override { Skip("штриховка", "hatch"); }
    void addSolid(const DL_SolidData&) override { Skip("заливка", "solid fill"); }
    void addTrace(const DL_TraceData&) override { Skip("заливка", "solid fill"); }
    void add3dFace(const DL_3dFaceData&) override { Skip("грань", "3D face"); }
    void addImage(const DL_ImageData&) override { Skip("изображение", "image"); }
    void addLeader(const DL_LeaderData&) override { Skip("выноска", "leader"); }
    void addDimAlign(const DL_DimensionData&, const DL_DimAlignedData&) override { Dim(); }
    void addDimLinear(const DL_DimensionData&, const DL_DimLinearData&) override { Dim(); }
    void addDimRadial(const DL_DimensionData&, const DL_DimRadialData&) override { Dim(); }
    void addDimDiametric(const DL_DimensionData&, const DL_DimDiametricData&) override { Dim(); }
    void addDimAngular(const DL_DimensionData&, const DL_DimAngular2LData&) override { Dim(); }
    void addDimAngular3P(const DL_DimensionData&, const DL_DimAngular3PData&) override { Dim(); }
    void addDimOrdinate(const DL_DimensionData&, const DL_DimOrdinateData&) override { Dim(); }

    void Flush() {
        if (!Open)
            return;
        Open = false;
        const std::size_t N = Vertices.size();
        if (N < 2) {
            if (N == 1)
                Skip("точка", "point");
            return;
        }
        TDxfPath P;
        P.Closed = OpenClosed;
        const std::size_t Spans = OpenClosed ? N : N - 1;
        P.Points.push_back(Vertices[0]);
        for (std::size_t I = 0; I < Spans; ++I) {
            const TRealPoint A = Vertices[I];
            const TRealPoint B = Vertices[(I + 1) % N];
            const double Sweep = 4 * std::atan(Bulges[I]);
            const double Chord = Distance(A, B);
            if (std::isfinite(Sweep) && std::abs(Sweep) > 1e-9 && Chord > 0) {
                // The centre lies on the left of A-B for a counter-clockwise arc.
                const TRealPoint Left = RealPoint(-(B.Y - A.Y), B.X - A.X) / Chord;
                const TRealPoint C = (A + B) / 2 + Left * (Chord / 2 / std::tan(Sweep / 2));
                const double R = Distance(A, C);
                AppendArc(P.Points, C, R, std::atan2(A.Y - C.Y, A.X - C.X), Sweep, true);
                Count(P.Points.size());
                P.Points.back() = B;
            } else {
                P.Points.push_back(B);
            }
        }
        if (OpenClosed)
            P.Points.pop_back(); // back at the first vertex
        if (OpenMirrored)
            for (TRealPoint& Q : P.Points)
                Q.X = -Q.X;
        Current->Paths.push_back(std::move(P));
    }

private:
    TBlock* Current = &Model;
    TBlock Discard;
    bool InPaper = false;
    bool Open = false, OpenClosed = false, OpenMirrored = false;
    std::vector<TRealPoint> Vertices;
    std::vector<double> Bulges;

    void Header(const std::string& Key, int Value) {
        if (Key != "$INSUNITS")
            return;
        switch (Value) {
        case 1:
            Units = TDxfUnits::Inches;
            break;
        case 4:
            Units = TDxfUnits::Millimetres;
            break;
        case 5:
            Units = TDxfUnits::Centimetres;
            break;
        case 6:
            Units = TDxfUnits::Metres;
            break;
        default:
            Units.reset();
        }
    }
    bool Discarding() { return InPaper || getAttributes().isInPaperSpace(); }
    void Count(std::size_t N) {
        Points += N;
        if (Points > MaxDxfSegments)
            TooLarge();
    }
    void Dim() { Skip("размер", "dimension"); }
    // Arcs, circles and polylines lie in their own plane; one seen from below is mirrored.
    bool Mirrored() { return getExtrusion()->getDirection()[2] < 0; }
    bool Planar() {
        const double* D = getExtrusion()->getDirection();
        if (std::abs(D[0]) > 1e-9 || std::abs(D[1]) > 1e-9) {
            Skip("объект вне плоскости чертежа", "entity outside the drawing plane");
            return false;
        }
        return true;
    }
    void Mirror(std::vector<TRealPoint>& Pts) {
        if (Mirrored())
            for (TRealPoint& Q : Pts)
                Q.X = -Q.X;
    }
};

struct TResolver {
    TReader& R;
    TDxfDrawing& Out;
    std::map<std::string, TSkip> Missing;

    void Note(const std::string& Russian, const std::string& English) {
        TSkip& S = Missing[English];
        S.Russian = Russian;
        S.English = English;
        ++S.Count;
    }

    // Appends Block placed by the transform T (a point of the block to the drawing).
    void Place(const TBlock& Block, const std::function<TRealPoint(TRealPoint)>& T, double Scale,
               int Depth) {
        for (const TDxfPath& P : Block.Paths) {
            TDxfPath Q{{}, P.Closed};
            for (TRealPoint V : P.Points)
                Q.Points.push_back(T(V));
            Count(Q.Points.size());
            Out.Paths.push_back(std::move(Q));
        }
        for (const TDxfCircle& C : Block.Circles) {
            if (Scale > 0) {
                Count(1);
                Out.Circles.push_back({T(C.Centre), C.Radius * Scale});
            } else {
                Note("окружность в блоке с неравным масштабом по осям",
                     "circle in a block scaled unequally");
            }
        }
        for (const TInsert& I : Block.Inserts) {
            const auto It = R.Blocks.find(I.Name);
            if (It == R.Blocks.end()) {
                Note("блок «" + I.Name + "» не найден", "block " + I.Name + " not found");
                continue;
            }
            if (Depth >= MaxBlockDepth) {
                Note("блок «" + I.Name + "» вложен слишком глубоко",
                     "block " + I.Name + " nested too deep");
                continue;
            }
            const TBlock& B = It->second;
            const double C = std::cos(I.Angle), S = std::sin(I.Angle);
            const auto Inner = [&, I, C, S](TRealPoint V) {
                const TRealPoint L =
                    RealPoint((V.X - B.Base.X) * I.Scale.X, (V.Y - B.Base.Y) * I.Scale.Y);
                return T(I.At + RealPoint(C * L.X - S * L.Y, S * L.X + C * L.Y));
            };
            const bool Uniform =
                std::abs(std::abs(I.Scale.X) - std::abs(I.Scale.Y)) <= 1e-9 * std::abs(I.Scale.X);
            Place(B, Inner, Uniform && Scale > 0 ? Scale * std::abs(I.Scale.X) : -1, Depth + 1);
        }
    }

    std::size_t Points = 0;
    void Count(std::size_t N) {
        Points += N;
        if (Points > MaxDxfSegments)
            TooLarge();
    }
};

// Open paths chained end to end; a chain whose ends meet is closed.
std::vector<TDxfPath> Chain(std::vector<TDxfPath> Paths, double Tol,
                            std::vector<TRealPoint>& Branches) {
    std::vector<TDxfPath> Out;
    std::vector<TDxfPath> Open;
    for (TDxfPath& P : Paths)
        (P.Closed ? Out : Open).push_back(std::move(P));

    // Ends: 2·I is the first point of Open[I], 2·I + 1 the last.
    const std::size_t E = 2 * Open.size();
    const auto End = [&](std::size_t K) {
        const auto& Pts = Open[K / 2].Points;
        return K % 2 ? Pts.back() : Pts.front();
    };
    std::vector<std::size_t> Order(E);
    for (std::size_t K = 0; K < E; ++K)
        Order[K] = K;
    std::sort(Order.begin(), Order.end(),
              [&](std::size_t A, std::size_t B) { return End(A).X < End(B).X; });
    constexpr std::size_t None = static_cast<std::size_t>(-1);
    std::vector<std::size_t> Partner(E, None);
    std::vector<int> Near(E, 0);
    for (std::size_t I = 0; I < E; ++I) {
        for (std::size_t J = I + 1; J < E && End(Order[J]).X - End(Order[I]).X <= Tol; ++J) {
            const std::size_t A = Order[I], B = Order[J];
            if (A / 2 == B / 2 || Distance(End(A), End(B)) > Tol)
                continue;
            ++Near[A];
            ++Near[B];
            Partner[A] = B;
            Partner[B] = A;
        }
    }
    // A path whose two ends meet closes on itself.
    for (std::size_t I = 0; I < Open.size(); ++I)
        if (Partner[2 * I] == None && Partner[2 * I + 1] == None &&
            Distance(End(2 * I), End(2 * I + 1)) <= Tol && Open[I].Points.size() > 2) {
            Partner[2 * I] = 2 * I + 1;
            Partner[2 * I + 1] = 2 * I;
        }
    // Three ends at one point: which two make the chain is not for us to guess.
    for (std::size_t K = 0; K < E; ++K) {
        if (Near[K] > 1) {
            Partner[K] = None;
            if (std::none_of(Branches.begin(), Branches.end(),
                             [&](TRealPoint P) { return Distance(P, End(K)) <= Tol; }))
                Branches.push_back(End(K));
        }
    }

    std::vector<bool> Used(Open.size(), false);
    // Walks from end K of an unused path along partners; Closed when it comes back.
    const auto Walk = [&](std::size_t K) {
        TDxfPath C;
        std::size_t Cur = K;
        for (;;) {
            const std::size_t P = Cur / 2;
            Used[P] = true;
            auto Pts = Open[P].Points;
            if (Cur % 2)
                std::reverse(Pts.begin(), Pts.end());
            C.Points.insert(C.Points.end(), Pts.begin() + (C.Points.empty() ? 0 : 1), Pts.end());
            const std::size_t Far = Cur ^ 1;
            const std::size_t Next = Partner[Far];
            if (Next == None)
                break;
            if (Used[Next / 2]) {
                C.Closed = true;
                C.Points.pop_back(); // the first point again
                break;
            }
            Cur = Next;
        }
        Out.push_back(std::move(C));
    };
    for (std::size_t K = 0; K < E; ++K)
        if (!Used[K / 2] && Partner[K] == None)
            Walk(K);
    for (std::size_t I = 0; I < Open.size(); ++I)
        if (!Used[I])
            Walk(2 * I);
    return Out;
}

bool Inside(const std::vector<TRealPoint>& Poly, TRealPoint P) {
    bool In = false;
    for (std::size_t I = 0, J = Poly.size() - 1; I < Poly.size(); J = I++) {
        const TRealPoint A = Poly[I], B = Poly[J];
        if ((A.Y > P.Y) != (B.Y > P.Y) && P.X < (B.X - A.X) * (P.Y - A.Y) / (B.Y - A.Y) + A.X)
            In = !In;
    }
    return In;
}

double SignedArea(const std::vector<TRealPoint>& Poly) {
    double A = 0;
    for (std::size_t I = 0, J = Poly.size() - 1; I < Poly.size(); J = I++)
        A += Poly[J].X * Poly[I].Y - Poly[I].X * Poly[J].Y;
    return A / 2;
}

// Writes into memory, so that the file goes through the atomic writer.
class TMemoryWriter : public DL_WriterA {
public:
    TMemoryWriter() : DL_WriterA("") {}
    void dxfReal(int Gc, double Value) const override {
        char Buf[64];
        // The shortest text that reads back as the same double, without an exponent.
        const auto R = std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::fixed);
        Pair(Gc, R.ec == std::errc() ? std::string(Buf, R.ptr) : std::string("0"));
    }
    void dxfInt(int Gc, int Value) const override { Pair(Gc, std::to_string(Value)); }
    void dxfHex(int Gc, int Value) const override {
        std::ostringstream S;
        S << std::uppercase << std::hex << Value;
        Pair(Gc, S.str());
    }
    void dxfString(int Gc, const char* Value) const override { Pair(Gc, Value); }
    void dxfString(int Gc, const std::string& Value) const override { Pair(Gc, Value); }

    mutable std::string Text;

private:
    void Pair(int Gc, const std::string& Value) const {
        std::string G = std::to_string(Gc);
        Text += std::string(G.size() < 3 ? 3 - G.size() : 0, ' ') + G + "\n" + Value + "\n";
    }
};

} // namespace

double DxfUnitScale(TDxfUnits Units) {
    switch (Units) {
    case TDxfUnits::Millimetres:
        return 0.001;
    case TDxfUnits::Centimetres:
        return 0.01;
    case TDxfUnits::Inches:
        return 0.0254;
    case TDxfUnits::Metres:
        break;
    }
    return 1.0;
}

std::optional<TDxfUnits> ParseDxfUnits(const std::string& Text) {
    if (Text == "mm")
        return TDxfUnits::Millimetres;
    if (Text == "cm")
        return TDxfUnits::Centimetres;
    if (Text == "m")
        return TDxfUnits::Metres;
    if (Text == "in")
        return TDxfUnits::Inches;
    return std::nullopt;
}

int DxfArcSegments(double Sweep) {
    const double N = std::ceil(std::abs(Sweep) / (Pi / 10) - 1e-9);
    return static_cast<int>(std::clamp(std::isfinite(N) ? N : 20.0, 2.0, 20.0));
}

TDxfUnitsUnknown::TDxfUnitsUnknown()
    : TRefusal("В чертеже не указаны единицы измерения.",
               "the drawing does not give its units ($INSUNITS); give --units mm|cm|m|in") {}

TDxfOpenChains::TDxfOpenChains(int N)
    : TRefusal("Незамкнутых цепочек в чертеже: " + std::to_string(N) +
                   ".\rОни станут полубесконечными областями:\rих крайние отрезки продолжатся "
                   "лучами.",
               std::to_string(N) +
                   " open chain(s) would become semi-infinite regions, their end segments "
                   "continued as rays; give --open-chains semi-infinite to import them so"),
      Count(N) {}

TDxfDrawing ParseDxf(const std::string& Text) {
    TReader R;
    std::istringstream In(Text);
    DL_Dxf Dxf;
    Dxf.in(In, &R);
    R.Flush();

    TDxfDrawing Out;
    Out.Units = R.Units;
    TResolver Res{R, Out, {}};
    Res.Place(
        R.Model, [](TRealPoint P) { return P; }, 1.0, 0);
    for (const TSkip& S : R.Skips) {
        Out.Skipped.push_back(S.Russian + ": " + std::to_string(S.Count));
        Out.SkippedEnglish.push_back(S.English + ": " + std::to_string(S.Count));
    }
    for (const auto& [Key, S] : Res.Missing) {
        Out.Skipped.push_back(S.Russian + (S.Count > 1 ? ": " + std::to_string(S.Count) : ""));
        Out.SkippedEnglish.push_back(S.English +
                                     (S.Count > 1 ? ": " + std::to_string(S.Count) : ""));
    }
    return Out;
}

TDxfDrawing ReadDxfFile(const std::string& FileName) {
    const std::vector<std::uint8_t> Bytes = ReadWholeFile(FileName);
    return ParseDxf(std::string(Bytes.begin(), Bytes.end()));
}

TEdges ImportDxf(const TDxfDrawing& Drawing, const TDxfImportOptions& Options, const TEdges& Base,
                 const TEdgeSegment& Defaults) {
    std::vector<std::string> Ru = Drawing.Skipped, En = Drawing.SkippedEnglish;
    const auto Fail = [&]() {
        std::string R = "Невозможно импортировать чертёж:", E = "cannot import the drawing:";
        for (const auto& L : Ru)
            R += "\r" + L;
        for (const auto& L : En)
            E += "\r" + L;
        throw TRefusal(R, E);
    };
    if (Drawing.Paths.empty() && Drawing.Circles.empty()) {
        Ru.push_back("в нём нет отрезков, полилиний, дуг и окружностей");
        En.push_back("it holds no lines, polylines, arcs or circles");
        Fail();
    }
    if (!(Options.Tolerance >= 0 && Options.Tolerance <= 1))
        throw TRefusal("Допуск стыковки должен быть от 0 до 1 м.",
                       "the tolerance must lie within 0 to 1 m");
    const std::optional<TDxfUnits> Units = Options.Units ? Options.Units : Drawing.Units;
    if (!Units)
        throw TDxfUnitsUnknown();
    const double K = DxfUnitScale(*Units);
    const double Tol = Options.Tolerance;

    bool Outside = false;
    const auto Scaled = [&](TRealPoint P) {
        const TRealPoint Q = K * P;
        if (!Finite(Q) || std::abs(Q.X) > MaxCoordinate || std::abs(Q.Y) > MaxCoordinate)
            Outside = true;
        return Q;
    };
    std::vector<TDxfPath> Paths;
    for (const TDxfPath& P : Drawing.Paths) {
        TDxfPath Q{{}, P.Closed};
        for (const TRealPoint V : P.Points) {
            const TRealPoint S = Scaled(V);
            // Vertices closer than the tolerance are one.
            if (Q.Points.empty() || Distance(Q.Points.back(), S) > Tol)
                Q.Points.push_back(S);
        }
        if (Q.Closed && Q.Points.size() > 1 && Distance(Q.Points.front(), Q.Points.back()) <= Tol)
            Q.Points.pop_back();
        if (Q.Points.size() > 1)
            Paths.push_back(std::move(Q));
    }
    std::vector<TDxfCircle> Circles;
    for (const TDxfCircle& C : Drawing.Circles)
        Circles.push_back({Scaled(C.Centre), K * C.Radius});
    if (Outside) {
        Ru.push_back("координаты за пределами ±1e6 м");
        En.push_back("coordinates beyond ±1e6 m");
        Fail();
    }

    std::vector<TRealPoint> Branches;
    std::vector<TDxfPath> Chains = Chain(std::move(Paths), Tol, Branches);
    for (const TRealPoint P : Branches) {
        Ru.push_back("цепочка ветвится у точки " + At(P, true));
        En.push_back("the chain branches at " + At(P, false));
    }
    // The first vertex of every item, for the enclosure test.
    std::vector<TRealPoint> Marks;
    for (const TDxfPath& C : Chains)
        Marks.push_back(C.Points.front());
    for (const TDxfCircle& C : Circles)
        Marks.push_back(C.Centre);
    for (const TEdge& E : Base.Items)
        if (E.Count() > 0)
            Marks.push_back(E.FirstSegment().P1);

    TEdges Work = Base;
    int OpenCount = 0;
    for (std::size_t I = 0; I < Chains.size(); ++I) {
        TDxfPath& C = Chains[I];
        const TRealPoint Where = C.Points.front();
        try {
            if (C.Closed) {
                if (C.Points.size() < 3) {
                    Ru.push_back("замкнутая цепочка у точки " + At(Where, true) +
                                 " имеет менее трёх вершин");
                    En.push_back("the closed chain at " + At(Where, false) +
                                 " has fewer than three vertices");
                    continue;
                }
                bool Encloses = Marks.size() == 1;
                for (std::size_t J = 0; J < Marks.size() && !Encloses; ++J)
                    Encloses = J != I && Inside(C.Points, Marks[J]);
                // Air lies on the right: clockwise for an enclosure, the other way for a body.
                if ((SignedArea(C.Points) < 0) != Encloses)
                    std::reverse(C.Points.begin(), C.Points.end());
                AddClosedRegion(Work, C.Points, Defaults);
            } else {
                ++OpenCount;
                // A single segment cannot be finished as a semi-infinite region; its middle
                // makes the second.
                if (C.Points.size() == 2)
                    C.Points.insert(C.Points.begin() + 1, (C.Points[0] + C.Points[1]) / 2);
                AddSemiInfiniteRegion(Work, C.Points, Defaults);
            }
        } catch (const TRefusal&) {
            Ru.push_back((C.Closed ? "замкнутая" : "незамкнутая") +
                         std::string(" цепочка у точки ") + At(Where, true) +
                         " пересекает другую границу или саму себя");
            En.push_back((C.Closed ? "the closed" : "the open") + std::string(" chain at ") +
                         At(Where, false) + " crosses another boundary or itself");
        }
    }
    for (const TDxfCircle& C : Circles) {
        try {
            AddCylinder(Work, C.Centre, C.Radius, Defaults);
        } catch (const TRefusal&) {
            Ru.push_back("окружность с центром " + At(C.Centre, true) + " задевает другую границу");
            En.push_back("the circle centred at " + At(C.Centre, false) +
                         " reaches another boundary");
        }
    }
    if (!Ru.empty())
        Fail();
    if (OpenCount > 0 && !Options.OpenChainsSemiInfinite)
        throw TDxfOpenChains(OpenCount);
    return Work;
}

std::string DxfText(const TEdges& Model) {
    DL_Dxf Dxf;
    TMemoryWriter W;
    const DL_Attributes Plain(DxfBoundaryLayer, 256, -1, "BYLAYER", 1.0);
    const DL_Attributes Suction(DxfSuctionLayer, 256, -1, "BYLAYER", 1.0);

    Dxf.writeHeader(W);
    W.dxfString(9, "$INSUNITS");
    W.dxfInt(70, 6); // metres
    W.sectionEnd();
    W.sectionTables();
    Dxf.writeVPort(W);
    W.tableLinetypes(3);
    Dxf.writeLinetype(W, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    Dxf.writeLinetype(W, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    Dxf.writeLinetype(W, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    W.tableEnd();
    W.tableLayers(3);
    Dxf.writeLayer(W, DL_LayerData("0", 0), DL_Attributes("", 7, 0, "CONTINUOUS", 1.0));
    Dxf.writeLayer(W, DL_LayerData(DxfBoundaryLayer, 0),
                   DL_Attributes("", 7, 0, "CONTINUOUS", 1.0));
    Dxf.writeLayer(W, DL_LayerData(DxfSuctionLayer, 0), DL_Attributes("", 1, 0, "CONTINUOUS", 1.0));
    W.tableEnd();
    W.tableStyle(1);
    Dxf.writeStyle(W, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 2.5, "txt", ""));
    W.tableEnd();
    Dxf.writeView(W);
    Dxf.writeUcs(W);
    W.tableAppid(1);
    Dxf.writeAppid(W, "ACAD");
    W.tableEnd();
    Dxf.writeDimStyle(W, 1, 1, 1, 1, 1);
    Dxf.writeBlockRecord(W);
    W.tableEnd();
    W.sectionEnd();
    W.sectionBlocks();
    Dxf.writeBlock(W, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
    Dxf.writeEndBlock(W, "*Model_Space");
    Dxf.writeBlock(W, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
    Dxf.writeEndBlock(W, "*Paper_Space");
    W.sectionEnd();

    W.sectionEntities();
    const auto Polyline = [&](const std::vector<TRealPoint>& Pts, bool Closed, bool IsSuction) {
        Dxf.writePolyline(W, DL_PolylineData(static_cast<int>(Pts.size()), 0, 0, Closed ? 1 : 0),
                          IsSuction ? Suction : Plain);
        for (const TRealPoint P : Pts)
            Dxf.writeVertex(W, DL_VertexData(P.X, P.Y, 0.0, 0.0));
        Dxf.writePolylineEnd(W);
    };
    for (const TEdge& E : Model.Items) {
        if (E.Kind == ekCylinder) {
            const TEdgeSegment S = E.FirstSegment();
            Dxf.writeCircle(W, DL_CircleData(S.P1.X, S.P1.Y, 0.0, S.P2.X), Plain);
            continue;
        }
        const auto IsSuction = [&](int J) { return E.Segments[static_cast<std::size_t>(J)].V > 0; };
        const int N = E.Count();
        bool Mixed = false;
        for (int J = 1; J < N; ++J)
            Mixed = Mixed || IsSuction(J) != IsSuction(0);
        if (!Mixed) {
            std::vector<TRealPoint> Pts;
            for (const TEdgeSegment& S : E.Segments)
                Pts.push_back(S.P1);
            const bool Closed = E.Kind == ekClosed;
            if (!Closed)
                Pts.push_back(E.LastSegment().P2);
            Polyline(Pts, Closed, N > 0 && IsSuction(0));
            continue;
        }
        // Runs of walls and of openings, each a polyline of its layer; their ends meet.
        int Start = 0;
        if (E.Kind == ekClosed)
            while (IsSuction(Start) == IsSuction((Start + N - 1) % N))
                ++Start;
        for (int Done = 0; Done < N;) {
            const int First = (Start + Done) % N;
            std::vector<TRealPoint> Pts{E.Segments[static_cast<std::size_t>(First)].P1};
            int J = First;
            do {
                Pts.push_back(E.Segments[static_cast<std::size_t>(J)].P2);
                ++Done;
                J = (J + 1) % N;
            } while (Done < N && IsSuction(J) == IsSuction(First) && J != Start);
            Polyline(Pts, false, IsSuction(First));
        }
    }
    W.sectionEnd();
    Dxf.writeObjects(W);
    Dxf.writeObjectsEnd(W);
    W.dxfEOF();
    return W.Text;
}

void ExportDxfFile(const TEdges& Model, const std::string& FileName) {
    const std::string Text = DxfText(Model);
    WriteFileAtomic(FileName,
                    std::span(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()));
}

} // namespace kalvex
