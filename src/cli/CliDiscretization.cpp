#include "cli/CliDiscretization.h"

#include <filesystem>

namespace kalvex::cli {

const std::vector<std::string>& DiscretizationOptionNames() {
    static const std::vector<std::string> Names = {"method",   "base-length",     "scaler",
                                                   "cyl-step", "infinite-scaler", "infinite-count"};
    return Names;
}

bool HasDiscretizationOptions(const TArgs& Args) {
    for (const std::string& Name : DiscretizationOptionNames()) {
        if (Args.Has(Name))
            return true;
    }
    return false;
}

TDiscretizationSettings ReadDiscretizationOptions(const TArgs& Args) {
    TDiscretizationSettings S;
    const std::string Method = Args.Get("method", "graded");
    if (Method == "graded")
        S.Graded = true;
    else if (Method == "equal")
        S.Graded = false;
    else
        throw TUsageError("--method: expected equal or graded, got '" + Method + "'");
    S.Step = Args.GetDouble("base-length", S.Step);
    S.Scaler = Args.GetDouble("scaler", S.Scaler);
    S.CylStep = Args.GetDouble("cyl-step", S.CylStep);
    S.InfiniteScaler = Args.GetDouble("infinite-scaler", S.InfiniteScaler);
    S.InfiniteCount = Args.GetInt("infinite-count", S.InfiniteCount);
    return S;
}

std::string DefaultDiscretizationFile(const std::string& SystemFile) {
    if (SystemFile.size() < 3)
        return "dsc";
    return SystemFile.substr(0, SystemFile.size() - 3) + "dsc";
}

void ApplyComputeOptions(const TArgs& Args, TCountEdges& Counter) {
    Counter.Threads = Args.GetInt("threads", 0);
    const std::string Solver = Args.Get("solver", "auto");
    Counter.SolverKind = Solver == "lu"          ? TSolverKind::skDirect
                         : Solver == "iterative" ? TSolverKind::skIterative
                                                 : TSolverKind::skAuto;
}

void PrepareElements(TCountEdges& Counter, const TEdges& Model, const std::string& SystemFile,
                     const TArgs& Args) {
    const std::string DscFile = DefaultDiscretizationFile(SystemFile);
    std::error_code Ec;
    if (!HasDiscretizationOptions(Args) && std::filesystem::is_regular_file(DscFile, Ec))
        Counter.Elements.LoadFromFile(DscFile);
    else
        Discretize(Counter.Elements, Model, ReadDiscretizationOptions(Args));
    Counter.ClearIntensities();
    ApplyComputeOptions(Args, Counter);
}

} // namespace kalvex::cli
