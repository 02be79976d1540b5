#include "cli/CliDiscretization.h"

#include <filesystem>
#include <iostream>

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

void ApplyComputeOptions(const TArgs& Args, TCountEdges& Counter) {
    Counter.Threads = Args.GetInt("threads", 0);
    const std::string Solver = Args.Get("solver", "auto");
    Counter.SolverKind = Solver == "lu"          ? TSolverKind::skDirect
                         : Solver == "iterative" ? TSolverKind::skIterative
                         : Solver == "fmm"       ? TSolverKind::skFmm
                                                 : TSolverKind::skAuto;
}

void PrepareElements(TCountEdges& Counter, const TEdges& Model, const std::string& SystemFile,
                     const TArgs& Args) {
    const std::optional<std::string> Companion = CompanionFile(SystemFile);
    const std::string DscFile = Companion.value_or(std::string());
    namespace fs = std::filesystem;
    std::error_code Ec;
    bool Fresh = HasDiscretizationOptions(Args) || !Companion || !fs::is_regular_file(DscFile, Ec);
    if (!Fresh) {
        std::error_code E1;
        std::error_code E2;
        const auto DscTime = fs::last_write_time(DscFile, E1);
        const auto SystemTime = fs::last_write_time(SystemFile, E2);
        if (!E1 && !E2 && DscTime < SystemTime) {
            std::cerr << "kalvex-calc: " << DscFile
                      << " is older than its system: discretising afresh\n";
            Fresh = true;
        }
    }
    if (!Fresh) {
        try {
            Counter.Elements.LoadFromFile(DscFile);
        } catch (const TRepeatedCylinderError&) {
            std::cerr << "kalvex-calc: " << DscFile
                      << " names a cylinder twice: discretising afresh\n";
            Fresh = true;
        }
        if (!Fresh && !Counter.Elements.Describes(Model)) {
            std::cerr << "kalvex-calc: " << DscFile
                      << " belongs to another system: discretising afresh\n";
            Fresh = true;
        }
    }
    if (Fresh)
        Discretize(Counter.Elements, Model, ReadDiscretizationOptions(Args));
    Counter.ClearIntensities();
    ApplyComputeOptions(Args, Counter);
}

} // namespace kalvex::cli
