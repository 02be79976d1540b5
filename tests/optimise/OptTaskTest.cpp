// The task file: defaults, refusals with clear messages, and how it is applied to the
// parameters of a model.
#include "OptTestModels.h"
#include "TestSupport.h"
#include "optimise/uOptTask.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// The message of the TTaskError that Fn throws ("" when it throws none).
template <class F> std::string ErrorOf(F Fn) {
    try {
        Fn();
    } catch (const TTaskError& E) {
        return E.what();
    }
    return "";
}

std::string ParseError(const std::string& Json) {
    return ErrorOf([&] { ParseOptTask(Json); });
}

// A long wall with a suction slot (Отсос1) and a closed box above it.
TEdges SlotModel() {
    TEdges M;
    TEdge W(ekSemiInfinite);
    W.Segments = {Seg({-2, 0}, {-1, 0}, 0), Seg({-1, 0}, {-0.05, 0}, 0),
                  Seg({-0.05, 0}, {0.05, 0}, 2.0), Seg({0.05, 0}, {1, 0}, 0),
                  Seg({1, 0}, {2, 0}, 0)};
    M.Add(W);
    M.Add(Cylinder({0, 1}, 0.1, 0, false, 0, 0, 0));
    return M;
}

} // namespace

TEST(OptTaskParse, EmptyTaskTakesTheDialogDefaults) {
    const TOptTask T = ParseOptTask("{}");
    EXPECT_EQ(T.Task, 0);
    EXPECT_EQ(T.Speed.Point.X, 1.0);
    EXPECT_EQ(T.Speed.Point.Y, 1.0);
    EXPECT_EQ(T.Speed.Direction.X, 1.0);
    EXPECT_EQ(T.Speed.Direction.Y, 0.0);
    EXPECT_EQ(T.Speed.Speed, 1.0);
    EXPECT_EQ(T.Particles.D, 0.0001);
    EXPECT_EQ(T.Particles.RhoParticle, 3500.0);
    EXPECT_EQ(T.Particles.RhoAir, 1.205);
    EXPECT_EQ(T.Particles.Mu, 0.0000178);
    EXPECT_EQ(T.Particles.Chi, 1.0);
    EXPECT_EQ(T.Particles.Restitution, 0.5);
    EXPECT_EQ(T.Particles.Friction, 0.5);
    EXPECT_EQ(T.Particles.H, 0.005);
    EXPECT_EQ(T.Particles.TMax, 5.0);
    EXPECT_TRUE(T.Particles.Particles.empty());
    EXPECT_TRUE(T.Suction.empty());
    EXPECT_TRUE(T.Geometric.empty());
    EXPECT_FALSE(T.Tabulate);
    EXPECT_EQ(T.TabScaler, 1.0);
    EXPECT_TRUE(T.Discretization.Graded);
    EXPECT_EQ(T.Discretization.Step, 0.0004);
    EXPECT_EQ(T.Discretization.Scaler, 2.0);
    EXPECT_EQ(T.Discretization.CylStep, 0.1);
    EXPECT_EQ(T.Discretization.InfiniteScaler, 1.8);
    EXPECT_EQ(T.Discretization.InfiniteCount, 15);
}

TEST(OptTaskParse, FullTaskIsRead) {
    const TOptTask T = ParseOptTask(R"({
      "task": 2,
      "speed": {"x": 0.5, "y": 0.25, "dx": 0, "dy": -1, "v": 3},
      "particles": {"d": 0.0002, "rho_particle": 2000, "h": 0.01, "tmax": 2,
                    "start": [{"x": 0.1, "y": 0.2, "vx": 1}, {}]},
      "suction": [{"name": "Отсос1", "min": 0.5, "max": 5, "step": 0.5, "start": 1}],
      "geometric": [{"name": "h2", "min": -0.1, "max": 0.2, "step": 0.05, "start": 0,
                     "formulas": [{"object": "Точка3", "change": "y", "scaler": -2},
                                  {"object": "Цилиндр1", "change": "r"}]}],
      "tabulate": true, "tab_scaler": 2.5,
      "discretization": {"method": "equal", "step": 0.01, "infinite_count": 4}
    })");
    EXPECT_EQ(T.Task, 2);
    EXPECT_EQ(T.Speed.Direction.Y, -1.0);
    EXPECT_EQ(T.Speed.Speed, 3.0);
    EXPECT_EQ(T.Particles.D, 0.0002);
    EXPECT_EQ(T.Particles.RhoAir, 1.205);
    ASSERT_EQ(T.Particles.Particles.size(), 2u);
    EXPECT_EQ(T.Particles.Particles[0].Velocity.X, 1.0);
    EXPECT_EQ(T.Particles.Particles[0].Position.Y, 0.2);
    EXPECT_EQ(T.Particles.Particles[1].Position.X, 1.0);
    ASSERT_EQ(T.Suction.size(), 1u);
    EXPECT_EQ(T.Suction[0].Name, "Отсос1");
    EXPECT_EQ(T.Suction[0].Start, 1.0);
    ASSERT_EQ(T.Geometric.size(), 1u);
    ASSERT_EQ(T.Geometric[0].Formulas.size(), 2u);
    EXPECT_EQ(T.Geometric[0].Formulas[0].Change, ckY);
    EXPECT_EQ(T.Geometric[0].Formulas[0].Scaler, -2.0);
    EXPECT_EQ(T.Geometric[0].Formulas[1].Change, ckRadius);
    EXPECT_EQ(T.Geometric[0].Formulas[1].Scaler, 1.0);
    EXPECT_TRUE(T.Tabulate);
    EXPECT_EQ(T.TabScaler, 2.5);
    EXPECT_FALSE(T.Discretization.Graded);
    EXPECT_EQ(T.Discretization.Step, 0.01);
    EXPECT_EQ(T.Discretization.InfiniteCount, 4);
}

