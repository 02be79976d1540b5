// Numbers the core writes and reads do not follow the process locale: a window
// program runs under the user's locale, where the decimal separator is a comma.
#include "CanvasFixture.h"
#include "settings/uSettings.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"
#include "results/uResultsFile.h"
#include "results/uTextFormat.h"
#include "solver/uCountEdges.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace kalvex::test {
namespace {

struct TOutputs {
    std::vector<std::string> Texts;
    std::vector<double> Parsed;
    std::vector<std::vector<std::uint8_t>> Files;
};

TOutputs Produce(const TTempDir& Dir) {
    TOutputs O;
    for (double V : {0.0, 1234.5678, -0.0001, 1234567.0, 3.14159, -1e10, 0.0123456})
        for (char Sep : {'.', ','})
            O.Texts.push_back(FormatNumber(V, Sep));

    TOptimizedParams P;
    TParamInfo S;
    S.Name = "Отсос1";
    S.Changes.push_back({0, 1, 1.0, ckFlow, "Отсос1"});
    TParamInfo H;
    H.Name = "h";
    P.AddParam(S);
    P.AddParam(H);
    O.Texts.push_back(SearchReport(0, P, {1.5, -0.0375}, 0.75, 0));
    O.Texts.push_back(SearchReport(1, P, {1.5, 1234567.0}, 0.75, 3, ','));

    TEdges Model;
    Model.Add(Polygon({{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}, {0, 0.25, 0, -0.5}));
    TEdgeElements Elements;
    try {
        Elements.DiscretizeGraded(Model, 15, 0.0025, 0.5, 0.1, 1.8);
    } catch (const TKalvexError& E) {
        O.Texts.push_back(E.what());
    }

    const TOptTask Task =
        ParseOptTask(R"({"speed": {"x": 0.25, "y": -1.5e-3, "dx": 0.5, "dy": 1, "v": 2.75}})");
    O.Parsed = {Task.Speed.Point.X, Task.Speed.Point.Y, Task.Speed.Direction.X, Task.Speed.Speed};
    O.Parsed.push_back(StringToColor("$00123ABC").value_or(0));
    O.Parsed.push_back(StringToInt("-42").value_or(0));

    TEdgesCanvas Canvas;
    Canvas.EdgeColor = 0x00123ABC;
    Canvas.SetEdgeWidth(5);
    const std::string Ini = Dir.File("kalvex.ini");
    WriteSettings(Ini, Canvas);
    O.Files.push_back(ReadWholeFile(Ini));
    ExportPicture(Model, TDrawLines(), 0.002, Dir.File("p.wmf"));
    O.Files.push_back(ReadWholeFile(Dir.File("p.wmf")));
    SaveResultsToFile(Dir.File("r.mod"), Model, TDrawLines());
    O.Files.push_back(ReadWholeFile(Dir.File("r.mod")));
    return O;
}

TEST(Locale, RussianProcessLocaleChangesNoNumberMessageOrFile) {
    TTempDir Dir;
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    const TOutputs InC = Produce(Dir);
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr)
        GTEST_SKIP() << "the ru_RU.UTF-8 locale is not installed (scripts/setup generates it)";
    // The locale really writes a comma: printf-style formatting would change.
    const bool Comma = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
    const TOutputs InRu = Produce(Dir);
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(Comma);

    EXPECT_EQ(InRu.Texts, InC.Texts);
    EXPECT_EQ(InRu.Parsed, InC.Parsed);
    EXPECT_EQ(InRu.Files, InC.Files);
    // And what they are: a point, swapped only where a comma is asked for.
    ASSERT_GE(InC.Texts.size(), 17u);
    EXPECT_EQ(InC.Texts[2], "1234.570");
    EXPECT_EQ(InC.Texts[3], "1234,570");
    EXPECT_EQ(InC.Texts[7], "1,23457E+006");
    EXPECT_NE(InC.Texts[14].find("Отсос1 = 2.000м/с"), std::string::npos);
    EXPECT_NE(InC.Texts[16].find("0.5"), std::string::npos) << InC.Texts[16];
    EXPECT_EQ(InC.Parsed[1], -1.5e-3);
    EXPECT_EQ(InC.Parsed[3], 2.75);
}

} // namespace
} // namespace kalvex::test
