#include "document/uDocument.h"
#include "geometry/uBinaryIO.h"

#include "ModelBuilders.h"
#include "TestSupport.h"
#include "results/uTextFormat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <deque>
#include <fstream>

using namespace kalvex;
using namespace kalvex::test;
namespace fs = std::filesystem;

namespace {

// Answers the document's questions from a script and keeps what it was asked.
class TScriptedUi : public TDocumentUi {
public:
    TSaveAnswer AskSaveChanges(const std::string& Text) override {
        Asked.push_back(Text);
        const TSaveAnswer A = Answers.empty() ? TSaveAnswer::Cancel : Answers.front();
        if (!Answers.empty())
            Answers.pop_front();
        return A;
    }
    std::optional<std::string> AskOpenName(const std::string&) override { return Next(); }
    std::optional<std::string> AskSaveName(const std::string& Initial) override {
        SaveInitial.push_back(Initial);
        return Next();
    }
    void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }

    std::deque<TSaveAnswer> Answers;
    std::deque<std::string> Files;
    std::vector<std::string> Asked, Messages, SaveInitial;

private:
    std::optional<std::string> Next() {
        if (Files.empty())
            return std::nullopt;
        std::string F = Files.front();
        Files.pop_front();
        return F;
    }
};

// The closed 1 m square: its left side lets air in at 2 m/s, the right side is index 1.
void SquareWithInflow(TDocument& Doc, double RightV = 0) {
    Doc.Canvas().Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {0, RightV, 0, -2}));
}

void Touch(const fs::path& P) {
    std::ofstream(P) << "x";
}

// Selects by a click of the select tool, as the user does.
void ClickSelect(TDocument& Doc, TRealPoint P) {
    TEdgesCanvas& C = Doc.Canvas();
    C.SetTool(etSelect);
    const TPixel Px = C.WorldToScreen(P);
    C.MouseDown(TMouseButton::mbLeft, 0, Px.X, Px.Y);
}

} // namespace

TEST(DocumentTest, StartsSavedUntitledInEditing) {
    TDocument Doc;
    int Notified = 0;
    Doc.OnStateChange = [&] { ++Notified; };
    EXPECT_EQ(Doc.FileName(), "Система1.asp");
    EXPECT_EQ(Doc.Caption(), "Kalvex 2 - Система1.asp");
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(Doc.Untitled());
    EXPECT_EQ(Doc.Mode(), TMode::mdEdit);
    Doc.MarkChanged();
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(Notified, 1);
    EXPECT_EQ(CompanionName("hood.asp"), "hood.dsc");
}

TEST(DocumentTest, SavePromptAnswers) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    SquareWithInflow(Doc);
    Doc.MarkChanged();

    // Cancel: nothing happens.
    Ui.Answers = {TSaveAnswer::Cancel};
    EXPECT_FALSE(Doc.New(Ui));
    ASSERT_EQ(Ui.Asked.size(), 1u);
    EXPECT_EQ(Ui.Asked[0], "Сохранить изменения в файле Система1.asp?");
    EXPECT_EQ(Doc.Canvas().Edges.Count(), 1);
    EXPECT_FALSE(Doc.Saved());

    // Yes on an untitled system: saved under the chosen name first, then the command.
    Ui.Answers = {TSaveAnswer::Yes};
    Ui.Files = {Dir.File("square.asp")};
    EXPECT_TRUE(Doc.New(Ui));
    EXPECT_TRUE(fs::exists(Dir.File("square.asp")));
    EXPECT_EQ(Doc.Canvas().Edges.Count(), 0);
    EXPECT_EQ(Doc.FileName(), "Система1.asp");
    EXPECT_TRUE(Doc.Untitled());

    // Yes, but the save dialog is cancelled: the changes are kept, the command stops.
    SquareWithInflow(Doc);
    Doc.MarkChanged();
    Ui.Answers = {TSaveAnswer::Yes};
    EXPECT_FALSE(Doc.New(Ui));
    EXPECT_EQ(Doc.Canvas().Edges.Count(), 1);

    // No: the changes are dropped. Closing asks the same way.
    Ui.Answers = {TSaveAnswer::Cancel};
    EXPECT_FALSE(Doc.CanClose(Ui));
    Ui.Answers = {TSaveAnswer::No};
    Ui.Files = {ExamplePath("hood.asp")};
    EXPECT_TRUE(Doc.Open(Ui));
    EXPECT_EQ(Doc.FileName(), "hood.asp");
    EXPECT_TRUE(Doc.Saved());
    EXPECT_FALSE(Doc.Untitled());
    EXPECT_GT(Doc.Canvas().Edges.Count(), 0);
    // A saved system closes without a question.
    const std::size_t Questions = Ui.Asked.size();
    EXPECT_TRUE(Doc.CanClose(Ui));
    EXPECT_EQ(Ui.Asked.size(), Questions);
}

