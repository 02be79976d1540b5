// What the window is refused: a crossing model, points and particles no model can take,
// results that are not numbers.
#include "document/uDocument.h"
#include "geometry/uBinaryIO.h"

#include "ModelBuilders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kalvex;
using namespace kalvex::test;

namespace {

class TQuietUi : public TDocumentUi {
public:
    TSaveAnswer AskSaveChanges(const std::string&) override { return TSaveAnswer::No; }
    std::optional<std::string> AskOpenName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> AskSaveName(const std::string&) override { return SaveName; }
    void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
    std::string SaveName;
    std::vector<std::string> Messages;
};

// A saved flanged slot, discretised and in modelling.
struct TSlotDocument {
    TTempDir Dir;
    TDocument Doc;
    TQuietUi Ui;
    TSlotDocument() {
        Doc.Canvas().Edges = FlangedSlot(0.1, 1.0);
        Ui.SaveName = Dir.File("slot.asp");
        Doc.MarkChanged();
        EXPECT_TRUE(Doc.Save(Ui));
        Doc.PrepareModelling = [this] {
            Doc.Discretize({});
            return true;
        };
        EXPECT_TRUE(Doc.SwitchMode(TMode::mdCount, Ui));
    }
};

std::string Refusal(const std::function<void()>& F) {
    try {
        F();
    } catch (const TRefusal& E) {
        return E.what();
    }
    return "(nothing refused)";
}

} // namespace

TEST(InputRulesTest, CrossingModelIsNotModelled) {
    TTempDir Dir;
    TDocument Doc;
    TQuietUi Ui;
    // Two squares that overlap: balanced and saved, but no region of air.
    Doc.Canvas().Edges = ModelOf({Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                                  Polygon({{0.5, 0.5}, {1.5, 0.5}, {1.5, 1.5}, {0.5, 1.5}})});
    Ui.SaveName = Dir.File("cross.asp");
    Doc.MarkChanged();
    ASSERT_TRUE(Doc.Save(Ui));
    bool Prepared = false;
    Doc.PrepareModelling = [&] { return Prepared = true; };
    EXPECT_FALSE(Doc.SwitchMode(TMode::mdCount, Ui));
    EXPECT_FALSE(Prepared);
    EXPECT_EQ(Doc.Mode(), TMode::mdEdit);
    ASSERT_EQ(Ui.Messages.size(), 1u);
    EXPECT_EQ(Ui.Messages[0].rfind("Границы системы пересекаются.\r", 0), 0u) << Ui.Messages[0];
}

TEST(InputRulesTest, VelocityFarAwayIsRefusedNotNan) {
    TSlotDocument S;
    EXPECT_NE(Refusal([&] { S.Doc.VelocityAt({1e308, 0.1}); }).find("±1e6 м"), std::string::npos);
    const TRealPoint V = S.Doc.VelocityAt({0.0, 0.1});
    EXPECT_LT(V.Y, 0.0);
}

TEST(InputRulesTest, ParticleDataNoParticleHasIsNamed) {
    TSlotDocument S;
    const struct {
        std::function<void(TParticleParams&)> Set;
        const char* Field;
    } Cases[] = {
        {[](TParticleParams& P) { P.D = -1; }, "Эквивалентный диаметр частицы"},
        {[](TParticleParams& P) { P.D = 0; }, "Эквивалентный диаметр частицы"},
        {[](TParticleParams& P) { P.RhoParticle = -1; }, "Плотность частицы"},
        {[](TParticleParams& P) { P.RhoParticle = 0; }, "Плотность частицы"},
        {[](TParticleParams& P) { P.Mu = 0; }, "Динамическая вязкость воздуха"},
        {[](TParticleParams& P) { P.Restitution = -1; }, "Коэффициент восстановления"},
        {[](TParticleParams& P) { P.Friction = 1e308; }, "Коэффициент трения"},
        {[](TParticleParams& P) { P.TMax = -1; }, "Максимальное время"},
        {[](TParticleParams& P) { P.Start.X = 1e20; }, "Координата X точки вылета"},
    };
    for (const auto& C : Cases) {
        TParticleParams P;
        P.Start = {0.0, 0.2};
        C.Set(P);
        const std::string Text = Refusal([&] { S.Doc.TraceParticle(P); });
        EXPECT_EQ(Text.rfind(std::string("Ошибка при вводе параметров.\r") + C.Field, 0), 0u)
            << Text;
    }
    EXPECT_EQ(S.Doc.Canvas().DrawLines.Count, 0);
    EXPECT_EQ(S.Doc.RotationTime(), 0.0);
}

TEST(InputRulesTest, DamagedElementRecordIsDiscretisedAfresh) {
    TSlotDocument S;
    const std::string Dsc = S.Doc.CompanionPath().string();
    std::vector<std::uint8_t> B = ReadWholeFile(Dsc);
    ASSERT_GT(B.size(), 4u + 40 * 4);
    B[4 + 40 * 3 + 6] ^= 0x01;
    WriteFileAtomic(Dsc, B);
    EXPECT_FALSE(S.Doc.LoadCompanion(S.Ui));
    EXPECT_EQ(S.Doc.ElementCount(), 0);
}

TEST(InputRulesTest, TurnedSlitsGoBackToTheDrawnAnglesAndAreNotSaved) {
    TTempDir Dir;
    TDocument Doc;
    TQuietUi Ui;
    Doc.Canvas().Edges = ModelOf(
        {Chain({{-1, 0}, {0, 0}, {1, 0}}), Cylinder({0, 0.5}, 0.1, 2.0, true, 250, 290, 0)});
    Ui.SaveName = Dir.File("rot.asp");
    Doc.MarkChanged();
    ASSERT_TRUE(Doc.Save(Ui));
    Doc.PrepareModelling = [&] {
        Doc.Discretize({});
        return true;
    };
    ASSERT_TRUE(Doc.SwitchMode(TMode::mdCount, Ui));
    const std::vector<std::uint8_t> Drawn = Doc.Solver().Elements.SaveToBytes();
    const auto Slit = [&] { return Doc.Canvas().Edges.Item(1).GetSegment(1).P1; };
    const auto ExpectDrawn = [&](TRealPoint A) {
        EXPECT_EQ(A.X, 250.0);
        EXPECT_EQ(A.Y, 290.0);
    };

    TParticleParams P;
    P.Start = {0.5, 0.3};
    P.TMax = 0.05;
    Doc.TraceParticle(P);
    Doc.RotateCylinders(90);
    EXPECT_GT(Slit().X, 340.0);
    EXPECT_TRUE(Doc.Saved());
    // A save while turned writes the drawn angles; the results file holds the model as
    // it stands.
    Ui.SaveName = Dir.File("copy.asp");
    ASSERT_TRUE(Doc.SaveAs(Ui));
    TEdges Saved;
    Saved.LoadFromFile(Dir.File("copy.asp"));
    ExpectDrawn(Saved.Item(1).GetSegment(1).P1);
    Doc.SaveResults(Dir.File("turned.mod"));

    EXPECT_TRUE(Doc.RotateBack());
    ExpectDrawn(Slit());
    EXPECT_EQ(Doc.Solver().Elements.SaveToBytes(), Drawn);
    EXPECT_FALSE(Doc.RotateBack());

    // Editing shows the drawn angles after a flight too.
    Doc.TraceParticle(P);
    EXPECT_NE(Slit().X, 250.0);
    ASSERT_TRUE(Doc.SwitchMode(TMode::mdEdit, Ui));
    ExpectDrawn(Slit());
    EXPECT_TRUE(Doc.Saved());
}
