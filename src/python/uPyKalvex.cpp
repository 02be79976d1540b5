// kalvex._core: the core from Python. Every call goes to the function the window or
// kalvex-calc uses for the same job; this file only converts arguments and results,
// releases the GIL around long work and turns Ctrl+C into the core's stop request.
#include "canvas/uAddEdges.h"
#include "document/uDocument.h"
#include "document/uPropertyEdit.h"
#include "document/uWizard.h"
#include "geometry/uEdges.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"
#include "optimise/uTaskPoint.h"
#include "results/uContour.h"
#include "results/uDrawLines.h"
#include "results/uEfficiency.h"
#include "results/uFlowLines.h"
#include "results/uParticle.h"
#include "solver/uCountEdges.h"
#include "solver/uDiscretization.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;

namespace kalvex {
namespace {

PyObject* KalvexErrorType = nullptr;
PyObject* RefusalType = nullptr;
PyObject* StoppedType = nullptr;

using TXY = std::array<double, 2>;

TRealPoint Pt(const TXY& P) {
    return {P[0], P[1]};
}

py::tuple Tuple(TRealPoint P) {
    return py::make_tuple(P.X, P.Y);
}

std::vector<TRealPoint> Points(const std::vector<TXY>& V) {
    std::vector<TRealPoint> Out;
    Out.reserve(V.size());
    for (const TXY& P : V)
        Out.push_back(Pt(P));
    return Out;
}

[[noreturn]] void Refuse(const std::string& Text, const std::string& English = {}) {
    throw TRefusal(Text, English);
}

// ---------------------------------------------------------------- Ctrl+C and progress

// The hooks of one long call. The core calls them on the calling thread with the GIL
// released; they take it back to look for a signal or to report progress. The first
// Python exception (KeyboardInterrupt from Ctrl+C, or one raised by the progress
// callback) asks the core to stop; the call then returns what it has so far and
// Raise() turns that into the exception.
class TPyRun {
public:
    TPyRun(py::object Progress, std::function<void()> Stop)
        : FProgress(std::move(Progress)), FStop(std::move(Stop)) {}