TEST(DocumentTest, SaveWritesOnlyChangesAndDropsTheDiscretisation) {
    TTempDir Dir;
    fs::copy_file(ExamplePath("hood.asp"), Dir.File("hood.asp"));
    Touch(Dir.File("hood.dsc"));
    TDocument Doc;
    TScriptedUi Ui;
    Doc.OpenFile(Dir.File("hood.asp"), Ui);
    EXPECT_EQ(fs::path(Doc.WorkDir()), Dir.Path);
    EXPECT_EQ(fs::current_path(), Dir.Path);

    // Saved already: nothing is written, the discretisation stays.
    fs::remove(Dir.File("hood.asp"));
    EXPECT_TRUE(Doc.Save(Ui));
    EXPECT_FALSE(fs::exists(Dir.File("hood.asp")));
    EXPECT_TRUE(fs::exists(Dir.File("hood.dsc")));

    // Changed: written under its name in the working folder, the discretisation deleted.
    Doc.MarkChanged();
    EXPECT_TRUE(Doc.Save(Ui));
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(fs::exists(Dir.File("hood.asp")));
    EXPECT_FALSE(fs::exists(Dir.File("hood.dsc")));
    EXPECT_TRUE(Ui.SaveInitial.empty());

    // A write that fails shows the system's message and leaves the state.
    Doc.MarkChanged();
    Ui.Files = {Dir.File("missing/x.asp")};
    EXPECT_FALSE(Doc.SaveAs(Ui));
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(Doc.FileName(), "hood.asp");
    EXPECT_EQ(Ui.Messages.size(), 1u);
}

TEST(DocumentTest, SaveOfUntitledIsSaveAs) {
    TTempDir Dir;
    fs::create_directory(Dir.Path / "out");
    Touch(Dir.Path / "out" / "room.dsc");
    TDocument Doc;
    TScriptedUi Ui;
    SquareWithInflow(Doc, 2);
    Doc.MarkChanged();
    Ui.Files = {(Dir.Path / "out" / "room.asp").string()};
    EXPECT_TRUE(Doc.Save(Ui));
    ASSERT_EQ(Ui.SaveInitial.size(), 1u);
    EXPECT_EQ(fs::path(Ui.SaveInitial[0]).filename(), "Система1.asp");
    EXPECT_EQ(Doc.FileName(), "room.asp");
    EXPECT_EQ(Doc.Caption(), "Kalvex 2 - room.asp");
    EXPECT_EQ(Doc.WorkDir(), Dir.Path / "out");
    EXPECT_TRUE(Doc.Saved());
    EXPECT_FALSE(Doc.Untitled());
    EXPECT_FALSE(fs::exists(Dir.Path / "out" / "room.dsc"));

    TEdges Back;
    Back.LoadFromFile((Dir.Path / "out" / "room.asp").string());
    EXPECT_EQ(Back.Count(), 1);
}

