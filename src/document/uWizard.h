// The optimisation wizard without Qt: the task being set up (task type, velocity or
// particle data, the searched parameters with their formulas, grid and discretisation),
// the checks of its dialogs, its task file, and the search run on it.
#pragma once

#include "geometry/uEdges.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvex {

class TDocument;

inline constexpr const char* MsgInputError = "Ошибка при вводе параметров";
inline constexpr const char* MsgStartInputError = "Ошибка при вводе начальных условий";
inline constexpr const char* MsgSuctionInputError = "Ошибка при вводе параметров.";
inline constexpr const char* MsgGeomInputError =
    "Ошибка при вводе шага или\rпределов изменения параметра.";

// The task names, in the order of the first page.
inline constexpr const char* TaskNames[] = {"Обеспечение определенной скорости в заданной точке",
                                            "Обеспечение улавливания максимального числа частиц",
                                            "Обеспечение улавливания минимального числа частиц"};

// Numbers as a dialog typed them: nothing for text that did not convert.
using TTyped = std::optional<double>;

// The checks of the dialogs. Each gives the message of the first failure, or nothing.
std::optional<std::string> CheckSpeedData(TTyped X, TTyped Y, TTyped V, TTyped Vnx, TTyped Vny);
// A particle's start: within the coordinates and velocities a task file holds.
std::optional<std::string> CheckStartInfo(TTyped X, TTyped Y, TTyped Vx, TTyped Vy);
std::optional<std::string> CheckSuctionInfo(TTyped Low, TTyped High, TTyped Step, TTyped Start);
// Params: the parameters already defined (the name must be new for a new parameter).
std::optional<std::string> CheckParamInfo(const std::string& Name, bool IsNew,
                                          const TOptimizedParams& Params, TTyped From, TTyped To,
                                          TTyped Step, TTyped Start);

// "Точка2.y := Точка2.y + (0,5) * h"; ScalerText as the list writes the multiplier.
std::string FormulaText(const std::string& Object, int Kind, const std::string& ScalerText,
                        const std::string& Param);
// "Частица" + the particle's number counted from 1.
std::string ParticleName(int Index);
std::string DeleteParticleQuestion(int Index);
std::string DeleteParamQuestion(const std::string& Name);
std::string DeleteFormulaQuestion(const std::string& Text);

class TWizard {
public:
    TWizard();

    // On entering modelling: the objects and automatic suction parameters are rebuilt
    // from Model, geometric parameters and particles discarded, the discretisation
    // taken over. False when the flow of Model cannot be balanced: the wizard is then
    // empty and not Ready.
    bool Prepare(const TEdges& Model, const TDiscretizationSettings& Discretization);
    bool Ready() const { return FReady; }

    // ---- the task
    int Task = 0;
    TSpeedData Speed;
    TParticleData Particles;
    bool Tabulate = false;
    double TabScaler = 1.0;
    TDiscretizationSettings Discretization;

    // ---- the parameters: suction ones first, then the geometric ones
    const TOptimizedParams& Params() const { return FSearch->Params; }
    int SuctionCount() const { return FSearch->Params.SuctionCount(); }
    int GeomCount() const { return Params().ParamCount() - SuctionCount(); }
    const TParamInfo& Suction(int I) const;
    const TParamInfo& Geometric(int K) const;
    // The objects a formula can change (vertices and cylinders), in object order.
    std::vector<TChangeObject> FormulaObjects() const;
    // A new geometric parameter as its dialog starts.
    static TParamInfo NewGeometric();
    void SetSuction(int I, double Low, double High, double Step, double Start);
    void AddGeometric(const TParamInfo& Info);
    void ReplaceGeometric(int K, const TParamInfo& Info);
    void DeleteGeometric(int K);

    // ---- the task file
    TOptTask ToTask() const;
    // Takes over a task read from a file. The error's text (the dialogs' message with
    // its place) when the model lacks a named object; the wizard then stays as it was.
    std::optional<std::string> LoadTask(const TOptTask& T);

    // ---- the search, on a fresh copy of the prepared model with the task as ToTask
    // gives it, so that the command line finds the same on the saved task file.
    // False when no point could be evaluated. Pump and Progress as TOptimizeEdges has.
    bool Run(TEventPump Pump,
             std::function<void(int Evaluations, double BestOut)> Progress = nullptr);
    void Stop();
    bool Running() const { return FRunning; }
    bool Stopped() const { return FRun && FRun->Stopped; }
    // The last search's answer.
    const TRealArray& Best() const { return FBest; }
    double BestValue() const { return FBestValue; }
    int Caught() const { return FCaught; }
    std::string Report(char Separator) const;
    // The prepared model with the values the report names (task 0: the suction values
    // scaled to the required speed) put in through the formulas.
    TEdges FoundModel() const;

private:
    std::unique_ptr<TOptimizeEdges> Built(const TOptTask& T) const;

    TEdges FSource;
    bool FReady = false;
    std::unique_ptr<TOptimizeEdges> FSearch;
    std::unique_ptr<TOptimizeEdges> FRun;
    bool FRunning = false;
    TRealArray FBest;
    double FBestValue = 0.0;
    int FCaught = 0;
};

// Puts the found model into the document as an edit (unsaved).
void ApplyFoundModel(TDocument& Doc, const TEdges& Model);

} // namespace kalvex
