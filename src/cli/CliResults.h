// Shared plumbing of the result commands: their option lists, the files they write
// (--mod, --csv, --picture), loading a system ready to solve, their notices, and the
// particle options.
#pragma once

#include "cli/CliCommon.h"
#include "results/uDrawLines.h"
#include "results/uParticle.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kalvex {
class TCountEdges;
class TEdges;
} // namespace kalvex

namespace kalvex::cli {

// Names plus the discretisation options, --mod and --csv.
std::vector<std::string> WithDiscretization(std::vector<std::string> Names);
// line,point,x,y,color with line and point counted from 0.
std::vector<std::uint8_t> LinesCsv(const TDrawLines& Store);

// The files of a result command, checked before any work.
class TResultFiles {
public:
    TResultFiles(const TArgs& Args, const std::string& System);
    // With "--csv -" the table is the standard output and the summary goes to stderr.
    std::ostream& Summary() const;
    // Colours Store's lines as the picture asks.
    void Write(const TEdges& Model, TDrawLines& Store);

private:
    std::vector<TOutput> Outputs;
    // The picture shows the speed scale of the lines' colours.
    bool Legend = false;
    TSpeedScale Colours = TSpeedScale::Openings;
    TPictureOptions Pictures;
};

std::size_t TotalPoints(const TDrawLines& Store);
// Usage errors come before any file is read.
void CheckDiscretizationOptions(const TArgs& Args);
// Loads, checks and discretises a system; Ctrl+C becomes the evaluator's stop request.
void LoadSolvable(TEdges& Model, TCountEdges& Counter, const std::string& System,
                  const TArgs& Args);
void NoticeStop(const char* Command);
void NoticeCut(const char* Command, int Lines);

// The particle options of "particle" but --d: --x --y --vx --vy --rho-air --rho --mu
// --chi --restitution --friction --h --tmax, with the dialog's defaults.
TParticleParams ReadParticleOptions(const TArgs& Args);
const std::vector<std::string>& ParticleOptionNames();
// The command line's name of a particle parameter (CheckParticleParams' key).
std::string ParticleOption(const std::string& Key);

} // namespace kalvex::cli
