// Discretisation options shared by the commands that need boundary elements:
// --method equal|graded, --base-length, --scaler, --cyl-step, --infinite-scaler,
// --infinite-count, and the discretisation file beside a system.
#pragma once

#include "cli/CliCommon.h"
#include "solver/uCompanionFile.h"
#include "solver/uCountEdges.h"
#include "solver/uDiscretization.h"

#include <string>
#include <vector>

namespace kalvex::cli {

// The option names above, for TArgs::OnlyOptions.
const std::vector<std::string>& DiscretizationOptionNames();
// True when any discretisation option is given.
bool HasDiscretizationOptions(const TArgs& Args);
// The options with the dialog's defaults; a bad --method is a usage error.
TDiscretizationSettings ReadDiscretizationOptions(const TArgs& Args);
// --threads N (default every core) and --solver lu|iterative|fmm|auto (default auto), as
// checked by TArgs::OnlyOptions, onto the evaluator.
void ApplyComputeOptions(const TArgs& Args, TCountEdges& Counter);
// Elements of a system for the velocity commands: the discretisation file beside the
// system when it exists and no discretisation option is given (a damaged file fails
// with "Невозможно загрузить граничные элементы"), else a new discretisation. A file
// older than its system, or naming a cylinder twice, is not used: the system is
// discretised afresh, with a notice on stderr. The intensities are cleared either way;
// the compute options are applied.
void PrepareElements(TCountEdges& Counter, const TEdges& Model, const std::string& SystemFile,
                     const TArgs& Args);

} // namespace kalvex::cli