TEST(OptTaskParse, ParameterNames) {
    EXPECT_TRUE(IsValidParamName("p2"));
    EXPECT_TRUE(IsValidParamName("Width"));
    EXPECT_FALSE(IsValidParamName("Param_1"));
    EXPECT_FALSE(IsValidParamName("1abc"));
    EXPECT_FALSE(IsValidParamName(""));
    EXPECT_FALSE(IsValidParamName("шаг"));
    EXPECT_FALSE(IsValidParamName("a b"));

    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "Param_1"}]})"),
              "task file: geometric[0] (Param_1): Некорректное имя параметра.");
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "1abc"}]})"),
              "task file: geometric[0] (1abc): Некорректное имя параметра.");
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "p2"}, {"name": "p2"}]})"),
              "task file: geometric[1]: Параметр с именем p2 уже существует.");
    EXPECT_NE(ParseError(R"({"geometric": [{"name": "abcdefghijklmnopqrstu"}]})"), "");
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "abcdefghijklmnopqrst"}]})"), "");
    EXPECT_EQ(ParseError(R"({"geometric": [{"min": 0}]})"),
              "task file: geometric[0]: \"name\" is required");
}

TEST(OptTaskParse, RangesAndSteps) {
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "h", "step": 0}]})"),
              "task file: geometric[0] (h): Шаг изменения должен быть больше 0.");
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "h", "min": 1, "max": 0}]})"),
              "task file: geometric[0] (h): Несоответствие пределов изменения "
              "параметра.\rПервый должен быть меньше второго.");
    // A geometric range must be a range; a suction range may be a single value.
    EXPECT_NE(ParseError(R"({"geometric": [{"name": "h", "min": 0.5, "max": 0.5,
                                           "start": 0.5}]})"),
              "");
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "h", "min": 0, "max": 1, "start": 2}]})"),
              "task file: geometric[0] (h): Начальное значение должно находиться\rмежду "
              "пределами изменения");
    EXPECT_EQ(ParseError(R"({"suction": [{"name": "Отсос1", "min": 1, "max": 1}]})"), "");
    EXPECT_EQ(ParseError(R"({"suction": [{"name": "Отсос1"}, {"name": "Отсос1"}]})"),
              "task file: suction[1]: the opening Отсос1 is given twice");
    EXPECT_EQ(ParseError(R"({"tab_scaler": 0.5})"), "task file: tab_scaler: must be from 1 to 10");
    EXPECT_EQ(ParseError(R"({"tab_scaler": 11})"), "task file: tab_scaler: must be from 1 to 10");
}

