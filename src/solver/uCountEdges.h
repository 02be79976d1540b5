// Boundary elements of a discretised model and the flow evaluator: the intensity
// solve and the air velocity at a point. Tracing (flow lines, particles) lives in
// results/ as free functions that take the evaluator; the drawing targets, hooks and
// line settings they use are kept here.
#pragma once

#include "base/uEventPump.h"
#include "base/uKalvexError.h"
#include "geometry/GenFuncs.h"
#include "geometry/uEdges.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalvex {

class TDrawSurface;

struct TEdgeElement {
    TRealPoint P1;
    TRealPoint P2;
    double V = 0.0;
};
using TEdgeElementArray = std::vector<TEdgeElement>;

struct TCylInfo {
    TRealPoint Center;
    double R = 0.0;
    double V = 0.0;
    std::int32_t FirstElement = 0;
    std::int32_t ElementCount = 0;
    std::int32_t EdgeIndex = 0;
};
using TCylInfoArray = std::vector<TCylInfo>;

// Parameters that cannot give a usable discretisation.
class TDiscretizationError : public TKalvexError {
public:
    using TKalvexError::TKalvexError;
};

class TElementsLoadError : public TKalvexError {
public:
    TElementsLoadError() : TKalvexError("Невозможно загрузить граничные элементы") {}
};

// A discretisation file that names one cylinder twice (older writers appended the
// records again at every discretisation): its rotation would turn the cylinder twice.
class TRepeatedCylinderError : public TElementsLoadError {};

// The system of equations has no unique solution.
class TSolveError : public TKalvexError {
public:
    using TKalvexError::TKalvexError;
};

// The dense system and the solver's work space do not fit into the memory the machine
// can still give.
class TSolveMemoryError : public TRefusal {
public:
    using TRefusal::TRefusal;
};

// StopBuilding during the solve: nothing of it is kept.
class TSolveStopped : public TRefusal {
public:
    TSolveStopped()
        : TRefusal("Расчет интенсивностей граничных элементов прерван.",
                   "the solve for the intensities was stopped") {}
};

// Bytes the machine can still give without swapping (MemAvailable on Linux), or
// nothing when it cannot be told.
std::optional<double> AvailableMemory();
using TMemoryProbe = std::function<std::optional<double>()>;
// Refuses (TSolveMemoryError, with both sizes) a solve of N unknowns that needs
// NeededBytes more than it already holds when only Available bytes are free. Without
// a figure for Available nothing is refused.
void CheckSolveMemory(std::size_t N, double NeededBytes, std::optional<double> Available);

class TEdgeElements {
public:
    void DiscretizeEqual(const TEdges& Model, int InfiniteCount, double Step,
                         double InfiniteScaler);
    void DiscretizeGraded(const TEdges& Model, int InfiniteCount, double Step, double Scaler,
                          double CylStep, double InfiniteScaler);
    void RefineInRect(TRealPoint C1, TRealPoint C2);
    TEdgeElement GetElement(int I) const { return Elements[static_cast<std::size_t>(I)]; }
    TCylInfo GetCylInfo(int I) const { return CylInfos[static_cast<std::size_t>(I)]; }
    void Draw(TDrawSurface& Canvas, int OriginX, int OriginY, double PixelsPerMetre) const;

    // Discretisation file. Loading throws TElementsLoadError with the element list
    // emptied; saving replaces the file atomically.
    void SaveToFile(const std::string& FileName) const;
    void LoadFromFile(const std::string& FileName);
    std::vector<std::uint8_t> SaveToBytes() const;
    void LoadFromBytes(std::span<const std::uint8_t> Bytes);

    static void RotateAbout(TRealPoint& P, TRealPoint C, double Delta);
    void RotateCylinders(double Time);
    void RotateCylindersByAngle(double AngleDeg);

    // Marks the elements as changed: every operation that moves, adds or removes
    // elements calls it, so data derived from an older state is recognised as stale.
    // Code that edits Elements directly must call it too.
    void Touch();
    // No elements at all, as after a file that could not be read.
    void Clear();
    // Whether these elements were made from Model as it stands (refined or not): its
    // straight boundaries to the last bit, its cylinders where they are, with the same
    // radius, velocity and slit. Elements of another system, or of this one before an
    // edit or while its slits are turned, are not.
    bool Describes(const TEdges& Model) const;
    // Whether every element lies where a discretisation of Model (refined or not) puts
    // it: on its segment, its tail or its cylinder, in order, each piece covered.
    bool ElementsFollow(const TEdges& Model) const;

    TEdges Edges;
    int Count = 0;
    int CylCount = 0;
    TCylInfoArray CylInfos;
    TEdgeElementArray Elements;
    bool HasRotatingSlit = false;
    // Process-wide unique stamp of the current element state (see Touch).
    std::uint64_t Generation = 0;
};