TEST(DocumentTest, OpenOfDamagedFileLeavesEmptyUntitledModel) {
    TTempDir Dir;
    std::ofstream(Dir.File("bad.asp")) << "not a system";
    TDocument Doc;
    TScriptedUi Ui;
    SquareWithInflow(Doc);
    Ui.Files = {Dir.File("bad.asp")};
    EXPECT_TRUE(Doc.Open(Ui));
    ASSERT_EQ(Ui.Messages.size(), 1u);
    EXPECT_EQ(Ui.Messages[0].rfind("Невозможно загрузить границы из файла\r" + Dir.File("bad.asp") +
                                       ": файл поврежден",
                                   0),
              0u)
        << Ui.Messages[0];
    EXPECT_EQ(Doc.Canvas().Edges.Count(), 0);
    // Untitled: a save asks for a name and never replaces the unreadable file.
    EXPECT_EQ(Doc.FileName(), "Система1.asp");
    EXPECT_TRUE(Doc.Untitled());
    SquareWithInflow(Doc);
    Doc.MarkChanged();
    EXPECT_FALSE(Doc.Save(Ui));
    EXPECT_EQ(Ui.SaveInitial.size(), 1u);
    const auto Bad = ReadWholeFile(Dir.File("bad.asp"));
    EXPECT_EQ(std::string(Bad.begin(), Bad.end()), "not a system");

    // A missing file and a folder say so.
    Doc.OpenFile(Dir.File("none.asp"), Ui);
    EXPECT_NE(Ui.Messages.back().find("none.asp: файл не найден"), std::string::npos);
    Doc.OpenFile(Dir.Path.string(), Ui);
    EXPECT_NE(Ui.Messages.back().find("это папка"), std::string::npos);
}

TEST(DocumentTest, ModellingNeedsBalanceAndSavedFile) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    int Prepared = 0;
    Doc.PrepareModelling = [&] { return ++Prepared > 1; };

    // Net flow 0.002 through closed regions only.
    Doc.Canvas().Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {0.002, 0, 0, 0}));
    EXPECT_FALSE(Doc.SwitchMode(TMode::mdCount, Ui));
    ASSERT_EQ(Ui.Messages.size(), 1u);
    const std::string Hint = " м²/с, а должен быть равен нулю.\r"
                             "Выделите отверстие и выберите «Автоподбор скорости»:\r"
                             "его скорость уравновесит расход.";
    EXPECT_EQ(Ui.Messages[0],
              "Некорректно заданы граничные условия.\rПереход в режим моделирования невозможен.\r"
              "Суммарный расход через границы 0.002" +
                  Hint);
    // The net flow in the window's notation.
    Doc.NumberFormat = [](double V) { return FormatNumber(V, ','); };
    Doc.Canvas().Edges.Item(0).Segments[1].V = -0.012;
    EXPECT_FALSE(Doc.SwitchMode(TMode::mdCount, Ui));
    ASSERT_EQ(Ui.Messages.size(), 2u);
    EXPECT_NE(Ui.Messages[1].find("через границы -0,010" + Hint), std::string::npos)
        << Ui.Messages[1];
    Doc.Canvas().Edges.Item(0).Segments[1].V = 0;
    Ui.Messages.pop_back();

    // A semi-infinite region lets the flow out; the system is not saved yet.
    Doc.Canvas().Edges.Add(Chain({{3, -1}, {4, -1}, {5, -1}}));
    Doc.MarkChanged();
    Ui.Answers = {TSaveAnswer::No};
    EXPECT_FALSE(Doc.SwitchMode(TMode::mdCount, Ui));
    ASSERT_EQ(Ui.Asked.size(), 1u);
    EXPECT_EQ(Ui.Asked[0].rfind("Файл не сохранен.\r", 0), 0u);
    EXPECT_EQ(Ui.Messages.size(), 1u);
    EXPECT_EQ(Prepared, 0);

    // Saving when asked goes on to the elements; a cancelled preparation keeps editing.
    Ui.Answers = {TSaveAnswer::Yes};
    Ui.Files = {Dir.File("open.asp")};
    EXPECT_FALSE(Doc.SwitchMode(TMode::mdCount, Ui));
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(fs::exists(Dir.File("open.asp")));
    EXPECT_EQ(Prepared, 1);
    EXPECT_EQ(Doc.Mode(), TMode::mdEdit);
    EXPECT_TRUE(Doc.SwitchMode(TMode::mdCount, Ui));
    EXPECT_EQ(Doc.Mode(), TMode::mdCount);
    EXPECT_FALSE(Doc.Canvas().EditEnabled());
    EXPECT_EQ(Doc.Canvas().Tool(), etPan);

    // Back to editing asks nothing; New forces editing too.
    EXPECT_TRUE(Doc.SwitchMode(TMode::mdEdit, Ui));
    EXPECT_EQ(Doc.Canvas().Tool(), etSelect);
    EXPECT_EQ(Ui.Messages.size(), 1u);
}

