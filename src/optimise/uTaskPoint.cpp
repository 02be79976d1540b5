#include "optimise/uTaskPoint.h"

#include "base/uKalvexError.h"

namespace kalvex {

namespace {

// The search with its trial evaluation opened up.
class TPointSearch : public TOptimizeEdges {
public:
    std::optional<TTrial> EvaluateAt(const TOptTask& Task) {
        Kind = Task.Task == 0 ? tkSpeed : Task.Task == 1 ? tkMostCaught : tkFewestCaught;
        return EvaluateModel(Params.Model, Params.SuctionSum(), Evaluator);
    }
};

} // namespace

std::vector<std::pair<std::string, TRealArray>> TaskGrid(const TEdges& Model,
                                                         const TOptTask& Task) {
    // Tabulated, so that the search's bound on the grid's size refuses a huge one.
    TOptTask Tabulated = Task;
    Tabulated.Tabulate = true;
    TOptimizeEdges Search;
    PrepareSearch(Model, Tabulated, Search);
    const std::vector<TRealArray> Values = Search.GridValues();
    std::vector<std::pair<std::string, TRealArray>> Grid;
    for (int I = 0; I < Search.Params.ParamCount(); ++I)
        Grid.emplace_back(Search.Params.GetParam(I).Name, Values[static_cast<std::size_t>(I)]);
    return Grid;
}

TTaskPoint EvaluateTaskPoint(const TEdges& Model, const TOptTask& Task,
                             const std::map<std::string, double>& Values, int Threads,
                             TSolverKind Solver) {
    TPointSearch Search;
    if (!Search.Params.BuildObjects(Model))
        throw TRefusal(MsgNotBalanced, "the flow of this model cannot be balanced");
    ApplyOptTask(Task, Search);
    Search.Evaluator.Threads = Threads;
    Search.Evaluator.SolverKind = Solver;
    TTaskPoint P;
    std::size_t Used = 0;
    for (int I = 0; I < Search.Params.ParamCount(); ++I) {
        const TParamInfo Info = Search.Params.GetParam(I);
        const auto It = Values.find(Info.Name);
        if (It != Values.end()) {
            Search.Params.SetParamValue(I, It->second);
            ++Used;
        }
        P.Names.push_back(Info.Name);
        P.Values.push_back(Search.Params.GetParam(I).Value);
    }
    if (Used != Values.size())
        for (const auto& [Name, V] : Values)
            if (!Search.Params.ParamExists(Name))
                throw TRefusal("Некорректное имя параметра.", "no parameter " + Name);
    if (!Search.Params.Model.IsValid())
        throw TRefusal(MsgBoundaryCrosses, "the boundaries cross at this point");
    const auto Trial = Search.EvaluateAt(Task);
    if (!Trial && Task.Task == 0 &&
        !PointClearOfElements(Search.Evaluator.Elements.Elements, Search.SpeedTask.Point))
        throw TRefusal("Точка лежит на границе или ближе к ней, чем длина граничного "
                       "элемента:\rскорость в ней не вычисляется.",
                       "the point lies on a boundary or closer to it than the element there");
    if (!Trial)
        throw TKalvexError("Произошла ошибка в вычислениях.");
    P.Out = Trial->Out;
    P.Objective = Trial->F;
    return P;
}

} // namespace kalvex