// Element count of a graded straight piece of length L: always even; 0 only for
// L = 0; 2 for a piece too short for the growth law (m < 1e-10).
int GradedCount(double L, double Step, double Scaler);
// Element count of a piece of length L in the equal method: at least 1 when L > 0.
int EqualCount(double L, double Step);
// Appends the N elements (N even) of the graded split of A -> B to Out.
void DiscretizeSegmentGraded(TRealPoint A, TRealPoint B, double V, int N, double Step,
                             double Scaler, TEdgeElementArray& Out);
// Refuses (TDiscretizationError) an element count whose solve would not fit into the
// machine's memory even without the dense matrix.
void CheckElementCount(double N);
// Elements a discretisation with these parameters would make (refusing as it would).
double PlannedElementCount(const TEdges& Model, bool Graded, int InfiniteCount, double Step,
                           double Scaler, double CylStep, double InfiniteScaler);

// A floating-point fault during a trace.
class TCalcError : public TKalvexError {
public:
    TCalcError()
        : TKalvexError("Произошла ошибка в вычислениях.\rВозможно, выбран маленький шаг "
                       "интегрирования.") {}
};

// How the intensities are solved: LU always, the iterative solve (falling back to LU
// when it does not converge), the iterative solve without the matrix (fast multipoles),
// or the one of them that pays at the size.
enum class TSolverKind : std::uint8_t { skAuto, skDirect, skIterative, skFmm };

// The path a solve of N unknowns takes when Requested is asked for and Available bytes
// are free: automatically LU for small systems, the iterative solve on the matrix
// above a thousand unknowns, and the one without the matrix above FmmFrom unknowns or
// whenever the matrix would not fit.
TSolverKind ChooseSolver(TSolverKind Requested, std::size_t N, std::optional<double> Available);
// The path in the window's words: "прямой (LU)", "итерационный (GMRES)" or "быстрый
// мультипольный (без матрицы)".
std::string SolverName(TSolverKind Kind);
// Bytes of the dense matrix and the iterative solve's work space for N unknowns.
double DenseSolveBytes(std::size_t N, bool Iterative);

class TFmmSystem;

class TCountEdges {
public:
    TCountEdges();
    ~TCountEdges();
    TCountEdges(const TCountEdges&) = delete;
    TCountEdges& operator=(const TCountEdges&) = delete;

    // Solve: assembles the dense system and factors it (LAPACK); throws TSolveError
    // on a singular system, leaving Intensities empty. Refuses first when the system
    // does not fit into the available memory (TSolveMemoryError). ProcessEvents is
    // offered every few hundredths of a second throughout, and StopBuilding ends the
    // solve with TSolveStopped.
    void Solve();
    // Solve for elements of which only the rotating cylinders' moved since the last
    // call: the LU factors of the static elements' block are kept, and each call solves
    // through the Schur complement of the cylinders' block. The first call, and any
    // after other elements changed, factors that block anew. Without rotating
    // cylinders, or with KeepStaticFactor off, it is Solve.
    void SolveTurned();
    bool KeepStaticFactor = true;
    // The literal elimination, kept as the reference the fast path is checked against.
    void SolveLiteral();
    void ClearIntensities() { Intensities.clear(); }
    void EnsureSolved();
    bool Solved() const { return !Intensities.empty(); }
    double InfluenceCoefficient(int J, TRealPoint P, TRealPoint D) const;
    // Fills A (Count rows of Count + 1 columns) as the literal system.
    void BuildSystem(TRealMatr& A) const;
    // Velocity component along Dir at Pt.
    double Speed(TRealPoint Dir, TRealPoint Pt) const;
    // Both components at once, from the same precomputed data.
    TRealPoint Velocity(TRealPoint Pt) const;
    // Literal per-call version, for the benchmark and cross-checks.
    double SpeedLiteral(TRealPoint Dir, TRealPoint Pt) const;

    // Takes Other's elements, intensities and line and solver settings as they stand,
    // ready for velocities without a solve: a worker's own evaluator, or putting its
    // turned cylinders back.
    void AdoptSolution(const TCountEdges& Other);

    void SetScale(double Value) { Scale = Value; }
    void StopBuilding() { Stopped = true; }