TEST(OptTaskParse, TaskDataChecks) {
    EXPECT_EQ(ParseError(R"({"task": 3})").rfind("task file: task: must be 0", 0), 0u);
    EXPECT_NE(ParseError(R"({"task": 0.5})"), "");
    EXPECT_EQ(ParseError(R"({"speed": {"v": 0}})"),
              "task file: speed.v: Модуль скорости воздуха \rдолжен быть положительным");
    EXPECT_EQ(ParseError(R"({"speed": {"dx": 0, "dy": 0}})"),
              "task file: speed: the direction (dx, dy) must not be (0, 0)");
    EXPECT_EQ(ParseError(R"({"task": 1})"),
              "task file: particles.start: Необходимо задать хотя бы одну частицу");
    EXPECT_EQ(ParseError(R"({"task": 2, "particles": {"start": []}})"),
              "task file: particles.start: Необходимо задать хотя бы одну частицу");
    EXPECT_EQ(ParseError(R"({"task": 1, "particles": {"h": 1e-11, "start": [{}]}})"),
              "task file: particles.h: Слишком маленький шаг интегрирования.");
    EXPECT_EQ(ParseError(R"({"task": 1, "particles": {"h": 1e-10, "start": [{}]}})"), "");
    EXPECT_EQ(ParseError(R"({"particles": {"d": 0}})"), "task file: particles.d: must be positive");
    EXPECT_EQ(ParseError(R"({"particles": {"mu": -1}})"),
              "task file: particles.mu: must be positive");
    EXPECT_EQ(ParseError(R"({"discretization": {"method": "fine"}})"),
              "task file: discretization.method: must be \"equal\" or \"graded\", not \"fine\"");
    EXPECT_EQ(ParseError(R"({"discretization": {"infinite_count": 2.5}})"),
              "task file: discretization.infinite_count: must be an integer");
}

TEST(OptTaskParse, StructureErrorsNameThePlace) {
    EXPECT_EQ(ParseError("{\"task\": 0,}").rfind("task file: not valid JSON: ", 0), 0u);
    EXPECT_EQ(ParseError("[1, 2]"), "task file: top level: must be an object, not an array");
    EXPECT_EQ(ParseError(R"({"tabulte": true})").rfind("task file: tabulte: unknown key", 0), 0u);
    EXPECT_EQ(ParseError(R"({"speed": {"x": "1"}})"),
              "task file: speed.x: must be a number, not a string");
    EXPECT_EQ(ParseError(R"({"tabulate": 1})"),
              "task file: tabulate: must be true or false, not a number");
    EXPECT_EQ(ParseError(R"({"suction": {}})"),
              "task file: suction: must be an array, not an object");
    EXPECT_EQ(
        ParseError(R"({"geometric": [{"name": "h", "formulas": [{"object": "Точка1",
                     "change": "z"}]}]})"),
        "task file: geometric[0].formulas[0].change: must be \"x\", \"y\" or \"r\", not \"z\"");
    EXPECT_EQ(ParseError(R"({"geometric": [{"name": "h", "formulas": [{"objet": "Точка1"}]}]})")
                  .rfind("task file: geometric[0].formulas[0].objet: unknown key", 0),
              0u);
}

TEST(OptTaskApply, SuctionStartGoesThroughTheFormulas) {
    // A closed hood: the balancing inflow follows the suction's start value.
    TEdges M;
    M.Add(Rect({0, 0}, {2, 1}, {0, 0, 1, -2}));
    TOptimizeEdges S;
    ASSERT_TRUE(S.Params.BuildObjects(M));
    ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 0.5, "max": 3,
                                               "step": 0.25, "start": 2}],
                                  "tabulate": true, "tab_scaler": 3,
                                  "discretization": {"step": 0.001}})"),
                 S);
    const TParamInfo P = S.Params.GetParam(0);
    EXPECT_EQ(P.Value, 2.0);
    EXPECT_EQ(P.MinValue, 0.5);
    EXPECT_EQ(P.MaxValue, 3.0);
    EXPECT_EQ(P.Step, 0.25);
    EXPECT_DOUBLE_EQ(S.Params.Model.Item(0).GetSegment(2).V, 2.0);
    EXPECT_DOUBLE_EQ(S.Params.Model.Item(0).GetSegment(3).V, -4.0);
    EXPECT_NEAR(S.Params.Model.TotalFlow(), 0.0, 1e-12);
    EXPECT_TRUE(S.Tabulate);
    EXPECT_EQ(S.TabScaler, 3.0);
    EXPECT_EQ(S.DiscretizationSettings.Step, 0.001);

    // Left out, the range is the opening's own velocity.
    TOptimizeEdges D;
    ASSERT_TRUE(D.Params.BuildObjects(M));
    ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "step": 0.5}]})"), D);
    EXPECT_EQ(D.Params.GetParam(0).MinValue, 1.0);
    EXPECT_EQ(D.Params.GetParam(0).MaxValue, 1.0);
    EXPECT_EQ(D.Params.GetParam(0).Value, 1.0);
    EXPECT_EQ(D.Params.GetParam(0).Step, 0.5);

    // Refusals that need the model's velocity.
    TOptimizeEdges E;
    ASSERT_TRUE(E.Params.BuildObjects(M));
    EXPECT_EQ(ErrorOf([&] {
                  ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 2}]})"), E);
              }),
              "task file: suction[0] (Отсос1): Нижний предел не может быть выше верхнего");
    EXPECT_EQ(ErrorOf([&] {
                  ApplyOptTask(
                      ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 2, "max": 3}]})"), E);
              }),
              "task file: suction[0] (Отсос1): Начальное значение должно находиться\rмежду "
              "пределами изменения");
    EXPECT_EQ(ErrorOf([&] {
                  ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "step": -1}]})"), E);
              }),
              "task file: suction[0] (Отсос1): Шаг изменения должен быть положительным.");
}