    void Check() {
        py::gil_scoped_acquire Gil;
        if (!FError && PyErr_CheckSignals() != 0)
            Fail();
    }
    void Report(int Done, int Total) {
        py::gil_scoped_acquire Gil;
        if (FError || FProgress.is_none())
            return;
        try {
            FProgress(Done, Total);
        } catch (py::error_already_set& E) {
            E.restore();
            Fail();
        }
    }
    bool Failed() const { return FError != nullptr; }
    // With the GIL held: raises kalvex.Stopped carrying Partial after Ctrl+C, or the
    // callback's own exception.
    void Raise(const py::object& Partial) {
        if (!FError)
            return;
        if (FError->matches(PyExc_KeyboardInterrupt)) {
            py::object E = py::handle(StoppedType)("stopped; the results so far are in .partial");
            E.attr("partial") = Partial;
            FError.reset();
            PyErr_SetObject(StoppedType, E.ptr());
            throw py::error_already_set();
        }
        FError->restore();
        FError.reset();
        throw py::error_already_set();
    }
    TEventPump Pump() {
        return [this] { Check(); };
    }

private:
    void Fail() {
        FError = std::make_unique<py::error_already_set>();
        FStop();
    }
    py::object FProgress;
    std::function<void()> FStop;
    std::unique_ptr<py::error_already_set> FError;
};

// Sets an evaluator's hooks for one call and takes them off again.
class TEvaluatorHooks {
public:
    TEvaluatorHooks(TCountEdges& E, TPyRun& Run) : FE(E) {
        E.Stopped = false;
        E.ProcessEvents = Run.Pump();
        E.ProgressBar = [&Run](int Done, int Total) { Run.Report(Done, Total); };
    }
    ~TEvaluatorHooks() {
        FE.ProcessEvents = nullptr;
        FE.ProgressBar = nullptr;
    }
    TEvaluatorHooks(const TEvaluatorHooks&) = delete;
    TEvaluatorHooks& operator=(const TEvaluatorHooks&) = delete;

private:
    TCountEdges& FE;
};

// ---------------------------------------------------------------- results as NumPy

py::array_t<double> PathArray(const TColorPointArray& Line) {
    py::array_t<double> A({static_cast<py::ssize_t>(Line.size()), py::ssize_t{2}});
    auto W = A.mutable_unchecked<2>();
    for (std::size_t K = 0; K < Line.size(); ++K) {
        W(static_cast<py::ssize_t>(K), 0) = Line[K].Position.X;
        W(static_cast<py::ssize_t>(K), 1) = Line[K].Position.Y;
    }
    return A;
}

py::array_t<std::uint32_t> ColorArray(const TColorPointArray& Line) {
    py::array_t<std::uint32_t> A(static_cast<py::ssize_t>(Line.size()));
    auto W = A.mutable_unchecked<1>();
    for (std::size_t K = 0; K < Line.size(); ++K)
        W(static_cast<py::ssize_t>(K)) = Line[K].Color;
    return A;
}

std::size_t TotalPoints(const TDrawLines& Store, std::size_t From = 0) {
    std::size_t N = 0;
    for (std::size_t L = From; L < Store.Lines.size(); ++L)
        N += Store.Lines[L].size();
    return N;
}

// "lines" and "points" as kalvex-calc prints them, with the polylines and colours.
py::dict LinesDict(const TDrawLines& Store, std::size_t From = 0) {
    py::list Paths;
    py::list Colors;
    for (std::size_t L = From; L < Store.Lines.size(); ++L) {
        Paths.append(PathArray(Store.Lines[L]));
        Colors.append(ColorArray(Store.Lines[L]));
    }
    py::dict D;
    D["lines"] = Store.Lines.size() - From;
    D["points"] = TotalPoints(Store, From);
    D["paths"] = Paths;
    D["colors"] = Colors;
    return D;
}

// ---------------------------------------------------------------- the system

// The window's file commands without a window: the path is the answer to the save
// dialog, a message box becomes the exception.
class TScriptUi final : public TDocumentUi {
public:
    explicit TScriptUi(std::string Path) : FPath(std::move(Path)) {}
    TSaveAnswer AskSaveChanges(const std::string&) override { return TSaveAnswer::No; }
    std::optional<std::string> AskOpenName(const std::string&) override { return FPath; }
    std::optional<std::string> AskSaveName(const std::string&) override { return FPath; }
    void ShowMessage(const std::string& Text) override {
        if (FMessage.empty())
            FMessage = Text;
    }
    void ThrowIfTold() const {
        if (!FMessage.empty())
            throw TKalvexError(FMessage);
    }

private:
    std::string FPath;
    std::string FMessage;
};

// The document makes its file's folder the working folder, as the window wants; a
// script's own working folder stays where it was.
class TKeepWorkingFolder {
public:
    TKeepWorkingFolder() : Dir(std::filesystem::current_path(Ec)) {}
    ~TKeepWorkingFolder() {
        std::error_code E;
        if (!Ec)
            std::filesystem::current_path(Dir, E);
    }
    TKeepWorkingFolder(const TKeepWorkingFolder&) = delete;
    TKeepWorkingFolder& operator=(const TKeepWorkingFolder&) = delete;

private:
    std::error_code Ec;
    std::filesystem::path Dir;
};

TEdges LoadSystem(const std::string& Path) {
    const TKeepWorkingFolder Keep;
    TDocument Doc;
    TScriptUi Ui(Path);
    Doc.OpenFile(Path, Ui);
    Ui.ThrowIfTold();
    return Doc.Canvas().Edges;
}

void SaveSystem(const TEdges& Model, const std::string& Path) {
    const TKeepWorkingFolder Keep;
    TDocument Doc;
    Doc.Canvas().SetModel(Model);
    TScriptUi Ui(Path);
    const bool Saved = Doc.SaveAs(Ui);
    Ui.ThrowIfTold();
    if (!Saved)
        throw TKalvexError("Файл не сохранен.");
}

// An edit through the property windows' rules: the part selected in a document on a
// copy of the model, the rule applied, its messages raised, the copy taken back.
template <class TApply> void EditAsWindow(TEdges& Model, const THitResult& Sel, TApply&& Apply) {
    TDocument Doc;
    Doc.Canvas().SetModel(Model);
    Doc.Canvas().SetEditEnabled(true);
    if (!Doc.Canvas().Select(Sel))
        Refuse("Невозможно выбрать эту часть границы.", "no such part of the boundary");
    const TApplyOutcome Out = Apply(Doc);
    if (!Out.Messages.empty()) {
        std::string Text;
        for (const std::string& M : Out.Messages)
            Text += (Text.empty() ? "" : "\r") + M;
        Refuse(Text);
    }
    Model = Doc.Canvas().Edges;
}

TCylinderInput CylinderFields(const TEdge& E) {
    const TEdgeSegment S0 = E.GetSegment(0);
    const TEdgeSegment S1 = E.GetSegment(1);
    TCylinderInput In;
    In.X = S0.P1.X;
    In.Y = S0.P1.Y;
    In.Radius = S0.P2.X;
    In.TurnSpeed = S0.V;
    In.Slit = S0.HasSlit();
    In.Ang1 = S1.P1.X;
    In.Ang2 = S1.P1.Y;
    In.SlitSpeed = S1.V;
    return In;
}

void SetCylinder(TEdges& Model, int Index, const TCylinderInput& In) {
    EditAsWindow(Model, {skCylinder, Index, 0},
                 [&](TDocument& Doc) { return ApplyCylinderFields(Doc, In); });
}

void SetVelocity(TEdges& Model, int Edge, int Segment, double V) {
    const TEdge& E = Model.Item(Edge);
    E.GetSegment(Segment); // an index outside the boundary is refused here
    if (E.Kind != ekCylinder) {
        EditAsWindow(Model, {skSegment, Edge, Segment},
                     [&](TDocument& Doc) { return ApplySegmentSpeed(Doc, V); });
        return;
    }
    TCylinderInput In = CylinderFields(E);
    if (Segment == 0) {
        In.TurnSpeed = V;
    } else {
        if (!In.Slit)
            Refuse("Ошибка при вводе параметров щели.", "the cylinder has no slit");
        In.SlitSpeed = V;
    }
    SetCylinder(Model, Edge, In);
}

double Balance(TEdges& Model, int Edge, int Segment) {
    const TEdge& E = Model.Item(Edge);
    E.GetSegment(Segment);
    const bool Cylinder = E.Kind == ekCylinder;
    TDocument Doc;
    Doc.Canvas().SetModel(Model);
    Doc.Canvas().Select({Cylinder ? skCylinder : skSegment, Edge, Cylinder ? 0 : Segment});
    if (!Doc.EditCommands().AutoSpeed)
        Refuse("Автоподбор скорости невозможен для этой границы.",
               "automatic velocity needs a model without semi-infinite regions and a segment "
               "or a slit cylinder");
    Doc.AutoSelectSpeed();
    Model = Doc.Canvas().Edges;
    return Model.Item(Edge).GetSegment(Cylinder ? 1 : Segment).V;
}

const char* KindName(TEdgeKind K) {
    return K == ekClosed ? "closed" : K == ekSemiInfinite ? "semi-infinite" : "cylinder";
}

py::dict BoundaryDict(const TEdge& E) {
    py::dict D;
    D["kind"] = KindName(E.Kind);
    if (E.Kind == ekCylinder) {
        const TEdgeSegment S0 = E.GetSegment(0);
        const TEdgeSegment S1 = E.GetSegment(1);
        D["centre"] = Tuple(S0.P1);
        D["radius"] = S0.P2.X;
        D["rotation"] = S0.V;
        D["slit"] = S0.HasSlit() ? py::object(py::make_tuple(S1.P1.X, S1.P1.Y, S1.V))
                                 : py::object(py::none());
        return D;
    }
    py::list Segments;
    for (const TEdgeSegment& S : E.Segments) {
        py::dict Seg;
        Seg["p1"] = Tuple(S.P1);
        Seg["p2"] = Tuple(S.P2);
        Seg["v"] = S.V;
        Segments.append(Seg);
    }
    D["segments"] = Segments;
    return D;
}

// What kalvex-calc info prints, under its names.
py::dict Info(const TEdges& Edges) {
    int Segments = 0;
    for (const TEdge& E : Edges.Items)
        Segments += E.Count();
    py::dict D;
    D["boundaries"] = Edges.Count();
    D["segments"] = Segments;
    D["total_flow"] = Edges.TotalFlow();
    D["valid"] = Edges.IsValid();
    D["has_semi_infinite"] = Edges.HasSemiInfinite();
    D["inflow_count"] = Edges.InflowCount();
    if (Edges.Count() == 0) {
        D["bounds"] = py::none();
    } else {
        TRealPoint TopLeft;
        TRealPoint BottomRight;
        Edges.GetBounds(TopLeft, BottomRight);
        D["bounds"] = py::make_tuple(TopLeft.X, TopLeft.Y, BottomRight.X, BottomRight.Y);
    }
    return D;
}

// ---------------------------------------------------------------- discretised system

TSolverKind SolverKind(const std::string& Name) {
    if (Name == "auto")
        return TSolverKind::skAuto;
    if (Name == "lu")
        return TSolverKind::skDirect;
    if (Name == "iterative")
        return TSolverKind::skIterative;
    if (Name == "fmm")
        return TSolverKind::skFmm;
    throw py::value_error("solver: expected 'auto', 'lu', 'iterative' or 'fmm', got '" + Name +
                          "'");
}

int ThreadsArg(int Threads) {
    if (Threads < 0)
        throw py::value_error("threads: expected 0 (every core) or a count of at least 1");
    return Threads;
}

TDiscretizationSettings Settings(const std::string& Method, double BaseLength, double Scaler,
                                 double CylStep, double InfiniteScaler, int InfiniteCount) {
    TDiscretizationSettings S;
    if (Method == "graded")
        S.Graded = true;
    else if (Method == "equal")
        S.Graded = false;
    else
        throw py::value_error("method: expected 'graded' or 'equal', got '" + Method + "'");
    S.Step = BaseLength;
    S.Scaler = Scaler;
    S.CylStep = CylStep;
    S.InfiniteScaler = InfiniteScaler;
    S.InfiniteCount = InfiniteCount;
    return S;
}

// The refusals of a model no flow is computed for: boundaries that cross, as
// kalvex-calc refuses them, and an unbalanced flow, as the window refuses it.
void RequireComputable(const TEdges& Model) {
    if (!Model.IsValid())
        Refuse(MsgBoundaryCrosses, "the boundaries of this model cross; no flow can be "
                                   "computed for it");
    if (const auto Why = BalanceRefusal(Model))
        Refuse(*Why);
}

class TDiscretized {
public:
    TDiscretized(const TEdges& M, const TDiscretizationSettings& S, TSolverKind Kind, int Threads)
        : Model(M), Counter(std::make_unique<TCountEdges>()) {
        RequireComputable(Model);
        {
            py::gil_scoped_release NoGil;
            Discretize(Counter->Elements, Model, S);
        }
        Counter->ClearIntensities();
        Counter->SolverKind = Kind;
        Counter->Threads = Threads;
    }