    // Used by the tracing of results/. Drawing targets; absent means nothing is drawn.
    TDrawSurface* Canvas = nullptr;
    TDrawSurface* BufferCanvas = nullptr;
    std::function<void(const std::string&)> TimeLabel;
    std::function<void(const std::string&)> ReLabel;
    std::function<void(int Position, int Max)> ProgressBar;
    // Event pump: called where pending window events are processed.
    TEventPump ProcessEvents;
    // Least time between two calls of ProcessEvents from inside a solve or a line's
    // steps (0: at every chance, for tests).
    TPacedPump::TClock::duration PumpInterval = TPacedPump::DefaultInterval;
    // The free memory the solve is measured against; empty: AvailableMemory().
    TMemoryProbe MemoryProbe;
    // The user's model, whose slits turn with the elements during a particle trace.
    TEdges* Model = nullptr;
    // Supplied by the canvas: repaint the cylinders after they turned.
    std::function<void()> RedrawCylinders;
    int OriginX = 0;
    int OriginY = 0;
    TEdgeElements Elements;
    int MaxSteps = 150;
    double LineInterval = 0.05;
    double LineStep = 0.01;
    double Scale = 0.004;
    bool Stopped = false;
    TRealArray Intensities;
    // Worker threads for fields of lines and the search's trials (0: every core,
    // 1: all on the calling thread) and for assembling the system.
    int Threads = 0;
    TSolverKind SolverKind = TSolverKind::skAuto;
    // Krylov steps of the last Solve; 0 when LU solved it.
    int Iterations = 0;
    // From this many elements the automatic choice solves iteratively: GMRES was the
    // faster from about 500 elements on two cores (1.3-2.6x at 1000-2000).
    static constexpr std::size_t IterativeFrom = 1000;
    // The iterative solve: relative residual and restart length.
    static constexpr double IterativeTolerance = 1e-12;
    static constexpr int GmresRestart = 50;
    // Block Jacobi over 64 neighbouring elements: a fifth fewer steps than the diagonal
    // alone (measured at 4000 elements), at a cost linear in the size.
    static constexpr std::size_t GmresBlock = 64;
    // Krylov steps after which LU takes over (a second-kind system needs a few dozen).
    int IterationBound = 300;
    // From this many elements the automatic choice solves without the matrix.
    static constexpr std::size_t FmmFrom = 1500;
    // Relative accuracy of the matrix-free product.
    double FmmAccuracy = 1e-10;
    // The path the next Solve takes, as ChooseSolver decides it for this system, and the
    // one it would take for N elements.
    TSolverKind NextSolver() const;
    TSolverKind SolverFor(std::size_t N) const;
    // Velocities at many points at once: through the multipole tree after a solve without
    // the matrix, else point by point. Out has Points.size() entries.
    void Velocities(std::span<const TRealPoint> Points, std::span<TRealPoint> Out) const;

    // Assembles the system into the column-major Count x Count array A and the
    // right-hand side B (Count values), in parallel over column blocks.
    void AssembleFast(double* A, double* B) const;

private:
    struct TFreeDeleter {
        void operator()(double* P) const;
    };
    // The dense matrix of the fast solve, kept for the next solve: repeated solves
    // (search trials, turning slits) then reuse memory that is already mapped.
    double* SystemBuffer(std::size_t Doubles);
    std::unique_ptr<double[], TFreeDeleter> SystemMatrix;
    std::size_t SystemCapacity = 0;

    // The tree of the last solve without the matrix, for the velocities of its solution;
    // shared read-only with the evaluators that adopt the solution.
    std::shared_ptr<const TFmmSystem> Fmm;
    std::uint64_t FmmGeneration = 0;
    bool FmmValid() const;
    // False when GMRES did not converge and LU is to take over.
    bool SolveFmm();
    // Free memory as the solve counts it: the kept matrix counts as free.
    std::optional<double> FreeForSolve() const;

    struct TStaticFactor;
    std::unique_ptr<TStaticFactor> Turning;
    bool FactorStaticBlock(const std::vector<std::size_t>& Static, TPacedPump& Pump);
    void FarFieldBasis(TStaticFactor& F) const;
    // One step through the Schur complement of the moving block: from A_sm and A_ms
    // assembled, or through the far-field series of F. Both give the full intensities.
    std::vector<double> ComplementSolve(const TStaticFactor& F,
                                        const std::vector<std::size_t>& Moving) const;
    std::vector<double> FarFieldSolve(const TStaticFactor& F,
                                      const std::vector<std::size_t>& Moving) const;
    // The series are made when the turning elements reach less than this share of the
    // distance to the nearest static element (about 60 terms at the bound).
    static constexpr double FarFieldRatio = 0.5;
    static constexpr std::size_t MaxFarFieldRank = 240;
    // Refuses a solve needing Bytes at its peak (the kept matrix counts as held).
    void CheckMemory(std::size_t N, double Bytes) const;
    // The pump offered by the solve's loops; true when StopBuilding was asked.
    bool Poll(TPacedPump& Pump) const;
    void AssembleColumns(double* A, double* B, TPacedPump& Pump) const;

    void PrepareFastData();
    bool FastDataValid() const;
    double RightHandSide(int I, TRealPoint M, TRealPoint N) const;
    TRealPoint CylinderVelocity(TRealPoint Pt) const;

    // Per-element data of the current solve, structure of arrays for vectorisation.
    // P1N = P1.N, P1T = P1.T and so on: the kernel's dot products need only the
    // point's part at evaluation time.
    struct TElementData {
        std::vector<double> Tx, Ty, Nx, Ny;
        std::vector<double> P1N, P1T, P2N, P2T;
        std::uint64_t Generation = 0;
        std::size_t Count = 0;
    };
    TElementData Fast;
};

} // namespace kalvex
