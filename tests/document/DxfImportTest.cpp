// "Импорт DXF..." into the open system: its questions, and nothing of a refused import.
#include "TestSupport.h"
#include "canvas/uAddEdges.h"
#include "document/uDxfImport.h"
#include "geometry/uBinaryIO.h"

#include <gtest/gtest.h>

namespace kalvex::test {
namespace {

class TScriptedDxfUi : public TDxfImportUi {
public:
    std::optional<TDxfUnits> Units;
    bool Confirm = false;
    std::vector<std::string> Asked, Messages;
    std::optional<TDxfUnits> AskUnits() override {
        Asked.push_back("units");
        return Units;
    }
    bool ConfirmOpenChains(const std::string& Text) override {
        Asked.push_back(Text);
        return Confirm;
    }
    void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
};

// A hood of three lines in millimetres, its units not given.
std::string Hood(const TTempDir& Dir) {
    const std::string Text = "0\nSECTION\n2\nENTITIES\n"
                             "0\nLINE\n8\n0\n10\n0\n20\n100\n11\n0\n21\n0\n"
                             "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n100\n21\n0\n"
                             "0\nLINE\n8\n0\n10\n100\n20\n0\n11\n100\n21\n100\n"
                             "0\nENDSEC\n0\nEOF\n";
    const std::string Name = Dir.File("hood.dxf");
    WriteFileAtomic(Name,
                    std::span(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()));
    return Name;
}

TEST(DxfImportTest, AsksUnitsAndOpenChainsThenAddsInOneChange) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedDxfUi Ui;
    Ui.Units = TDxfUnits::Millimetres;
    EXPECT_FALSE(ImportDxfIntoDocument(Doc, Hood(Dir), Ui));
    ASSERT_EQ(Ui.Asked.size(), 2u);
    EXPECT_EQ(Ui.Asked[1].rfind("Незамкнутых цепочек в чертеже: 1.", 0), 0u);
    EXPECT_EQ(Doc.Canvas().Edges.Count(), 0);
    EXPECT_TRUE(Doc.Saved());

    Ui.Confirm = true;
    EXPECT_TRUE(ImportDxfIntoDocument(Doc, Hood(Dir), Ui));
    ASSERT_EQ(Doc.Canvas().Edges.Count(), 1);
    EXPECT_EQ(Doc.Canvas().Edges.Item(0).Kind, ekSemiInfinite);
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(Doc.UndoName(), "импорт DXF");
    ASSERT_TRUE(Doc.Undo());
    EXPECT_EQ(Doc.Canvas().Edges.Count(), 0);
    EXPECT_TRUE(Doc.Saved());
}

TEST(DxfImportTest, ADrawingThatCrossesTheSystemLeavesItAsItWas) {
    TTempDir Dir;
    TDocument Doc;
    AddClosedRegion(Doc.Canvas().Edges,
                    {RealPoint(0.05, 0.05), RealPoint(0.05, -0.05), RealPoint(-0.05, -0.05)});
    const TEdges Before = Doc.Canvas().Edges;
    TScriptedDxfUi Ui;
    Ui.Units = TDxfUnits::Millimetres;
    Ui.Confirm = true;
    EXPECT_FALSE(ImportDxfIntoDocument(Doc, Hood(Dir), Ui));
    ASSERT_EQ(Ui.Messages.size(), 1u);
    EXPECT_EQ(Ui.Messages[0].rfind("Невозможно импортировать чертёж:\r", 0), 0u);
    EXPECT_TRUE(Doc.Canvas().Edges.SameAs(Before));
}

} // namespace
} // namespace kalvex::test