    TEdges Model;
    std::unique_ptr<TCountEdges> Counter;

    void Solve() {
        py::gil_scoped_release NoGil;
        Counter->EnsureSolved();
    }

    // Runs Work with the hooks set and the GIL released; then raises what stopped it.
    template <class TWork, class TPartial>
    void Run(const py::object& Progress, TWork&& Work, TPartial&& Partial) {
        TPyRun R(Progress, [this] { Counter->StopBuilding(); });
        {
            TEvaluatorHooks Hooks(*Counter, R);
            py::gil_scoped_release NoGil;
            Work();
        }
        if (R.Failed())
            R.Raise(Partial());
    }

    py::tuple Velocity(const py::object& X, const py::object& Y, const py::object& Progress) {
        py::module_ Np = py::module_::import("numpy");
        const py::tuple B = Np.attr("broadcast_arrays")(Np.attr("asarray")(X, "float64"),
                                                        Np.attr("asarray")(Y, "float64"));
        using TArr = py::array_t<double, py::array::c_style | py::array::forcecast>;
        const TArr XA(B[0]);
        const TArr YA(B[1]);
        std::vector<py::ssize_t> Shape(XA.shape(), XA.shape() + XA.ndim());
        TArr VX(Shape);
        TArr VY(Shape);
        const std::size_t N = static_cast<std::size_t>(XA.size());
        const std::span<const double> Xs(XA.data(), N);
        const std::span<const double> Ys(YA.data(), N);
        const std::span<double> VXs(VX.mutable_data(), N);
        const std::span<double> VYs(VY.mutable_data(), N);
        const auto Result = [&] {
            if (XA.ndim() == 0)
                return py::make_tuple(VX.attr("item")(), VY.attr("item")());
            return py::make_tuple(VX, VY);
        };
        Run(
            Progress, [&] { VelocitiesAt(*Counter, Xs, Ys, VXs, VYs); }, Result);
        return Result();
    }