TEST(DocumentTest, AutoSpeedBalancesTheSquare) {
    TDocument Doc;
    SquareWithInflow(Doc);
    ClickSelect(Doc, {1, 0.5});
    ASSERT_TRUE(Doc.EditCommands().AutoSpeed);
    EXPECT_TRUE(Doc.AutoSelectSpeed());
    EXPECT_DOUBLE_EQ(Doc.Canvas().Edges.Item(0).GetSegment(1).V, 2.0);
    EXPECT_FALSE(Doc.Saved());

    // Balanced already: nothing changes, Saved stays as it was.
    TScriptedUi Ui;
    TTempDir Dir;
    Ui.Files = {Dir.File("sq.asp")};
    ASSERT_TRUE(Doc.Save(Ui));
    ClickSelect(Doc, {1, 0.5});
    EXPECT_FALSE(Doc.AutoSelectSpeed());
    EXPECT_TRUE(Doc.Saved());
}

TEST(DocumentTest, EditCommandsFollowTheSelection) {
    TDocument Doc;
    TEdges& E = Doc.Canvas().Edges;
    E.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
    EXPECT_EQ(Doc.EditCommands(), TEditCommands{});
    ClickSelect(Doc, {0.5, 0});
    EXPECT_EQ(Doc.EditCommands(), (TEditCommands{true, true, true, true}));
    ClickSelect(Doc, {1, 1}); // a point: no arc, no velocity
    EXPECT_EQ(Doc.EditCommands(), (TEditCommands{true, true, false, false}));

    // With a semi-infinite region the velocity is not offered; its end segments give no arc.
    E.Add(Chain({{3, 0}, {4, 0}, {4, 1}, {5, 1}}));
    ClickSelect(Doc, {0.5, 0});
    EXPECT_EQ(Doc.EditCommands(), (TEditCommands{true, true, true, false}));
    ClickSelect(Doc, {3.5, 0});
    EXPECT_EQ(Doc.EditCommands(), (TEditCommands{true, true, false, false}));
    ClickSelect(Doc, {4, 0.5});
    EXPECT_EQ(Doc.EditCommands(), (TEditCommands{true, true, true, false}));
}

TEST(DocumentTest, ZoomInTwiceOutTwiceKeepsScaleAndCentre) {
    TDocument Doc;
    TEdgesCanvas& C = Doc.Canvas();
    C.Resize(801, 601);
    const TRealPoint Centre = C.ScreenToWorld({400, 300});
    Doc.Zoom(TZoom::zmIn);
    Doc.Zoom(TZoom::zmIn);
    EXPECT_DOUBLE_EQ(C.Scale, 0.004 / 1.25 / 1.25);
    EXPECT_DOUBLE_EQ(Doc.Solver().Scale, C.Scale);
    EXPECT_DOUBLE_EQ(C.DrawLines.Scale, C.Scale);
    Doc.Zoom(TZoom::zmOut);
    Doc.Zoom(TZoom::zmOut);
    EXPECT_NEAR(C.Scale, 0.004, 1e-15);
    EXPECT_DOUBLE_EQ(Doc.Solver().Scale, C.Scale);
    const TRealPoint Now = C.ScreenToWorld({400, 300});
    EXPECT_NEAR(Now.X, Centre.X, 2 * C.Scale);
    EXPECT_NEAR(Now.Y, Centre.Y, 2 * C.Scale);

    C.SetOrigin({10, 20});
    Doc.Zoom(TZoom::zmReset);
    EXPECT_EQ(C.Origin, (TPixel{0, 400}));
    EXPECT_DOUBLE_EQ(Doc.Solver().Scale, 0.004);
}

