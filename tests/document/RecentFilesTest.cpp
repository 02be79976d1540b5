#include "ModelBuilders.h"
#include "TestSupport.h"
#include "document/uDocument.h"
#include "document/uRecentFiles.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kalvex;
using namespace kalvex::test;

namespace {

class TListUi : public TDocumentUi {
public:
    TSaveAnswer AskSaveChanges(const std::string& Text) override {
        Asked.push_back(Text);
        return TSaveAnswer::No;
    }
    std::optional<std::string> AskOpenName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> AskSaveName(const std::string&) override { return std::nullopt; }
    void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
    std::vector<std::string> Asked, Messages;
};

} // namespace

TEST(RecentFilesTest, KeepsTheLastEightNewestFirstAcrossRuns) {
    TTempDir Dir;
    const auto File = RecentFilesPath(Dir.Path / "kalvex.ini");
    EXPECT_EQ(File, Dir.Path / "kalvex.recent");
    TRecentFiles R;
    R.Load(File); // none yet
    EXPECT_TRUE(R.Items().empty());
    for (int I = 0; I < 10; ++I)
        R.Add("/s/" + std::to_string(I) + ".asp");
    EXPECT_FALSE(R.Add("/s/9.asp"));
    EXPECT_TRUE(R.Add("/s/5.asp"));
    R.Save(File);
    TRecentFiles Again;
    Again.Load(File);
    EXPECT_EQ(Again.Items(),
              (std::vector<std::string>{"/s/5.asp", "/s/9.asp", "/s/8.asp", "/s/7.asp", "/s/6.asp",
                                        "/s/4.asp", "/s/3.asp", "/s/2.asp"}));
}

TEST(RecentFilesTest, AHugeOrOddFileIsReadWithinItsBound) {
    TTempDir Dir;
    const auto File = Dir.Path / "kalvex.recent";
    {
        std::ofstream Out(File, std::ios::binary);
        Out << "/a.asp\r\n\n/a.asp\n/b.asp\n" << std::string(3 * MaxRecentFileBytes, 'x');
    }
    TRecentFiles R;
    R.Load(File);
    EXPECT_EQ(R.Items(), (std::vector<std::string>{"/a.asp", "/b.asp"}));
}

TEST(RecentFilesTest, OpenedAndSavedSystemsAreNotedAndAMissingOneIsDropped) {
    TTempDir Dir;
    ModelOf({Polygon({{0, 0}, {1, 0}, {1, 1}})}).SaveToFile(Dir.File("a.asp"));
    TDocument Doc;
    TListUi Ui;
    TRecentFiles R;
    EXPECT_FALSE(R.Note(Doc)); // an untitled system has no place on the list
    Doc.OpenFile(Dir.File("a.asp"), Ui);
    EXPECT_TRUE(R.Note(Doc));
    R.Add(Dir.File("gone.asp"));

    Doc.MarkChanged();
    bool Changed = false;
    EXPECT_FALSE(R.Open(Dir.File("gone.asp"), Doc, Ui, Changed));
    EXPECT_TRUE(Changed);
    EXPECT_EQ(Ui.Messages, std::vector<std::string>{MissingRecentMessage(Dir.File("gone.asp"))});
    EXPECT_EQ(R.Items(), std::vector<std::string>{Dir.File("a.asp")});
    EXPECT_TRUE(Ui.Asked.empty());
    // One that is there opens after the save prompt.
    EXPECT_TRUE(R.Open(Dir.File("a.asp"), Doc, Ui, Changed));
    EXPECT_EQ(Ui.Asked.size(), 1u);
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(IsSystemFileName("x/HOOD.ASP"));
    EXPECT_FALSE(IsSystemFileName("hood.dsc"));
}