    py::dict Field(const std::array<double, 4>& Box, int NX, int NY, const py::object& Progress) {
        TFieldGrid G;
        G.Min = {std::min(Box[0], Box[2]), std::min(Box[1], Box[3])};
        G.Max = {std::max(Box[0], Box[2]), std::max(Box[1], Box[3])};
        G.NX = NX;
        G.NY = NY;
        const auto Result = [&] {
            py::array_t<double> XA({NY, NX}), YA({NY, NX}), VX({NY, NX}), VY({NY, NX});
            py::array_t<bool> Air({NY, NX});
            auto Xw = XA.mutable_unchecked<2>();
            auto Yw = YA.mutable_unchecked<2>();
            auto VXw = VX.mutable_unchecked<2>();
            auto VYw = VY.mutable_unchecked<2>();
            auto Aw = Air.mutable_unchecked<2>();
            for (int J = 0; J < G.NY; ++J)
                for (int I = 0; I < G.NX; ++I) {
                    const TRealPoint P = G.Node(I, J);
                    const std::size_t K = G.Index(I, J);
                    Xw(J, I) = P.X;
                    Yw(J, I) = P.Y;
                    VXw(J, I) = K < G.V.size() ? G.V[K].X : 0.0;
                    VYw(J, I) = K < G.V.size() ? G.V[K].Y : 0.0;
                    Aw(J, I) = K < G.Air.size() && G.Air[K] != 0;
                }
            py::dict D;
            D["x"] = XA;
            D["y"] = YA;
            D["vx"] = VX;
            D["vy"] = VY;
            D["air"] = Air;
            return D;
        };
        Run(
            Progress, [&] { SampleField(*Counter, Model, G); }, Result);
        return Result();
    }

    py::dict FlowLines(double Interval, double Step, double Length, const std::string& From,
                       const py::object& Progress) {
        if (From != "sinks" && From != "sources")
            throw py::value_error("start: expected 'sinks' or 'sources'");
        TDrawLines Store;
        TLinesOutcome Outcome;
        const auto Result = [&] {
            py::dict D = LinesDict(Store);
            D["cut_lines"] = Outcome.CutLines;
            D["store_full"] = Outcome.StoreFull;
            return D;
        };
        Run(
            Progress,
            [&] {
                Outcome = BuildFieldOfLines(*Counter, Model, Store, Interval, Step, Length,
                                            From == "sinks");
            },
            Result);
        return Result();
    }

    py::dict FlowLine(const TXY& Start, double Step, double Length, const std::string& To,
                      const py::object& Progress) {
        if (To != "sink" && To != "source")
            throw py::value_error("to: expected 'sink' or 'source'");
        TDrawLines Store;
        bool Cut = false;
        const auto Result = [&] {
            py::dict D;
            const TColorPointArray Empty;
            const TColorPointArray& Line = Store.Lines.empty() ? Empty : Store.Lines.back();
            D["points"] = Line.size();
            D["end"] = Line.empty() ? py::object(py::none()) : Tuple(Line.back().Position);
            D["path"] = PathArray(Line);
            D["colors"] = ColorArray(Line);
            D["cut"] = Cut;
            return D;
        };
        Run(
            Progress,
            [&] {
                Cut =
                    BuildSingleLine(*Counter, Model, Store, Pt(Start), Step, Length, To == "sink");
            },
            Result);
        return Result();
    }

