#include "document/uWizard.h"

#include "document/uDocument.h"

#include <cmath>

namespace kalvex {

namespace {

bool StartsWith(const std::string& S, const char* Prefix) {
    return S.rfind(Prefix, 0) == 0;
}

// Leaves Flag set for as long as the scope runs, also when it throws.
class TRunningFlag {
public:
    explicit TRunningFlag(bool& F) : Flag(F) { Flag = true; }
    ~TRunningFlag() { Flag = false; }
    TRunningFlag(const TRunningFlag&) = delete;
    TRunningFlag& operator=(const TRunningFlag&) = delete;

private:
    bool& Flag;
};

} // namespace

std::optional<std::string> CheckSpeedData(TTyped X, TTyped Y, TTyped V, TTyped Vnx, TTyped Vny) {
    if (!X || !Y || !V || !Vnx || !Vny)
        return std::string(MsgInputError);
    // No velocity component along a zero direction; the task file refuses it too.
    if ((*Vnx == 0.0 && *Vny == 0.0) || std::abs(*X) > MaxCoordinate ||
        std::abs(*Y) > MaxCoordinate)
        return std::string(MsgInputError);
    if (*V <= 0.0)
        return std::string(MsgSpeed);
    return std::nullopt;
}

std::optional<std::string> CheckSuctionInfo(TTyped Low, TTyped High, TTyped Step, TTyped Start) {
    if (!Low || !High || !Step || !Start)
        return std::string(MsgSuctionInputError);
    if (!(*Step > 0.0))
        return std::string(MsgSuctionStep);
    if (*Low > *High)
        return std::string(MsgSuctionRange);
    if (*Start < *Low || *Start > *High)
        return std::string(MsgStartOutside);
    return std::nullopt;
}

std::optional<std::string> CheckParamInfo(const std::string& Name, bool IsNew,
                                          const TOptimizedParams& Params, TTyped From, TTyped To,
                                          TTyped Step, TTyped Start) {
    if (!IsValidParamName(Name))
        return std::string(MsgBadName);
    if (IsNew && Params.ParamExists(Name))
        return "Параметр с именем " + Name + " уже существует.";
    if (!From || !To || !Step || !Start)
        return std::string(MsgGeomInputError);
    if (!(*Step > 0.0))
        return std::string(MsgGeomStep);
    if (!(*From < *To))
        return std::string(MsgGeomRange);
    if (*Start < *From || *Start > *To)
        return std::string(MsgStartOutside);
    return std::nullopt;
}

std::string FormulaText(const std::string& Object, int Kind, const std::string& ScalerText,
                        const std::string& Param) {
    const char* Suffix = Kind == ckY ? ".y" : Kind == ckRadius ? ".r" : ".x";
    return Object + Suffix + " := " + Object + Suffix + " + (" + ScalerText + ") * " + Param;
}

std::string ParticleName(int Index) {
    return "Частица" + std::to_string(Index + 1);
}

std::string DeleteParticleQuestion(int Index) {
    return "Вы действительно хотите удалить\rинформацию о Частице" + std::to_string(Index + 1) +
           "?";
}

std::string DeleteParamQuestion(const std::string& Name) {
    return "Вы действительно хотите удалить\rпараметр " + Name + " ?";
}

std::string DeleteFormulaQuestion(const std::string& Text) {
    return "Вы подтверждаете удаление формулы\r" + Text + "?";
}

// ---------------------------------------------------------------- TWizard

TWizard::TWizard() : FSearch(std::make_unique<TOptimizeEdges>()) {}

bool TWizard::Prepare(const TEdges& Model, const TDiscretizationSettings& D) {
    Particles.Particles.clear();
    Discretization = D;
    auto Search = std::make_unique<TOptimizeEdges>();
    FReady = Search->Params.BuildObjects(Model);
    // A failed build leaves no stale lists of an earlier model behind.
    FSearch = std::move(Search);
    FSource = FReady ? Model : TEdges();
    FBest.clear();
    return FReady;
}

const TParamInfo& TWizard::Suction(int I) const {
    return Params().Params.at(static_cast<std::size_t>(I));
}

const TParamInfo& TWizard::Geometric(int K) const {
    return Params().Params.at(static_cast<std::size_t>(SuctionCount() + K));
}

std::vector<TChangeObject> TWizard::FormulaObjects() const {
    std::vector<TChangeObject> R;
    for (const TChangeObject& O : Params().Objects)
        if (StartsWith(O.Name, "Точка") || StartsWith(O.Name, "Цилиндр"))
            R.push_back(O);
    return R;
}

TParamInfo TWizard::NewGeometric() {
    TParamInfo P;
    P.Name = "Param1";
    P.MinValue = 0.0;
    P.MaxValue = 1.0;
    P.Step = 0.1;
    P.Value = 0.0;
    return P;
}

void TWizard::SetSuction(int I, double Low, double High, double Step, double Start) {
    TOptimizedParams& P = FSearch->Params;
    // The start velocity goes into the model copy through the formulas, as the task
    // file's start does, so that a balancing opening follows.
    P.SetParamValue(I, Start);
    TParamInfo Info = P.GetParam(I);
    Info.MinValue = Low;
    Info.MaxValue = High;
    Info.Step = Step;
    P.ReplaceParam(I, Info);
}

void TWizard::AddGeometric(const TParamInfo& Info) {
    FSearch->Params.AddParam(Info);
}

void TWizard::ReplaceGeometric(int K, const TParamInfo& Info) {
    FSearch->Params.ReplaceParam(SuctionCount() + K, Info);
}

void TWizard::DeleteGeometric(int K) {
    FSearch->Params.DeleteParam(SuctionCount() + K);
}

TOptTask TWizard::ToTask() const {
    TOptTask T;
    T.Task = Task;
    T.Speed = Speed;
    T.Particles = Particles;
    T.Tabulate = Tabulate;
    T.TabScaler = TabScaler;
    T.Discretization = Discretization;
    const int Suctions = SuctionCount();
    for (int I = 0; I < Params().ParamCount(); ++I) {
        const TParamInfo& P = Params().Params[static_cast<std::size_t>(I)];
        if (I < Suctions) {
            T.Suction.push_back({P.Name, P.MinValue, P.MaxValue, P.Step, P.Value});
            continue;
        }
        TTaskGeometric G;
        G.Name = P.Name;
        G.Min = P.MinValue;
        G.Max = P.MaxValue;
        G.Step = P.Step;
        G.Start = P.Value;
        for (const TChangeInfo& C : P.Changes)
            G.Formulas.push_back({C.ObjectName, static_cast<TChangeKind>(C.Kind), C.Scaler});
        T.Geometric.push_back(std::move(G));
    }
    return T;
}

std::unique_ptr<TOptimizeEdges> TWizard::Built(const TOptTask& T) const {
    auto S = std::make_unique<TOptimizeEdges>();
    PrepareSearch(FSource, T, *S);
    return S;
}

std::optional<std::string> TWizard::LoadTask(const TOptTask& T) {
    if (!FReady)
        return std::string(MsgNotBalanced);
    try {
        FSearch = Built(T);
    } catch (const TKalvexError& E) {
        return std::string(E.what());
    }
    Task = T.Task;
    Speed = T.Speed;
    Particles = T.Particles;
    Tabulate = T.Tabulate;
    TabScaler = T.TabScaler;
    Discretization = T.Discretization;
    return std::nullopt;
}

bool TWizard::Run(TEventPump Pump, std::function<void(int, double)> Progress) {
    const TOptTask T = ToTask();
    FRun = Built(T);
    FRun->ProcessEvents = std::move(Pump);
    FRun->OnProgress = std::move(Progress);
    FBest.clear();
    FBestValue = 0.0;
    FCaught = 0;
    TRunningFlag Flag(FRunning);
    // Settings that cannot give a discretisation would fail every trial.
    FRun->Discretize();
    return T.Task == 0 ? FRun->OptimizeSpeed(T.Speed, FBestValue, FBest)
                       : FRun->OptimizeParticles(T.Particles, T.Task == 2, FBest, FCaught);
}

void TWizard::Stop() {
    if (FRun)
        FRun->StopSearch();
}

std::string TWizard::Report(char Separator) const {
    return SearchReport(Task, Params(), FBest, FBestValue, FCaught, Separator, Speed.Speed);
}

TEdges TWizard::FoundModel() const {
    std::unique_ptr<TOptimizeEdges> S = Built(ToTask());
    const int Suctions = S->Params.SuctionCount();
    for (int I = 0; I < S->Params.ParamCount() && I < static_cast<int>(FBest.size()); ++I) {
        double V = FBest[static_cast<std::size_t>(I)];
        // The flow is linear in the suction velocities: these give the required speed.
        if (Task == 0 && I < Suctions && FBestValue > 0.0)
            V *= Speed.Speed / FBestValue;
        S->Params.SetParamValue(I, V);
    }
    return S->Params.Model;
}

void ApplyFoundModel(TDocument& Doc, const TEdges& Model) {
    Doc.Canvas().Edges = Model;
    Doc.Canvas().DrawLines.ClearLines();
    Doc.MarkChanged("выбор оптимальных параметров");
    Doc.Canvas().Redraw();
}

} // namespace kalvex
