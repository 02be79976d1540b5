#include "results/uNothingFound.h"

#include "geometry/uAirSide.h"
#include "results/uContour.h"
#include "results/uEfficiency.h"
#include "results/uTextFormat.h"

namespace kalvex {

namespace {

bool HasOpening(const TEdges& Model, bool Sinks) {
    for (const TEdge& E : Model.Items) {
        if (E.Kind == ekCylinder) {
            if (E.Count() > 1 && E.Segments[0].HasSlit() &&
                (Sinks ? E.Segments[1].V > 0 : E.Segments[1].V < 0))
                return true;
            continue;
        }
        for (const TEdgeSegment& S : E.Segments)
            if (Sinks ? S.V > 0 : S.V < 0)
                return true;
    }
    return false;
}

} // namespace

TEmptyRun ContourRun(const TContourOutcome& Outcome, double Speed) {
    TEmptyRun Run;
    Run.Kind = TEmptyRun::Contour;
    Run.Speed = Speed;
    Run.AirNodes = Outcome.AirNodes;
    Run.MinSpeed = Outcome.MinSpeed;
    Run.MaxSpeed = Outcome.MaxSpeed;
    return Run;
}

std::optional<TEmptyRun> EfficiencyRun(const TEfficiencyOutcome& Outcome,
                                       const TEfficiencyParams& Params, const TEdges& Model) {
    for (const TEfficiencyRow& Row : Outcome.Rows)
        if (Row.Caught > 0)
            return std::nullopt;
    TEmptyRun Run;
    Run.Kind = TEmptyRun::Efficiency;
    for (int K = 0; K < Params.Count; ++K)
        Run.Started += Model.PointInAir(EfficiencyStart(Params, K)) ? 1 : 0;
    return Run;
}

TNothingFound NothingFound(const TEdges& Model, const TEmptyRun& Run,
                           const std::function<std::string(double)>& Number) {
    const auto Num = [&](double V) { return Number ? Number(V) : FormatNumber(V); };
    TNothingFound Out;
    switch (Run.Kind) {
    case TEmptyRun::Contour: {
        const std::string V = Num(Run.Speed) + " м/с";
        Out.Russian = "Изолиния скорости " + V + " не найдена:\r";
        Out.English = "contour: nothing found: ";
        if (Run.AirNodes == 0) {
            Out.Russian += "в прямоугольнике построения нет воздуха.";
            Out.English += "no point of the box lies in the air";
        } else if (Run.MaxSpeed < Run.Speed) {
            Out.Russian += "скорость воздуха в прямоугольнике построения не больше " +
                           Num(Run.MaxSpeed) + " м/с.";
            Out.English +=
                "the air in the box moves at most at " + FormatNumber(Run.MaxSpeed) + " m/s";
        } else if (Run.MinSpeed > Run.Speed) {
            Out.Russian += "скорость воздуха в прямоугольнике построения не меньше " +
                           Num(Run.MinSpeed) + " м/с.";
            Out.English +=
                "the air in the box moves at least at " + FormatNumber(Run.MinSpeed) + " m/s";
        } else {
            Out.Russian += "линии этой скорости лежат на границах или за ними.";
            Out.English += "the lines of this speed lie on or behind the boundaries";
        }
        break;
    }
    case TEmptyRun::FlowLines:
        Out.Russian = "Линии тока не построены:\r";
        Out.English = "flowlines: nothing found: ";
        if (!HasOpening(Model, Run.FromSinks)) {
            Out.Russian += Run.FromSinks ? "в системе нет отсосов."
                                         : "в системе нет отверстий, через которые входит воздух.";
            Out.English += Run.FromSinks ? "the system has no suction opening"
                                         : "the system has no opening letting air in";
        } else {
            Out.Russian += "расстояние между линиями больше удвоенной длины каждого отверстия.";
            Out.English += "the interval is more than twice the length of every opening";
        }
        break;
    case TEmptyRun::Efficiency:
        Out.Russian = Run.Started == 0 ? "Частицы не выпущены: начальные точки лежат вне воздуха."
                                       : "Ни одна частица не уловлена.";
        Out.English = Run.Started == 0
                          ? "efficiency: nothing found: the start points lie outside the air"
                          : "efficiency: nothing found: no particle was caught";
        break;
    }
    const std::vector<int> Faults = AirSideFaults(Model);
    if (!Faults.empty()) {
        Out.Russian += '\r';
        Out.Russian += AirSideText(Faults);
        Out.English += "; ";
        Out.English += AirSideEnglish(Faults);
    }
    return Out;
}

} // namespace kalvex