    py::dict Particle(const TParticleParams& P, const py::object& Progress) {
        if (const auto Fault = CheckParticleParams(P))
            Refuse(Fault->Russian, Fault->Key + ": " + Fault->Message);
        // The slits of the model turn along, as kalvex-calc turns its model.
        Counter->Model = &Model;
        TDrawLines Store;
        TParticleResult R;
        const auto Result = [&] {
            py::dict D;
            const TColorPointArray Empty;
            const TColorPointArray& Line = Store.Lines.empty() ? Empty : Store.Lines.back();
            D["time"] = R.Time;
            D["caught"] = R.End == TParticleEnd::peCaught;
            D["points"] = Line.size();
            D["end"] = Line.empty() ? py::object(py::none()) : Tuple(Line.back().Position);
            D["path"] = PathArray(Line);
            D["colors"] = ColorArray(Line);
            D["start_re"] = R.StartRe;
            D["cut"] = R.PointLimit;
            return D;
        };
        try {
            Run(
                Progress, [&] { R = BuildParticleTrace(*Counter, Store, P); }, Result);
        } catch (...) {
            Counter->Model = nullptr;
            throw;
        }
        Counter->Model = nullptr;
        return Result();
    }

    py::dict Contour(double Speed, const std::optional<std::array<double, 4>>& Box, int Cells,
                     const py::object& Progress) {
        TContourParams P;
        P.Speed = Speed;
        P.Cells = Cells;
        if (Box) {
            P.Corner1 = {(*Box)[0], (*Box)[1]};
            P.Corner2 = {(*Box)[2], (*Box)[3]};
        } else {
            DefaultContourBox(Model, P.Corner1, P.Corner2);
        }
        TDrawLines Store;
        TContourOutcome Outcome;
        const auto Result = [&] {
            py::dict D = LinesDict(Store);
            D["lines"] = Outcome.Lines;
            D["points"] = Outcome.Points;
            return D;
        };
        Run(
            Progress, [&] { Outcome = BuildSpeedContour(*Counter, Model, Store, P); }, Result);
        return Result();
    }

