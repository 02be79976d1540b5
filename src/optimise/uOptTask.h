// The task file of the optimal-parameter search (JSON): what to search for, the
// ranges of the suction openings and the geometric parameters with their formulas,
// the grid and the discretisation. Read, checked, then applied to a TOptimizeEdges.
#pragma once

#include "geometry/uBinaryIO.h"
#include "optimise/uOptEdges.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvex {

// A task file that cannot be used; what() names the place and the fault.
class TTaskError : public TKalvexError {
public:
    using TKalvexError::TKalvexError;
};

// A suction opening's range; absent values keep the opening's current velocity
// (and the step 0.01).
struct TTaskSuction {
    std::string Name;
    std::optional<double> Min;
    std::optional<double> Max;
    std::optional<double> Step;
    std::optional<double> Start;
};

struct TTaskFormula {
    std::string Object;
    TChangeKind Change = ckX;
    double Scaler = 1.0;
};

struct TTaskGeometric {
    std::string Name;
    double Min = 0.0;
    double Max = 1.0;
    double Step = 0.1;
    double Start = 0.0;
    std::vector<TTaskFormula> Formulas;
};

struct TOptTask {
    int Task = 0; // 0 velocity at a point, 1 most particles caught, 2 fewest caught
    TSpeedData Speed;
    TParticleData Particles;
    std::vector<TTaskSuction> Suction;
    std::vector<TTaskGeometric> Geometric;
    bool Tabulate = false;
    double TabScaler = 1.0;
    TDiscretizationSettings Discretization;
};

// The dialogs' own texts for the faults a task file shares with them.
inline constexpr const char* MsgBadName = "Некорректное имя параметра.";
inline constexpr const char* MsgSuctionStep = "Шаг изменения должен быть положительным.";
inline constexpr const char* MsgSuctionRange = "Нижний предел не может быть выше верхнего";
inline constexpr const char* MsgStartOutside =
    "Начальное значение должно находиться\rмежду пределами изменения";
inline constexpr const char* MsgGeomStep = "Шаг изменения должен быть больше 0.";
inline constexpr const char* MsgGeomRange =
    "Несоответствие пределов изменения параметра.\rПервый должен быть меньше второго.";
inline constexpr const char* MsgSpeed = "Модуль скорости воздуха \rдолжен быть положительным";
// A model whose flow the search cannot balance.
inline constexpr const char* MsgNotBalanced =
    "Выбор оптимальных параметров для этой системы невозможен:\r"
    "система без полубесконечной области должна иметь\r"
    "ровно одно отверстие с отрицательной скоростью.";
inline constexpr const char* MsgNoParticles = "Необходимо задать хотя бы одну частицу";

// A parameter name: a Latin letter followed by Latin letters and digits.
bool IsValidParamName(std::string_view Name);

// Parses and checks what needs no model; throws TTaskError.
TOptTask ParseOptTask(std::string_view Json);
// Reads the file (TFileError when it cannot be read), then ParseOptTask.
TOptTask LoadOptTask(const std::string& FileName);

// The task as a task file that ParseOptTask reads back unchanged: every key written,
// numbers with enough digits to come back exactly.
std::string WriteOptTask(const TOptTask& Task);
// Writes WriteOptTask's text; TFileError when the file cannot be written.
void SaveOptTask(const TOptTask& Task, const std::string& FileName);

// Applies the task to a search whose objects are built (BuildObjects): suction ranges
// and start values (the start velocity is set through the opening's formulas, so that a
// balancing opening follows), geometric parameters, task data, grid and discretisation
// settings. Throws TTaskError for names that the model does not have.
void ApplyOptTask(const TOptTask& Task, TOptimizeEdges& Search);

// A tabulation grid of more models than this is refused before the search starts.
inline constexpr double MaxGridModels = 1e6;

// The search set up for a task on Model, as every front end starts it: the objects of
// the model (TRefusal with MsgNotBalanced when its flow cannot be balanced), the task
// applied, and a tabulation grid within MaxGridModels (TRefusal otherwise).
void PrepareSearch(const TEdges& Model, const TOptTask& Task, TOptimizeEdges& Search);

} // namespace kalvex