TEST(DocumentTest, ParticleTimeTurnsTheCylindersUntilSetBack) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    Doc.Canvas().Edges =
        ModelOf({Chain({{-1, 0}, {0, 0}, {1, 0}}), Cylinder({0, 0.5}, 0.1, 2.0, true, 0, 30, 0)});
    Ui.Files = {Dir.File("rot.asp")};
    ASSERT_TRUE(Doc.SaveAs(Ui));
    EXPECT_FALSE(Doc.LoadCompanion(Ui));
    Doc.Discretize({});
    const int Count = Doc.ElementCount();
    EXPECT_TRUE(Doc.LoadCompanion(Ui));
    EXPECT_EQ(Doc.ElementCount(), Count);
    // A system written after its discretisation is discretised afresh.
    const std::filesystem::path System = Dir.File("rot.asp");
    std::filesystem::last_write_time(System, std::filesystem::last_write_time(System) +
                                                 std::chrono::seconds(10));
    EXPECT_FALSE(Doc.LoadCompanion(Ui));
    // So is the discretisation of another system, however new.
    TEdgeElements Other;
    Other.DiscretizeEqual(ModelOf({Chain({{-1, 0}, {1, 0}})}), 15, 0.1, 1.8);
    Other.SaveToFile(Dir.File("rot.dsc"));
    std::filesystem::last_write_time(Dir.File("rot.dsc"), std::filesystem::last_write_time(System) +
                                                              std::chrono::seconds(10));
    EXPECT_FALSE(Doc.LoadCompanion(Ui));
    EXPECT_EQ(Doc.ElementCount(), 0);
    Doc.Discretize({});

    auto Slit = [&] { return Doc.Canvas().Edges.Item(1).GetSegment(1).P1; };
    const TRealPoint Start = Slit();
    TParticleParams P;
    P.Start = {0.5, 0.3};
    P.TMax = 0.05;
    const TParticleResult R = Doc.TraceParticle(P);
    EXPECT_GT(R.Time, 0.0);
    EXPECT_EQ(Doc.RotationTime(), R.Time);
    EXPECT_NE(Slit().X, Start.X);
    EXPECT_EQ(Doc.Canvas().DrawLines.Count, 1);

    // A trace that fails turns nothing and adds nothing.
    const TRealPoint Turned = Slit();
    P.Mu = 0;
    EXPECT_THROW(Doc.TraceParticle(P), TRefusal);
    EXPECT_EQ(Doc.RotationTime(), R.Time);
    EXPECT_EQ(Slit().X, Turned.X);
    EXPECT_EQ(Doc.Canvas().DrawLines.Count, 1);

    EXPECT_TRUE(Doc.RotateBack());
    EXPECT_EQ(Doc.RotationTime(), 0.0);
    EXPECT_NEAR(Slit().X, Start.X, 1e-9);
    EXPECT_TRUE(Doc.Solver().Solved());
    EXPECT_FALSE(Doc.RotateBack());
}

TEST(DocumentTest, CompanionIsNeverTheSystem) {
    EXPECT_EQ(CompanionName("hood1"), "hood1.dsc");
    EXPECT_EQ(CompanionName("ab"), "ab.dsc");
    EXPECT_EQ(CompanionName("p/HOOD.ASP"), "p/HOOD.dsc");
    EXPECT_EQ(CompanionName("copy.dsc"), "copy.dsc.dsc");

    // "Сохранить как" to a .dsc name keeps what it wrote.
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    SquareWithInflow(Doc);
    Doc.MarkChanged();
    Ui.Files = {Dir.File("copy.dsc")};
    ASSERT_TRUE(Doc.SaveAs(Ui));
    EXPECT_TRUE(fs::exists(Dir.File("copy.dsc")));

    // A companion that is the system through a link is neither read nor written.
    fs::create_symlink("copy.dsc", Dir.File("copy.dsc.dsc"));
    const auto Before = ReadWholeFile(Dir.File("copy.dsc"));
    EXPECT_FALSE(Doc.LoadCompanion(Ui));
    EXPECT_NO_THROW(Doc.Discretize({}));
    EXPECT_GT(Doc.ElementCount(), 0);
    EXPECT_EQ(ReadWholeFile(Dir.File("copy.dsc")), Before);
}