    py::dict Efficiency(TEfficiencyParams P, const py::object& Progress) {
        CheckEfficiencyParams(P);
        TEfficiencyOutcome R;
        const auto Result = [&] {
            py::list Rows;
            py::list Edges;
            for (const TEfficiencyRow& Row : R.Rows) {
                for (const TCaptureEdge& E : Row.Edges) {
                    py::dict Ed;
                    Ed["d"] = Row.D;
                    Ed["point"] = Tuple(E.Point);
                    Ed["change"] = E.CaughtBefore ? "caught-missed" : "missed-caught";
                    Edges.append(Ed);
                }
                if (Row.Total == 0)
                    continue;
                py::dict D;
                D["d"] = Row.D;
                D["caught"] = Row.Caught;
                D["total"] = Row.Total;
                D["fraction"] = static_cast<double>(Row.Caught) / Row.Total;
                Rows.append(D);
            }
            py::dict D;
            D["rows"] = Rows;
            D["edges"] = Edges;
            return D;
        };
        Run(
            Progress, [&] { R = CaptureEfficiency(*Counter, P); }, Result);
        return Result();
    }
};

TParticleParams ParticleArgs(const TXY& Start, const TXY& StartV, double D, double RhoAir,
                             double Rho, double Mu, double Chi, double Restitution, double Friction,
                             double H, double TMax) {
    TParticleParams P;
    P.Start = Pt(Start);
    P.StartVelocity = Pt(StartV);
    P.D = D;
    P.RhoAir = RhoAir;
    P.RhoParticle = Rho;
    P.Mu = Mu;
    P.Chi = Chi;
    P.Restitution = Restitution;
    P.Friction = Friction;
    P.H = H;
    P.TMax = TMax;
    return P;
}

// ---------------------------------------------------------------- the search

py::dict Optimize(const TEdges& Model, TOptTask Task, const py::dict& Discretization,
                  const std::string& Solver, int Threads, const py::object& Progress) {
    RequireComputable(Model);
    // Options given here take over from the task file, one by one.
    TDiscretizationSettings& D = Task.Discretization;
    for (const auto& [Key, Value] : Discretization) {
        const std::string K = py::str(Key);
        if (Value.is_none())
            continue;
        if (K == "method")
            D.Graded = Settings(Value.cast<std::string>(), 1, 1, 1, 1, 1).Graded;
        else if (K == "base_length")
            D.Step = Value.cast<double>();
        else if (K == "scaler")
            D.Scaler = Value.cast<double>();
        else if (K == "cyl_step")
            D.CylStep = Value.cast<double>();
        else if (K == "infinite_scaler")
            D.InfiniteScaler = Value.cast<double>();
        else if (K == "infinite_count")
            D.InfiniteCount = Value.cast<int>();
    }
    TOptimizeEdges Search;
    PrepareSearch(Model, Task, Search);
    Search.Evaluator.Threads = ThreadsArg(Threads);
    Search.Evaluator.SolverKind = SolverKind(Solver);
    TRealArray Best;
    double BestValue = 0.0;
    int Caught = 0;
    bool Evaluated = false;
    TPyRun R(Progress, [&Search] { Search.StopSearch(); });
    Search.ProcessEvents = R.Pump();
    Search.OnProgress = [&R](int Evaluations, double) { R.Report(Evaluations, 0); };
    {
        py::gil_scoped_release NoGil;
        Search.Discretize();
        Evaluated = Task.Task == 0
                        ? Search.OptimizeSpeed(Task.Speed, BestValue, Best)
                        : Search.OptimizeParticles(Task.Particles, Task.Task == 2, Best, Caught);
    }
    const auto Result = [&] {
        py::dict Out;
        std::string Report =
            SearchReport(Task.Task, Search.Params, Best, BestValue, Caught, '.', Task.Speed.Speed);
        py::list Lines;
        std::size_t From = 0;
        while (From < Report.size()) {
            std::size_t To = Report.find('\r', From);
            if (To == std::string::npos)
                To = Report.size();
            Lines.append(Report.substr(From, To - From));
            From = To + 1;
        }
        Out["report"] = Lines;
        Out["best"] = Best;
        if (Task.Task == 0)
            Out["value"] = BestValue;
        else
            Out["caught"] = Caught;
        Out["evaluations"] = Search.Evaluations;
        Out["stopped"] = Search.Stopped;
        return Out;
    };
    if (R.Failed())
        R.Raise(Evaluated ? py::object(Result()) : py::object(py::none()));
    if (!Evaluated)
        Refuse("Не найдено ни одной пригодной модели.",
               "no usable model was found: at the best point the boundaries cross, or its "
               "discretisation or solve fails");
    return Result();
}

// A system as the bytes of its file, so that it travels to a study's workers.
py::bytes SystemBytes(const TEdges& E) {
    TByteWriter W;
    E.SaveToStream(W);
    return {reinterpret_cast<const char*>(W.Bytes.data()), W.Bytes.size()};
}

TEdges SystemFromBytes(const py::bytes& B) {
    const std::string S = B;
    const std::vector<std::uint8_t> Bytes(S.begin(), S.end());
    TEdges E;
    TByteReader R(Bytes);
    E.LoadFromStream(R);
    return E;
}

py::dict TaskPoint(const TEdges& Model, const std::string& Json,
                   const std::map<std::string, double>& Values, int Threads,
                   const std::string& Solver) {
    const TOptTask Task = ParseOptTask(Json);
    const TSolverKind Kind = SolverKind(Solver);
    TTaskPoint P;
    {
        py::gil_scoped_release NoGil;
        P = EvaluateTaskPoint(Model, Task, Values, ThreadsArg(Threads), Kind);
    }
    py::dict D;
    for (std::size_t K = 0; K < P.Names.size(); ++K)
        D[py::str(P.Names[K])] = P.Values[K];
    if (Task.Task == 0)
        D["value"] = P.Out;
    else
        D["caught"] = static_cast<int>(P.Out);
    D["objective"] = P.Objective;
    return D;
}

void TranslateErrors(std::exception_ptr P) {
    try {
        if (P)
            std::rethrow_exception(P);
    } catch (const py::builtin_exception&) {
        throw;
    } catch (const TRefusal& E) {
        py::object X = py::handle(RefusalType)(E.what());
        X.attr("english") = E.CliText();
        PyErr_SetObject(RefusalType, X.ptr());
    } catch (const std::bad_alloc&) {
        PyErr_SetString(PyExc_MemoryError, "not enough memory");
    } catch (const std::exception& E) {
        PyErr_SetString(KalvexErrorType, E.what());
    }
}

} // namespace
} // namespace kalvex

