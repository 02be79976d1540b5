// kalvex-calc contour / efficiency / field: the answers a hood designer asks of a
// solved system, and its velocity field for other tools.
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "cli/CliResults.h"
#include "geometry/uEdges.h"
#include "geometry/uInputChecks.h"
#include "results/uContour.h"
#include "results/uDrawLines.h"
#include "results/uEfficiency.h"
#include "results/uNothingFound.h"
#include "solver/uCountEdges.h"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace kalvex::cli {
namespace {

// --box X0 Y0 X1 Y1 as two corners within ±1e6 m.
void ReadBox(const TArgs& Args, TRealPoint& A, TRealPoint& B) {
    const std::vector<double> V = Args.GetNumbers("box");
    for (const double C : V)
        CheckCoordinate(C, "--box");
    A = {V[0], V[1]};
    B = {V[2], V[3]};
    if (A.X == B.X || A.Y == B.Y)
        throw TUsageError("--box: the corners must differ in both coordinates");
}

TRealPoint ReadPoint(const TArgs& Args, const std::string& Name) {
    const std::vector<double> V = Args.GetNumbers(Name);
    return CheckPoint({V[0], V[1]}, "--" + Name, "--" + Name);
}

int RunContour(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"speed", "box", "cells", "picture", "dpi"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    if (!Args.Has("speed"))
        throw TUsageError("--speed is required");
    TContourParams P;
    P.Speed = Args.GetDouble("speed", 1.0);
    P.Cells = Args.GetInt("cells", 200);
    const bool HasBox = Args.Has("box");
    if (HasBox)
        ReadBox(Args, P.Corner1, P.Corner2);
    AsUsage("--speed", [&] { CheckSpeed(P.Speed, "--speed"); });
    AsUsage("--cells", [&] { CheckContourParams(P.Speed, P.Cells); });
    CheckDiscretizationOptions(Args);

    const std::string& System = Args.Positional[0];
    TResultFiles Files(Args, System);
    TEdges Model;
    TCountEdges Counter;
    LoadSolvable(Model, Counter, System, Args);
    if (!HasBox)
        DefaultContourBox(Model, P.Corner1, P.Corner2);
    TDrawLines Store;
    const TContourOutcome Outcome = BuildSpeedContour(Counter, Model, Store, P);
    NoticeStop("contour");
    Files.Write(Model, Store);
    Files.Summary() << "lines: " << Outcome.Lines << "\n"
                    << "points: " << Outcome.Points << "\n";
    if (Outcome.Lines == 0 && !Outcome.Stopped)
        std::cerr << "kalvex-calc " << NothingFound(Model, ContourRun(Outcome, P.Speed)).English
                  << "\n";
    return 0;
}

std::vector<double> ReadDiameters(const std::string& Text) {
    std::vector<double> D;
    std::size_t From = 0;
    for (;;) {
        const std::size_t To = Text.find(',', From);
        D.push_back(ParseNumber(Text.substr(From, To - From), "--d"));
        if (To == std::string::npos)
            return D;
        From = To + 1;
    }
}

int RunEfficiency(const TArgs& Args) {
    std::vector<std::string> Names = {"from", "to", "n", "d", "edges"};
    for (const std::string& N : ParticleOptionNames())
        if (N != "x" && N != "y")
            Names.push_back(N);
    Args.OnlyOptions(WithDiscretization(Names));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    for (const char* Needed : {"from", "to", "n", "d"})
        if (!Args.Has(Needed))
            throw TUsageError(std::string("--") + Needed + " is required");
    TEfficiencyParams P;
    P.From = ReadPoint(Args, "from");
    P.To = ReadPoint(Args, "to");
    P.Count = Args.GetInt("n", 10);
    P.Diameters = ReadDiameters(Args.Get("d", ""));
    P.Particle = ReadParticleOptions(Args);
    P.FindEdges = Args.Has("edges");
    AsUsage("--n", [&] { CheckStartCount(P.Count); });
    CheckDiscretizationOptions(Args);
    for (const double D : P.Diameters) {
        TParticleParams Q = P.Particle;
        Q.D = D;
        Q.Start = P.From;
        if (const auto Fault = CheckParticleParams(Q))
            throw TRefusal(Fault->Russian, ParticleOption(Fault->Key) + ": " + Fault->Message);
    }

    const std::string& System = Args.Positional[0];
    std::vector<TOutput> Outputs;
    if (Args.Has("csv"))
        Outputs.push_back({"--csv", Args.Get("csv", ""), true, {}});
    if (Args.Has("mod"))
        throw TUsageError("--mod: efficiency writes no results file");
    CheckOutputs(Outputs, SystemInputs(System));
    TEdges Model;
    TCountEdges Counter;
    LoadSolvable(Model, Counter, System, Args);
    const TEfficiencyOutcome R = CaptureEfficiency(Counter, P);
    NoticeStop("efficiency");

    std::ostringstream Out;
    const std::string Csv = EfficiencyCsv(R.Rows);
    for (const TEfficiencyRow& Row : R.Rows) {
        if (Row.Total == 0)
            continue;
        const std::string F = Num(static_cast<double>(Row.Caught) / Row.Total);
        Out << Num(Row.D) << " " << Row.Caught << " " << Row.Total << " " << F << "\n";
    }
    for (const TEfficiencyRow& Row : R.Rows)
        for (const TCaptureEdge& E : Row.Edges)
            Out << "edge: " << Num(Row.D) << " " << Num(E.Point.X) << " " << Num(E.Point.Y) << " "
                << (E.CaughtBefore ? "caught-missed" : "missed-caught") << "\n";
    for (TOutput& O : Outputs)
        O.Bytes.assign(Csv.begin(), Csv.end());
    WriteOutputs(Outputs);
    (Outputs.empty() || Outputs[0].Name != "-" ? std::cout : std::cerr) << Out.str();
    if (!R.Stopped)
        if (const auto Empty = EfficiencyRun(R, P, Model))
            std::cerr << "kalvex-calc " << NothingFound(Model, *Empty).English << "\n";
    return 0;
}

std::vector<std::uint8_t> FieldCsv(const TFieldGrid& G) {
    std::string Text = "x,y,vx,vy,speed,air\n";
    for (int J = 0; J < G.NY; ++J) {
        for (int I = 0; I < G.NX; ++I) {
            const TRealPoint P = G.Node(I, J);
            const TRealPoint V = G.V[G.Index(I, J)];
            Text += Num(P.X) + "," + Num(P.Y) + "," + Num(V.X) + "," + Num(V.Y) + "," +
                    Num(VectorLength(V)) + "," + (G.Air[G.Index(I, J)] ? "1" : "0") + "\n";
        }
    }
    return {Text.begin(), Text.end()};
}

// The legacy VTK format, ASCII: structured points, x fastest.
std::vector<std::uint8_t> FieldVtk(const TFieldGrid& G) {
    const std::size_t N = G.V.size();
    std::string T = "# vtk DataFile Version 3.0\n"
                    "Kalvex air velocity, m/s; air 0 marks points outside the air\n"
                    "ASCII\nDATASET STRUCTURED_POINTS\n";
    T += "DIMENSIONS " + std::to_string(G.NX) + " " + std::to_string(G.NY) + " 1\n";
    T += "ORIGIN " + Num(G.Min.X) + " " + Num(G.Min.Y) + " 0\n";
    T += "SPACING " + Num((G.Max.X - G.Min.X) / (G.NX - 1)) + " " +
         Num((G.Max.Y - G.Min.Y) / (G.NY - 1)) + " 1\n";
    T += "POINT_DATA " + std::to_string(N) + "\nVECTORS velocity double\n";
    for (const TRealPoint V : G.V)
        T += Num(V.X) + " " + Num(V.Y) + " 0\n";
    T += "SCALARS speed double 1\nLOOKUP_TABLE default\n";
    for (const TRealPoint V : G.V)
        T += Num(VectorLength(V)) + "\n";
    T += "SCALARS air int 1\nLOOKUP_TABLE default\n";
    for (const std::uint8_t A : G.Air)
        T += A ? "1\n" : "0\n";
    return {T.begin(), T.end()};
}

int RunField(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"box", "n", "vtk"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    if (!Args.Has("box") || !Args.Has("n"))
        throw TUsageError("--box and --n are required");
    if (Args.Has("csv") == Args.Has("vtk"))
        throw TUsageError("expected one of --csv and --vtk");
    if (Args.Has("mod"))
        throw TUsageError("--mod: field writes no results file");
    TFieldGrid G;
    TRealPoint A;
    TRealPoint B;
    ReadBox(Args, A, B);
    G.Min = {std::min(A.X, B.X), std::min(A.Y, B.Y)};
    G.Max = {std::max(A.X, B.X), std::max(A.Y, B.Y)};
    const std::vector<double> Counts = Args.GetNumbers("n");
    AsUsage("--n", [&] {
        G.NX = CheckGridNodes(Counts[0]);
        G.NY = CheckGridNodes(Counts[1]);
    });
    CheckDiscretizationOptions(Args);

    const std::string& System = Args.Positional[0];
    const bool Vtk = Args.Has("vtk");
    std::vector<TOutput> Outputs{
        {Vtk ? "--vtk" : "--csv", Args.Get(Vtk ? "vtk" : "csv", ""), true, {}}};
    CheckOutputs(Outputs, SystemInputs(System));
    TEdges Model;
    TCountEdges Counter;
    LoadSolvable(Model, Counter, System, Args);
    if (!SampleField(Counter, Model, G)) {
        // A part of a field is no use to another tool.
        throw TKalvexError("field: stopped by Ctrl+C; nothing written");
    }
    Outputs[0].Bytes = Vtk ? FieldVtk(G) : FieldCsv(G);
    WriteOutputs(Outputs);
    std::size_t InAir = 0;
    for (const std::uint8_t X : G.Air)
        InAir += X;
    (Outputs[0].Name == "-" ? std::cerr : std::cout) << "nodes: " << G.V.size() << "\n"
                                                     << "air: " << InAir << "\n";
    return 0;
}

const TRegisterCommand RegContour(
    {"contour",
     "contour SYSTEM.asp --speed V [--box X0 Y0 X1 Y1] [--cells 200] [--mod F] [--csv F] "
     "[--picture F]   capture-velocity contour",
     72,
     RunContour,
     "The lines where the air speed |V| equals V (m/s, the capture velocity a process asks\n"
     "for): inside them the air moves faster, so dust released there is drawn towards the\n"
     "openings; outside it is slower. Only the air counts: inside closed regions, on the\n"
     "air side of semi-infinite ones, outside cylinders. --box: the corners of the area\n"
     "searched (default: the model's bounds widened by a tenth of their larger side);\n"
     "--cells: grid cells along its longer side (1 to 2000), each crossing then found to\n"
     "about 1e-12 of a cell on the computed speed. Prints \"lines: N\" (polylines; a closed\n"
     "one repeats its first point) and \"points: M\". --mod F: the results file with the\n"
     "lines; --csv F: the table line,point,x,y,color (\"-\": standard output, the summary\n"
     "then goes to stderr); --picture F: WMF, SVG, PNG or PDF by the name's ending, else EMF "
     "(--dpi N).\n",
     {{"box", 4}}});
const TRegisterCommand RegEfficiency(
    {"efficiency",
     "efficiency SYSTEM.asp --from XA YA --to XB YB --n N --d D1,D2,... [particle options] "
     "[--edges] [--csv F]   capture fraction by particle size",
     74,
     RunEfficiency,
     "Releases N particles of every diameter D (m) at the middles of N equal parts of the\n"
     "line from A to B and traces them as \"particle\" does (same options but --x, --y,\n"
     "--d; --vx, --vy is every start velocity). Prints one row per diameter:\n"
     "\"d caught total fraction\": the particles that reached an opening, those released,\n"
     "and their ratio, the share of the line's dust of that size the hood catches. With\n"
     "--edges, also \"edge: d X Y caught-missed|missed-caught\": the start positions\n"
     "where the outcome switches (in the order from A to B), narrowed to 1 mm by\n"
     "bisection. --csv F: the rows as d,caught,total,fraction. The traces run side by\n"
     "side; after Ctrl+C the rows count the particles traced so far.\n",
     {{"from", 2}, {"to", 2}, {"edges", 0}}});
const TRegisterCommand RegField(
    {"field",
     "field SYSTEM.asp --box X0 Y0 X1 Y1 --n NX NY (--csv F | --vtk F)   velocity on a grid",
     76,
     RunField,
     "The air velocity at the NX x NY nodes (2 to 2001 each) of a grid over the box, for\n"
     "other tools. --csv F: rows x,y,vx,vy,speed,air (m, m/s), x running fastest;\n"
     "--vtk F: a legacy VTK file (ASCII, STRUCTURED_POINTS) with the vector \"velocity\" and\n"
     "the scalars \"speed\" and \"air\". air is 1 in the air, 0 outside it (inside a body,\n"
     "behind a wall), where the velocity is written as 0. \"-\" writes to standard output.\n"
     "Prints \"nodes: N\" and \"air: K\" (the nodes in the air).\n",
     {{"box", 4}, {"n", 2}}});

} // namespace
} // namespace kalvex::cli