TEST(OptTaskApply, GeometricParametersFindTheirObjects) {
    TOptimizeEdges S;
    ASSERT_TRUE(S.Params.BuildObjects(SlotModel()));
    ASSERT_EQ(S.Params.SuctionCount(), 1);
    ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 1, "max": 4,
                                               "start": 3}],
                                  "geometric": [{"name": "h", "min": 0, "max": 0.2, "step": 0.05,
                                                 "start": 0.1,
                                   "formulas": [{"object": "Точка4", "change": "y"},
                                                {"object": "Цилиндр1", "change": "r",
                                                 "scaler": 0.5}]}]})"),
                 S);
    ASSERT_EQ(S.Params.ParamCount(), 2);
    const TParamInfo H = S.Params.GetParam(1);
    EXPECT_EQ(H.Name, "h");
    EXPECT_EQ(H.Value, 0.1);
    ASSERT_EQ(H.Changes.size(), 2u);
    EXPECT_EQ(H.Changes[0].EdgeIndex, 0);
    EXPECT_EQ(H.Changes[0].SegIndex, 3); // Отсос1 counts apart: Точка4 is (0.05, 0)
    EXPECT_EQ(H.Changes[0].Kind, ckY);
    EXPECT_EQ(H.Changes[0].ObjectName, "Точка4");
    EXPECT_EQ(H.Changes[1].EdgeIndex, 1);
    EXPECT_EQ(H.Changes[1].Kind, ckRadius);
    EXPECT_EQ(H.Changes[1].Scaler, 0.5);
    // The drawn geometry stands for the start value: nothing moved yet.
    EXPECT_EQ(S.Params.Model.Item(0).GetSegment(3).P1.Y, 0.0);
    // The slot's velocity is the suction start value (no balance with a long wall).
    EXPECT_EQ(S.Params.Model.Item(0).GetSegment(2).V, 3.0);

    const auto Apply = [](const char* Json) {
        return ErrorOf([&] {
            TOptimizeEdges T;
            ASSERT_TRUE(T.Params.BuildObjects(SlotModel()));
            ApplyOptTask(ParseOptTask(Json), T);
        });
    };
    EXPECT_EQ(Apply(R"({"suction": [{"name": "Отсос2"}]})"),
              "task file: suction[0] (Отсос2): the model has no suction opening of this "
              "name (its openings: Отсос1)");
    EXPECT_EQ(Apply(R"({"geometric": [{"name": "h", "formulas": [{"object": "Точка9"}]}]})"),
              "task file: geometric[0].formulas[0]: the model has no vertex or cylinder "
              "\"Точка9\" (it has Точка1, Точка2, Точка3, Точка4, Точка5, Точка6, Цилиндр1)");
    EXPECT_NE(Apply(R"({"geometric": [{"name": "h", "formulas": [{"object": "Отсос1"}]}]})"), "");
    EXPECT_EQ(Apply(R"({"geometric": [{"name": "h", "formulas": [{"object": "Точка2",
                                                                 "change": "r"}]}]})"),
              "task file: geometric[0].formulas[0]: only a cylinder has a radius (\"r\"); "
              "Точка2 is a vertex");
    EXPECT_EQ(Apply(R"({"geometric": [{"name": "h", "formulas": [{"object": "Цилиндр1",
                                                                 "change": "r"}]}]})"),
              "");
}

TEST(OptTaskFile, LoadedFromDiskOrRefused) {
    TTempDir Dir;
    const std::string Path = Dir.File("task.json");
    {
        std::ofstream Out(Path);
        Out << R"({"task": 0, "speed": {"x": 0, "y": 0.2}})";
    }
    EXPECT_EQ(LoadOptTask(Path).Speed.Point.Y, 0.2);
    EXPECT_THROW(LoadOptTask(Dir.File("missing.json")), TFileError);
}