PYBIND11_MODULE(_core, m) {
    using namespace kalvex;
    using py::arg;
    m.doc() = "Compiled core of the kalvex package; use the kalvex package itself.";

    KalvexErrorType = PyErr_NewExceptionWithDoc(
        "kalvex.KalvexError",
        "A computation or a file failed; the message is the program's own (Russian) text.",
        PyExc_RuntimeError, nullptr);
    const py::tuple RefusalBases =
        py::make_tuple(py::handle(KalvexErrorType), py::handle(PyExc_ValueError));
    RefusalType = PyErr_NewExceptionWithDoc(
        "kalvex.Refusal",
        "An input refused by one of the program's rules. str() is the Russian text the "
        "window shows; .english its English twin.",
        RefusalBases.ptr(), nullptr);
    StoppedType = PyErr_NewExceptionWithDoc(
        "kalvex.Stopped",
        "Ctrl+C stopped a long call; .partial holds its results so far (None when there "
        "are none).",
        PyExc_KeyboardInterrupt, nullptr);
    m.attr("KalvexError") = py::handle(KalvexErrorType);
    m.attr("Refusal") = py::handle(RefusalType);
    m.attr("Stopped") = py::handle(StoppedType);
    py::register_exception_translator(&TranslateErrors);

    py::class_<TEdges>(m, "System", "A system: the boundaries of the air region, in metres.")
        .def(py::init<>(), "An empty system.")
        .def_static("load", &LoadSystem, arg("path"), "Loads a system file (.asp).")
        .def("save", &SaveSystem, arg("path"),
             "Saves the system as the window does: the file is replaced whole or not at "
             "all, and the discretisation file beside it is removed.")
        .def(
            "copy", [](const TEdges& E) { return E; }, "An independent copy.")
        .def("to_bytes", &SystemBytes, "The system file's bytes.")
        .def_static("from_bytes", &SystemFromBytes, arg("data"),
                    "A system from the bytes of a system file.")
        .def(py::pickle(&SystemBytes, &SystemFromBytes))
        .def(
            "add_closed",
            [](TEdges& E, const std::vector<TXY>& V) { AddClosedRegion(E, Points(V)); },
            arg("vertices"),
            "Adds a closed region through the vertices (x, y), the last joined to the first; "
            "the air is on the right of the direction of travel. Velocities start at 0.")
        .def(
            "add_semi_infinite",
            [](TEdges& E, const std::vector<TXY>& V) { AddSemiInfiniteRegion(E, Points(V)); },
            arg("vertices"),
            "Adds a semi-infinite region: a ray comes in through the first vertex and one "
            "leaves through the last, along the end segments.")
        .def(
            "add_cylinder",
            [](TEdges& E, const TXY& Centre, double Radius, double Rotation,
               const std::optional<std::array<double, 3>>& Slit) {
                TEdges Work = E;
                AddCylinder(Work, Pt(Centre), Radius);
                if (Rotation != 0 || Slit) {
                    TCylinderInput In = CylinderFields(Work.Last());
                    In.TurnSpeed = Rotation;
                    In.Slit = Slit.has_value();
                    if (Slit) {
                        In.Ang1 = (*Slit)[0];
                        In.Ang2 = (*Slit)[1];
                        In.SlitSpeed = (*Slit)[2];
                    }
                    SetCylinder(Work, Work.Count() - 1, In);
                }
                E = std::move(Work);
            },
            arg("centre"), arg("radius"), arg("rotation") = 0.0, arg("slit") = py::none(),
            "Adds a cylinder turning at `rotation` m/s; `slit` = (angle1, angle2, velocity), "
            "angles in degrees.")
        .def("set_velocity", &SetVelocity, arg("boundary"), arg("segment"), arg("v"),
             "Sets the velocity of a segment (m/s; < 0 sucks). For a cylinder segment 0 is "
             "its rotation speed and 1 its slit.")
        .def("balance", &Balance, arg("boundary"), arg("segment"),
             "Gives the segment (or the slit of a cylinder) the velocity that makes the net "
             "flow zero, as the editor's automatic velocity does; returns it.")
        .def_property_readonly(
            "boundaries",
            [](const TEdges& E) {
                py::list L;
                for (const TEdge& B : E.Items)
                    L.append(BoundaryDict(B));
                return L;
            },
            "The boundaries as dicts: kind, and segments (p1, p2, v) or centre, radius, "
            "rotation and slit.")
        .def("__len__", &TEdges::Count)
        .def("info", &Info,
             "What `kalvex-calc info` prints: boundaries, segments, total_flow, valid, "
             "has_semi_infinite, inflow_count, bounds (min x, max y, max x, min y, or None).");

    py::class_<TDiscretized>(m, "Discretized", "A discretised system; it solves on first need.")
        .def_property_readonly("elements",
                               [](const TDiscretized& D) { return D.Counter->Elements.Count; })
        .def_property_readonly(
            "system", [](const TDiscretized& D) { return D.Model; },
            "A copy of the system as it stands (slits turned by traces).")
        .def_property_readonly("solved", [](const TDiscretized& D) { return D.Counter->Solved(); })
        .def(
            "solve",
            [](TDiscretized& D, const std::optional<std::string>& Solver,
               const std::optional<int>& Threads) {
                if (Solver)
                    D.Counter->SolverKind = SolverKind(*Solver);
                if (Threads)
                    D.Counter->Threads = ThreadsArg(*Threads);
                if (Solver || Threads)
                    D.Counter->ClearIntensities();
                D.Solve();
            },
            arg("solver") = py::none(), arg("threads") = py::none(),
            "Solves for the intensities now (otherwise the first result does).")
        .def("velocity", &TDiscretized::Velocity, arg("x"), arg("y"), arg("progress") = py::none(),
             "The air velocity (vx, vy) at the points (x, y): NumPy arrays of any (broadcast) "
             "shape in, of that shape out, in one call into the core. NaN where the velocity "
             "is undefined (on an element's end).")
        .def("field", &TDiscretized::Field, arg("box"), arg("nx"), arg("ny"),
             arg("progress") = py::none(),
             "The velocity on an nx x ny grid over box = (x0, y0, x1, y1): dict of (ny, nx) "
             "arrays x, y, vx, vy and air (False outside the air, velocity 0 there).")
        .def("flowlines", &TDiscretized::FlowLines, arg("interval") = 0.08, arg("step") = 0.01,
             arg("length") = 1.0, arg("start") = "sinks", arg("progress") = py::none(),
             "The field of flow lines from the sinks or the sources: dict of lines, points, "
             "paths (list of (n, 2) arrays) and colors (0x00BBGGRR per point).")
        .def("flowline", &TDiscretized::FlowLine, arg("start"), arg("step") = 0.01,
             arg("length") = 1.0, arg("to") = "source", arg("progress") = py::none(),
             "One flow line from start = (x, y) to a sink or a source: points, end, path, "
             "colors.")
        .def(
            "particle",
            [](TDiscretized& D, const TXY& Start, const TXY& StartV, double Dm, double RhoAir,
               double Rho, double Mu, double Chi, double Rest, double Fr, double H, double TMax,
               const py::object& Progress) {
                return D.Particle(
                    ParticleArgs(Start, StartV, Dm, RhoAir, Rho, Mu, Chi, Rest, Fr, H, TMax),
                    Progress);
            },
            arg("start") = TXY{1.0, 1.0}, arg("velocity") = TXY{0.0, 0.0}, arg("d") = 0.0001,
            arg("rho_air") = 1.205, arg("rho") = 3500.0, arg("mu") = 0.0000178, arg("chi") = 1.0,
            arg("restitution") = 0.5, arg("friction") = 0.5, arg("h") = 0.005, arg("tmax") = 5.0,
            arg("progress") = py::none(),
            "One particle trajectory (SI units): time, caught, points, end, path, colors.")
        .def("contour", &TDiscretized::Contour, arg("speed"), arg("box") = py::none(),
             arg("cells") = 200, arg("progress") = py::none(),
             "The capture-velocity contour |V| = speed: lines, points, paths, colors.")
        .def(
            "efficiency",
            [](TDiscretized& D, const TXY& From, const TXY& To, int N,
               const std::vector<double>& Diameters, const TXY& StartV, double RhoAir, double Rho,
               double Mu, double Chi, double Rest, double Fr, double H, double TMax, bool Edges,
               const py::object& Progress) {
                TEfficiencyParams P;
                P.From = Pt(From);
                P.To = Pt(To);
                P.Count = N;
                P.Diameters = Diameters;
                P.Particle =
                    ParticleArgs(From, StartV, 0.0001, RhoAir, Rho, Mu, Chi, Rest, Fr, H, TMax);
                P.FindEdges = Edges;
                return D.Efficiency(P, Progress);
            },
            arg("start_from"), arg("start_to"), arg("n"), arg("d"), arg("velocity") = TXY{0, 0},
            arg("rho_air") = 1.205, arg("rho") = 3500.0, arg("mu") = 0.0000178, arg("chi") = 1.0,
            arg("restitution") = 0.5, arg("friction") = 0.5, arg("h") = 0.005, arg("tmax") = 5.0,
            arg("edges") = false, arg("progress") = py::none(),
            "The share of particles caught per diameter, released at the middles of n equal "
            "parts of the line start_from-start_to: rows of d, caught, total, fraction; "
            "with edges=True also where the outcome switches.");

    m.def(
        "discretize",
        [](const TEdges& System, const std::string& Method, double BaseLength, double Scaler,
           double CylStep, double InfiniteScaler, int InfiniteCount, const std::string& Solver,
           int Threads) {
            return TDiscretized(
                System,
                Settings(Method, BaseLength, Scaler, CylStep, InfiniteScaler, InfiniteCount),
                SolverKind(Solver), ThreadsArg(Threads));
        },
        arg("system"), py::kw_only(), arg("method") = "graded", arg("base_length") = 0.0004,
        arg("scaler") = 2.0, arg("cyl_step") = 0.1, arg("infinite_scaler") = 1.8,
        arg("infinite_count") = 15, arg("solver") = "auto", arg("threads") = 0,
        "Discretises the system into boundary elements (kalvex-calc's options and defaults). "
        "solver: 'auto', 'lu', 'iterative' or 'fmm'; threads: 0 for every core.");

    m.def(
        "_task_grid",
        [](const TEdges& System, const std::string& Json) {
            return TaskGrid(System, ParseOptTask(Json));
        },
        arg("system"), arg("task"));
    m.def(
        "write_file",
        [](const std::string& Path, const py::bytes& Data) {
            const std::string Bytes = Data;
            CheckOutputFiles({{"", Path}}, {});
            WriteFileAtomic(
                Path, std::span(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size()));
        },
        arg("path"), arg("data"),
        "Writes data as every file of the program is written: into a temporary file beside "
        "path, then renamed over it, so that a failed write leaves the old file whole. A "
        "read-only file or one that is not a regular file is refused (KalvexError).");
    m.def("_task_point", &TaskPoint, arg("system"), arg("task"), arg("values"), arg("threads") = 1,
          arg("solver") = "auto");
    m.def(
        "_optimize_text",
        [](const TEdges& System, const std::string& Json, const py::dict& Disc,
           const std::string& Solver, int Threads, const py::object& Progress) {
            return Optimize(System, ParseOptTask(Json), Disc, Solver, Threads, Progress);
        },
        arg("system"), arg("task"), arg("discretization"), arg("solver"), arg("threads"),
        arg("progress"));
    m.def(
        "_optimize_file",
        [](const TEdges& System, const std::string& Path, const py::dict& Disc,
           const std::string& Solver, int Threads, const py::object& Progress) {
            return Optimize(System, LoadOptTask(Path), Disc, Solver, Threads, Progress);
        },
        arg("system"), arg("task"), arg("discretization"), arg("solver"), arg("threads"),
        arg("progress"));
}
