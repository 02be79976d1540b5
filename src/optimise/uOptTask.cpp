#include "optimise/uOptTask.h"

#include "base/uKalvexError.h"
#include "geometry/uEdges.h"
#include "optimise/uOptEdges.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <span>
#include <sstream>

namespace kalvex {

namespace {

using nlohmann::json;

const char* const MsgSmallStep = "Слишком маленький шаг интегрирования.";

[[noreturn]] void Fail(const std::string& Where, const std::string& What) {
    throw TTaskError("task file: " + Where + ": " + What);
}

std::string Join(const std::string& A, const std::string& B) {
    return A.empty() ? B : A + "." + B;
}

std::string Item(const std::string& Where, std::size_t I) {
    return Where + "[" + std::to_string(I) + "]";
}

const char* TypeName(const json& V) {
    if (V.is_number())
        return "a number";
    if (V.is_string())
        return "a string";
    if (V.is_boolean())
        return "true/false";
    if (V.is_array())
        return "an array";
    if (V.is_object())
        return "an object";
    return "null";
}

// Refuses keys outside Allowed, so that a misspelt key is not silently ignored.
void OnlyKeys(const json& Obj, const std::string& Where,
              std::initializer_list<const char*> Allowed) {
    if (!Obj.is_object())
        Fail(Where.empty() ? "top level" : Where,
             std::string("must be an object, not ") + TypeName(Obj));
    for (const auto& Item : Obj.items()) {
        const std::string& Key = Item.key(); // clang 14 cannot capture structured bindings
        if (std::none_of(Allowed.begin(), Allowed.end(), [&](const char* A) { return Key == A; })) {
            std::string List;
            for (const char* A : Allowed)
                List += (List.empty() ? "" : ", ") + std::string(A);
            Fail(Join(Where, Key), "unknown key (known here: " + List + ")");
        }
    }
}

std::optional<double> OptNumber(const json& Obj, const std::string& Where, const char* Key) {
    auto It = Obj.find(Key);
    if (It == Obj.end())
        return std::nullopt;
    if (!It->is_number())
        Fail(Join(Where, Key), std::string("must be a number, not ") + TypeName(*It));
    const double V = It->get<double>();
    if (!std::isfinite(V))
        Fail(Join(Where, Key), "must be a finite number");
    return V;
}

double Number(const json& Obj, const std::string& Where, const char* Key, double Default) {
    return OptNumber(Obj, Where, Key).value_or(Default);
}

int Integer(const json& Obj, const std::string& Where, const char* Key, int Default) {
    const std::optional<double> V = OptNumber(Obj, Where, Key);
    if (!V)
        return Default;
    if (*V != std::trunc(*V) || std::abs(*V) > 1e9)
        Fail(Join(Where, Key), "must be an integer");
    return static_cast<int>(*V);
}

std::string String(const json& Obj, const std::string& Where, const char* Key,
                   const std::optional<std::string>& Default = std::nullopt) {
    auto It = Obj.find(Key);
    if (It == Obj.end()) {
        if (!Default)
            Fail(Where, std::string("\"") + Key + "\" is required");
        return *Default;
    }
    if (!It->is_string())
        Fail(Join(Where, Key), std::string("must be a string, not ") + TypeName(*It));
    return It->get<std::string>();
}

const json* Array(const json& Obj, const std::string& Where, const char* Key) {
    auto It = Obj.find(Key);
    if (It == Obj.end())
        return nullptr;
    if (!It->is_array())
        Fail(Join(Where, Key), std::string("must be an array, not ") + TypeName(*It));
    return &*It;
}

void ReadSpeed(const json& J, TSpeedData& S) {
    const std::string W = "speed";
    OnlyKeys(J, W, {"x", "y", "dx", "dy", "v"});
    S.Point = {Number(J, W, "x", S.Point.X), Number(J, W, "y", S.Point.Y)};
    S.Direction = {Number(J, W, "dx", S.Direction.X), Number(J, W, "dy", S.Direction.Y)};
    if (!(std::abs(S.Point.X) <= MaxCoordinate && std::abs(S.Point.Y) <= MaxCoordinate))
        Fail(W, "the point (x, y) must be within ±1e6 m");
    S.Speed = Number(J, W, "v", S.Speed);
    if (!(S.Speed > 0.0))
        Fail(Join(W, "v"), MsgSpeed);
    // The velocity is taken along the direction normalised: (0, 0) has none.
    if (S.Direction.X == 0.0 && S.Direction.Y == 0.0)
        Fail(W, "the direction (dx, dy) must not be (0, 0)");
}

void ReadParticles(const json& J, TParticleData& P) {
    const std::string W = "particles";
    OnlyKeys(J, W,
             {"d", "rho_particle", "rho_air", "mu", "chi", "restitution", "friction", "h", "tmax",
              "start"});
    P.D = Number(J, W, "d", P.D);
    P.RhoParticle = Number(J, W, "rho_particle", P.RhoParticle);
    P.RhoAir = Number(J, W, "rho_air", P.RhoAir);
    P.Mu = Number(J, W, "mu", P.Mu);
    P.Chi = Number(J, W, "chi", P.Chi);
    P.Restitution = Number(J, W, "restitution", P.Restitution);
    P.Friction = Number(J, W, "friction", P.Friction);
    P.H = Number(J, W, "h", P.H);
    P.TMax = Number(J, W, "tmax", P.TMax);
    // The same rules as the trajectory command's: without them the drag law divides by
    // zero on every trial.
    if (const auto Fault = CheckParticleParams(P))
        Fail(Join(W, Fault->Key), Fault->Message);
    if (const json* Starts = Array(J, W, "start")) {
        for (std::size_t I = 0; I < Starts->size(); ++I) {
            const json& S = (*Starts)[I];
            const std::string SW = Item(Join(W, "start"), I);
            OnlyKeys(S, SW, {"x", "y", "vx", "vy"});
            TStartPartInfo Info;
            Info.Position = {Number(S, SW, "x", 1.0), Number(S, SW, "y", 1.0)};
            Info.Velocity = {Number(S, SW, "vx", 0.0), Number(S, SW, "vy", 0.0)};
            TParticleParams At = P;
            At.Start = Info.Position;
            At.StartVelocity = Info.Velocity;
            if (const auto Fault = CheckParticleParams(At))
                Fail(Join(SW, Fault->Key), Fault->Message);
            P.Particles.push_back(Info);
        }
    }
}

TTaskSuction ReadSuction(const json& J, const std::string& W) {
    OnlyKeys(J, W, {"name", "min", "max", "step", "start"});
    TTaskSuction S;
    S.Name = String(J, W, "name");
    S.Min = OptNumber(J, W, "min");
    S.Max = OptNumber(J, W, "max");
    S.Step = OptNumber(J, W, "step");
    S.Start = OptNumber(J, W, "start");
    return S;
}

TTaskGeometric ReadGeometric(const json& J, const std::string& W) {
    OnlyKeys(J, W, {"name", "min", "max", "step", "start", "formulas"});
    TTaskGeometric G;
    G.Name = String(J, W, "name");
    const std::string NW = W + " (" + G.Name + ")";
    if (!IsValidParamName(G.Name))
        Fail(NW, MsgBadName);
    if (G.Name.size() > static_cast<std::size_t>(MaxNameLength))
        Fail(NW, "a parameter name has at most 20 characters");
    G.Min = Number(J, W, "min", G.Min);
    G.Max = Number(J, W, "max", G.Max);
    G.Step = Number(J, W, "step", G.Step);
    G.Start = Number(J, W, "start", G.Start);
    if (!(G.Step > 0.0))
        Fail(NW, MsgGeomStep);
    if (!(G.Min < G.Max))
        Fail(NW, MsgGeomRange);
    if (G.Start < G.Min || G.Start > G.Max)
        Fail(NW, MsgStartOutside);
    if (const json* Formulas = Array(J, W, "formulas")) {
        for (std::size_t I = 0; I < Formulas->size(); ++I) {
            const json& F = (*Formulas)[I];
            const std::string FW = Item(Join(W, "formulas"), I);
            OnlyKeys(F, FW, {"object", "change", "scaler"});
            TTaskFormula Formula;
            Formula.Object = String(F, FW, "object");
            const std::string Change = String(F, FW, "change", std::string("x"));
            if (Change == "x")
                Formula.Change = ckX;
            else if (Change == "y")
                Formula.Change = ckY;
            else if (Change == "r")
                Formula.Change = ckRadius;
            else
                Fail(Join(FW, "change"), "must be \"x\", \"y\" or \"r\", not \"" + Change + "\"");
            Formula.Scaler = Number(F, FW, "scaler", 1.0);
            G.Formulas.push_back(Formula);
        }
    }
    return G;
}

void ReadDiscretization(const json& J, TDiscretizationSettings& D) {
    const std::string W = "discretization";
    OnlyKeys(J, W, {"method", "step", "scaler", "cyl_step", "infinite_scaler", "infinite_count"});
    const std::string Method = String(J, W, "method", std::string("graded"));
    if (Method == "graded")
        D.Graded = true;
    else if (Method == "equal")
        D.Graded = false;
    else
        Fail(Join(W, "method"), "must be \"equal\" or \"graded\", not \"" + Method + "\"");
    D.Step = Number(J, W, "step", D.Step);
    D.Scaler = Number(J, W, "scaler", D.Scaler);
    D.CylStep = Number(J, W, "cyl_step", D.CylStep);
    D.InfiniteScaler = Number(J, W, "infinite_scaler", D.InfiniteScaler);
    D.InfiniteCount = Integer(J, W, "infinite_count", D.InfiniteCount);
}

bool IsLatinLetter(char C) {
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

std::string NamesWithPrefix(const TOptimizedParams& P, const std::string& Prefix) {
    std::string List;
    for (const TChangeObject& O : P.Objects)
        if (O.Name.compare(0, Prefix.size(), Prefix) == 0)
            List += (List.empty() ? "" : ", ") + O.Name;
    return List;
}

} // namespace

bool IsValidParamName(std::string_view Name) {
    if (Name.empty() || !IsLatinLetter(Name.front()))
        return false;
    return std::all_of(Name.begin(), Name.end(),
                       [](char C) { return IsLatinLetter(C) || (C >= '0' && C <= '9'); });
}

TOptTask ParseOptTask(std::string_view Text) {
    json J;
    try {
        J = json::parse(Text);
    } catch (const json::parse_error& E) {
        throw TTaskError(std::string("task file: not valid JSON: ") + E.what());
    } catch (const json::exception&) {
        // The only other fault of the parser: a number beyond the range of a double.
        throw TTaskError("task file: a number is out of range (beyond ±1.8e308)");
    }
    OnlyKeys(J, "",
             {"task", "speed", "particles", "suction", "geometric", "tabulate", "tab_scaler",
              "discretization"});
    TOptTask T;
    T.Task = Integer(J, "", "task", 0);
    if (T.Task < 0 || T.Task > 2)
        Fail("task", "must be 0 (velocity at a point), 1 (most particles caught) or 2 "
                     "(fewest caught)");
    if (auto It = J.find("speed"); It != J.end())
        ReadSpeed(*It, T.Speed);
    if (auto It = J.find("particles"); It != J.end())
        ReadParticles(*It, T.Particles);
    if (T.Task != 0 && T.Particles.Particles.empty())
        Fail("particles.start", MsgNoParticles);
    if (const json* Suction = Array(J, "", "suction")) {
        for (std::size_t I = 0; I < Suction->size(); ++I) {
            TTaskSuction S = ReadSuction((*Suction)[I], Item("suction", I));
            for (const TTaskSuction& Earlier : T.Suction)
                if (Earlier.Name == S.Name)
                    Fail(Item("suction", I), "the opening " + S.Name + " is given twice");
            T.Suction.push_back(std::move(S));
        }
    }
    if (const json* Geometric = Array(J, "", "geometric")) {
        for (std::size_t I = 0; I < Geometric->size(); ++I) {
            TTaskGeometric G = ReadGeometric((*Geometric)[I], Item("geometric", I));
            for (const TTaskGeometric& Earlier : T.Geometric)
                if (Earlier.Name == G.Name)
                    Fail(Item("geometric", I), "Параметр с именем " + G.Name + " уже существует.");
            T.Geometric.push_back(std::move(G));
        }
    }
    if (auto It = J.find("tabulate"); It != J.end()) {
        if (!It->is_boolean())
            Fail("tabulate", std::string("must be true or false, not ") + TypeName(*It));
        T.Tabulate = It->get<bool>();
    }
    T.TabScaler = Number(J, "", "tab_scaler", T.TabScaler);
    if (T.TabScaler < 1.0 || T.TabScaler > 10.0)
        Fail("tab_scaler", "must be from 1 to 10");
    if (auto It = J.find("discretization"); It != J.end())
        ReadDiscretization(*It, T.Discretization);
    return T;
}

std::string WriteOptTask(const TOptTask& T) {
    json J = json::object();
    J["task"] = T.Task;
    J["speed"] = {{"x", T.Speed.Point.X},
                  {"y", T.Speed.Point.Y},
                  {"dx", T.Speed.Direction.X},
                  {"dy", T.Speed.Direction.Y},
                  {"v", T.Speed.Speed}};
    const TParticleData& P = T.Particles;
    json Starts = json::array();
    for (const TStartPartInfo& S : P.Particles)
        Starts.push_back(
            {{"x", S.Position.X}, {"y", S.Position.Y}, {"vx", S.Velocity.X}, {"vy", S.Velocity.Y}});
    J["particles"] = {{"d", P.D},
                      {"rho_particle", P.RhoParticle},
                      {"rho_air", P.RhoAir},
                      {"mu", P.Mu},
                      {"chi", P.Chi},
                      {"restitution", P.Restitution},
                      {"friction", P.Friction},
                      {"h", P.H},
                      {"tmax", P.TMax},
                      {"start", Starts}};
    json Suction = json::array();
    for (const TTaskSuction& S : T.Suction) {
        json E = {{"name", S.Name}};
        if (S.Min)
            E["min"] = *S.Min;
        if (S.Max)
            E["max"] = *S.Max;
        if (S.Step)
            E["step"] = *S.Step;
        if (S.Start)
            E["start"] = *S.Start;
        Suction.push_back(E);
    }
    J["suction"] = Suction;
    json Geometric = json::array();
    for (const TTaskGeometric& G : T.Geometric) {
        json Formulas = json::array();
        for (const TTaskFormula& F : G.Formulas)
            Formulas.push_back({{"object", F.Object},
                                {"change", F.Change == ckY        ? "y"
                                           : F.Change == ckRadius ? "r"
                                                                  : "x"},
                                {"scaler", F.Scaler}});
        Geometric.push_back({{"name", G.Name},
                             {"min", G.Min},
                             {"max", G.Max},
                             {"step", G.Step},
                             {"start", G.Start},
                             {"formulas", Formulas}});
    }
    J["geometric"] = Geometric;
    J["tabulate"] = T.Tabulate;
    J["tab_scaler"] = T.TabScaler;
    const TDiscretizationSettings& D = T.Discretization;
    J["discretization"] = {{"method", D.Graded ? "graded" : "equal"},
                           {"step", D.Step},
                           {"scaler", D.Scaler},
                           {"cyl_step", D.CylStep},
                           {"infinite_scaler", D.InfiniteScaler},
                           {"infinite_count", D.InfiniteCount}};
    // Insertion order is lost (keys sort), which the reader does not mind.
    return J.dump(2) + "\n";
}

void SaveOptTask(const TOptTask& Task, const std::string& FileName) {
    const std::string Text = WriteOptTask(Task);
    WriteFileAtomic(FileName,
                    std::span(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()));
}

TOptTask LoadOptTask(const std::string& FileName) {
    const std::vector<std::uint8_t> Bytes = ReadWholeFile(FileName);
    return ParseOptTask(
        std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}

void ApplyOptTask(const TOptTask& Task, TOptimizeEdges& Search) {
    TOptimizedParams& P = Search.Params;
    const int SuctionCount = P.SuctionCount();

    for (std::size_t K = 0; K < Task.Suction.size(); ++K) {
        const TTaskSuction& S = Task.Suction[K];
        const std::string W = Item("suction", K) + " (" + S.Name + ")";
        int Index = -1;
        for (int I = 0; I < SuctionCount; ++I)
            if (P.Params[static_cast<std::size_t>(I)].Name == S.Name)
                Index = I;
        if (Index < 0) {
            const std::string List = NamesWithPrefix(P, "Отсос");
            Fail(W, "the model has no suction opening of this name" +
                        (List.empty() ? std::string(" (it has none)")
                                      : " (its openings: " + List + ")"));
        }
        const TParamInfo& Current = P.Params[static_cast<std::size_t>(Index)];
        const double Min = S.Min.value_or(Current.Value);
        const double Max = S.Max.value_or(Current.Value);
        const double Step = S.Step.value_or(Current.Step);
        const double Start = S.Start.value_or(Current.Value);
        if (!(Step > 0.0))
            Fail(W, MsgSuctionStep);
        if (Min > Max)
            Fail(W, MsgSuctionRange);
        if (Start < Min || Start > Max)
            Fail(W, MsgStartOutside);
        // The value of a suction parameter is the opening's velocity: the start value
        // is applied through its formulas, so the balancing opening follows.
        P.SetParamValue(Index, Start);
        TParamInfo Info = P.GetParam(Index);
        Info.MinValue = Min;
        Info.MaxValue = Max;
        Info.Step = Step;
        P.ReplaceParam(Index, Info);
    }

    for (std::size_t K = 0; K < Task.Geometric.size(); ++K) {
        const TTaskGeometric& G = Task.Geometric[K];
        const std::string W = Item("geometric", K) + " (" + G.Name + ")";
        if (P.ParamExists(G.Name))
            Fail(W, "Параметр с именем " + G.Name + " уже существует.");
        TParamInfo Info;
        Info.Name = G.Name;
        Info.MinValue = G.Min;
        Info.MaxValue = G.Max;
        Info.Step = G.Step;
        // The drawn geometry stands for the start value.
        Info.Value = G.Start;
        for (std::size_t F = 0; F < G.Formulas.size(); ++F) {
            const TTaskFormula& Formula = G.Formulas[F];
            const std::string FW = Item(Item("geometric", K) + ".formulas", F);
            const int Obj = P.FindObject(Formula.Object);
            const bool IsPoint = Formula.Object.rfind("Точка", 0) == 0;
            const bool IsCylinder = Formula.Object.rfind("Цилиндр", 0) == 0;
            if (Obj < 0 || !(IsPoint || IsCylinder)) {
                const std::string Points = NamesWithPrefix(P, "Точка");
                const std::string Cylinders = NamesWithPrefix(P, "Цилиндр");
                std::string Known = Points;
                if (!Cylinders.empty())
                    Known += (Known.empty() ? "" : ", ") + Cylinders;
                Fail(FW, "the model has no vertex or cylinder \"" + Formula.Object + "\"" +
                             (Known.empty() ? std::string(" (it has none)")
                                            : " (it has " + Known + ")"));
            }
            if (Formula.Change == ckRadius && !IsCylinder)
                Fail(FW,
                     "only a cylinder has a radius (\"r\"); " + Formula.Object + " is a vertex");
            const TChangeObject& O = P.Objects[static_cast<std::size_t>(Obj)];
            Info.Changes.push_back(
                {O.EdgeIndex, O.SegIndex, Formula.Scaler, Formula.Change, O.Name});
        }
        P.AddParam(Info);
    }

    Search.SpeedTask = Task.Speed;
    Search.ParticleTask = Task.Particles;
    Search.Tabulate = Task.Tabulate;
    Search.TabScaler = Task.TabScaler;
    Search.DiscretizationSettings = Task.Discretization;
}

void PrepareSearch(const TEdges& Model, const TOptTask& Task, TOptimizeEdges& Search) {
    if (!Search.Params.BuildObjects(Model))
        throw TRefusal(MsgNotBalanced,
                       "the flow of this model cannot be balanced: a model without a "
                       "semi-infinite region needs exactly one opening with V < 0 of "
                       "non-zero length (this one has " +
                           std::to_string(Model.InflowCount()) + ")");
    ApplyOptTask(Task, Search);
    if (Search.Tabulate && !(Search.GridSize() <= MaxGridModels)) {
        std::ostringstream Size;
        Size.precision(17);
        Size << Search.GridSize();
        throw TRefusal("Слишком много моделей для табулирования: " + Size.str() +
                           ".\rУвеличьте шаги или множитель табулирования либо сузьте пределы "
                           "(не более 1 000 000 моделей).",
                       "the tabulation grid has " + Size.str() +
                           " models, more than the bound of 1000000: take larger steps, a "
                           "larger tab_scaler or narrower ranges");
    }
}

} // namespace kalvex