TEST(DocumentTest, ReadOnlySystemIsNotReplaced) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    SquareWithInflow(Doc);
    Doc.MarkChanged();
    Ui.Files = {Dir.File("ro.asp")};
    ASSERT_TRUE(Doc.SaveAs(Ui));
    const auto Before = ReadWholeFile(Dir.File("ro.asp"));
    fs::permissions(Dir.File("ro.asp"), fs::perms::owner_read | fs::perms::group_read);
    Doc.Canvas().Edges.Add(Polygon({{2, 0}, {3, 0}, {3, 1}}, {0, 0, 0}));
    Doc.MarkChanged();
    EXPECT_FALSE(Doc.Save(Ui));
    ASSERT_EQ(Ui.Messages.size(), 1u);
    EXPECT_NE(Ui.Messages[0].find(Dir.File("ro.asp") + " доступен только для чтения"),
              std::string::npos)
        << Ui.Messages[0];
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(ReadWholeFile(Dir.File("ro.asp")), Before);

    // Results are never written over the system either.
    EXPECT_THROW(Doc.SaveResults(Dir.File("ro.asp")), TFileError);
    EXPECT_EQ(ReadWholeFile(Dir.File("ro.asp")), Before);
}

TEST(DocumentTest, UnwritableDiscretisationIsUsedAndToldOnce) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    Doc.Canvas().Edges = ModelOf({Chain({{-1, 0}, {0, 0}, {1, 0}})});
    Doc.MarkChanged();
    Ui.Files = {Dir.File("sys.asp")};
    ASSERT_TRUE(Doc.SaveAs(Ui));
    // The discretisation cannot be written there (as in a read-only folder).
    fs::create_directory(Dir.File("sys.dsc"));
    Doc.PrepareModelling = [&] {
        const auto Notice = Doc.Discretize({});
        if (Notice)
            Ui.ShowMessage(*Notice);
        return true;
    };
    ASSERT_TRUE(Doc.SwitchMode(TMode::mdCount, Ui));
    EXPECT_GT(Doc.ElementCount(), 0);
    ASSERT_EQ(Ui.Messages.size(), 1u);
    EXPECT_EQ(Ui.Messages[0].rfind("Разбиение на граничные элементы не сохранено", 0), 0u);
    EXPECT_EQ(Doc.RefineInRect({-1, -1}, {1, 1}), std::nullopt);
    // Once again for the next entering.
    ASSERT_TRUE(Doc.SwitchMode(TMode::mdEdit, Ui));
    ASSERT_TRUE(Doc.SwitchMode(TMode::mdCount, Ui));
    EXPECT_EQ(Ui.Messages.size(), 2u);
}

// Lines traced on the old elements do not stand beside the new ones.
TEST(DocumentTest, NewElementsDropTheResultsOfTheOldOnes) {
    TTempDir Dir;
    TDocument Doc;
    TScriptedUi Ui;
    Doc.Canvas().Edges = ModelOf({Chain({{-1, 0}, {0, 0}, {1, 0}})});
    Doc.MarkChanged();
    Ui.Files = {Dir.File("sys.asp")};
    ASSERT_TRUE(Doc.SaveAs(Ui));
    Doc.Discretize({});
    TDrawLines& Lines = Doc.Canvas().DrawLines;
    Lines.AddLine({{0, {0.0, 0.5}}, {1, {0.5, 0.5}}});
    Doc.Discretize({});
    EXPECT_EQ(Lines.Count, 0);
    Lines.AddLine({{0, {0.0, 0.5}}, {1, {0.5, 0.5}}});
    Doc.RefineInRect({-1, -1}, {1, 1});
    EXPECT_EQ(Lines.Count, 0);
}

TEST(DocumentTest, ParticleOutcomeSaysCaughtOrNotWithTheFlightTime) {
    const auto Number = [](double V) { return V == 0.25 ? std::string("0,250") : std::string(); };
    TParticleResult R;
    R.Time = 0.25;
    R.End = TParticleEnd::peCaught;
    EXPECT_EQ(ParticleOutcome(R, Number),
              std::optional<std::string>("Частица уловлена: она достигла отсоса через 0,250 с "
                                         "полета."));
    R.End = TParticleEnd::peTime;
    EXPECT_EQ(ParticleOutcome(R, Number),
              std::optional<std::string>("Частица не уловлена за время моделирования (0,250 с)."));
    R.End = TParticleEnd::peStopped;
    EXPECT_EQ(ParticleOutcome(R, Number), std::nullopt);
}
