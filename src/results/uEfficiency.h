// Capture efficiency by particle size: how many of the particles released along a
// line reach an opening, for each diameter.
#pragma once

#include "results/uParticle.h"

#include <string>
#include <vector>

namespace kalvex {

class TCountEdges;

struct TEfficiencyParams {
    TRealPoint From;
    TRealPoint To;
    // Start points: the middles of Count equal parts of From→To.
    int Count = 10;
    std::vector<double> Diameters;
    // Everything but the start point and the diameter.
    TParticleParams Particle;
    // Also find where caught and not caught switch along the line, to EdgeTolerance.
    bool FindEdges = false;
    double EdgeTolerance = 0.001;
};

// A start position where the outcome switches: between two neighbouring starts, one
// caught and one not, narrowed by bisection until its bracket is at most EdgeTolerance
// long; Point is the middle of the bracket, CaughtBefore tells the side nearer From.
struct TCaptureEdge {
    TRealPoint Point;
    bool CaughtBefore = false;
};

struct TEfficiencyRow {
    double D = 0;
    int Caught = 0;
    int Total = 0;
    std::vector<TCaptureEdge> Edges;
};

struct TEfficiencyOutcome {
    std::vector<TEfficiencyRow> Rows;
    bool Stopped = false;
};

// Start point K of Count on From→To.
TRealPoint EfficiencyStart(const TEfficiencyParams& P, int K);

// Refuses (TKalvexError) a count below 1 or above 100000, no diameter, a start line
// beyond MaxCoordinate, an edge tolerance not positive, or particle data that
// CheckParticleParams refuses (for every diameter).
void CheckEfficiencyParams(const TEfficiencyParams& P);
inline constexpr int MaxStartPoints = 100000;
// The count of start points along the line: 1 to MaxStartPoints.
void CheckStartCount(int Count);

// The rows as a table for other programs: "d,caught,total,fraction" and one line per
// diameter that has traces, every digit of the numbers, '.' decimals.
std::string EfficiencyCsv(const std::vector<TEfficiencyRow>& Rows);

// Traces every particle (each diameter, each start) on Evaluator.Threads threads, each
// worker on its own copy of the solved evaluator (so rotating cylinders turn there,
// never in the caller's), and counts those that reach an opening. Progress (traces
// handed in of all), the event pump and the stop request run on the calling thread;
// once stopped, the rows hold the traces handed in before the stop (Total counts them).
// A fault in a trace is rethrown (TCalcError).
TEfficiencyOutcome CaptureEfficiency(TCountEdges& Evaluator, const TEfficiencyParams& P);

} // namespace kalvex
