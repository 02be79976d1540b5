#include "document/uDocument.h"

#include "geometry/uAirSide.h"
#include "geometry/uBinaryIO.h"
#include "geometry/uInputChecks.h"
#include "results/uResultsFile.h"
#include "results/uTextFormat.h"

#include <algorithm>
#include <cmath>
#include <system_error>

namespace kalvex {

namespace fs = std::filesystem;

std::string UnbalancedMessage(double NetFlow, const std::function<std::string(double)>& Number) {
    return "Некорректно заданы граничные условия.\rПереход в режим моделирования невозможен.\r"
           "Суммарный расход через границы " +
           (Number ? Number(NetFlow) : FormatNumber(NetFlow)) +
           " м²/с, а должен быть равен нулю.\r"
           "Выделите отверстие и выберите «Автоподбор скорости»:\r"
           "его скорость уравновесит расход.";
}

std::optional<std::string> ParticleOutcome(const TParticleResult& R,
                                           const std::function<std::string(double)>& Number) {
    const std::string T = Number ? Number(R.Time) : FormatNumber(R.Time);
    switch (R.End) {
    case TParticleEnd::peCaught:
        return "Частица уловлена: она достигла отсоса через " + T + " с полета.";
    case TParticleEnd::peTime:
        if (R.PointLimit)
            return "Частица не уловлена: траектория прервана через " + T +
                   " с полета,\rтак как в ней слишком много точек.";
        return "Частица не уловлена за время моделирования (" + T + " с).";
    case TParticleEnd::peStopped:
        break;
    }
    // Stopped by the user, who knows it.
    return std::nullopt;
}

TDocument::TDocument() {
    FCanvas.EdgeElements = nullptr;
    std::error_code Ec;
    FWorkDir = fs::current_path(Ec);
    FSolver.SetScale(FCanvas.Scale);
}

std::optional<fs::path> TDocument::Companion() const {
    const std::optional<std::string> Name = CompanionFile(FilePath().string());
    if (!Name)
        return std::nullopt;
    return fs::path(*Name);
}

void TDocument::RemoveCompanion() {
    // Geometry may have changed: the elements are made anew from the saved system.
    kalvex::RemoveCompanion(FilePath().string());
}

std::string TDocument::Caption() const {
    return "Kalvex 2 - " + FFileName;
}

void TDocument::NotifyState() {
    if (OnStateChange)
        OnStateChange();
}

void TDocument::SetWorkDir(const fs::path& Dir) {
    if (Dir.empty())
        return;
    FWorkDir = Dir;
    // Relative names the user types later (and the help) resolve against it too.
    std::error_code Ec;
    fs::current_path(Dir, Ec);
}

// ---------------------------------------------------------------- file commands

bool TDocument::SavePrompt(TDocumentUi& Ui) {
    if (FSaved)
        return true;
    switch (Ui.AskSaveChanges("Сохранить изменения в файле " + FFileName + "?")) {
    case TSaveAnswer::Cancel:
        return false;
    case TSaveAnswer::No:
        return true;
    case TSaveAnswer::Yes:
        // A save that failed or was cancelled must not lose the changes.
        return Save(Ui);
    }
    return false;
}

bool TDocument::New(TDocumentUi& Ui) {
    if (!SavePrompt(Ui))
        return false;
    if (FMode != TMode::mdEdit)
        EnterMode(TMode::mdEdit);
    FFileName = DefaultFileName;
    FSaved = true;
    FUntitled = true;
    Zoom(TZoom::zmReset);
    FCanvas.CancelDrawing();
    FCanvas.ClearModel();
    FHistory.Reset(FCanvas.Edges);
    FCanvas.Redraw();
    NotifyState();
    return true;
}

bool TDocument::Open(TDocumentUi& Ui) {
    if (!SavePrompt(Ui))
        return false;
    const std::optional<std::string> Path = Ui.AskOpenName(FWorkDir.string());
    if (!Path || Path->empty())
        return false;
    OpenFile(*Path, Ui);
    return true;
}

void TDocument::OpenFile(const std::string& Path, TDocumentUi& Ui) {
    const fs::path P(Path);
    SetWorkDir(fs::absolute(P).parent_path());
    FFileName = P.filename().string();
    FUntitled = false;
    FSaved = true;
    FCanvas.CancelDrawing();
    FCanvas.ClearModel();
    Zoom(TZoom::zmReset);
    if (FMode != TMode::mdEdit)
        EnterMode(TMode::mdEdit);
    try {
        FCanvas.LoadModel(FilePath().string());
    } catch (const TKalvexError& E) {
        FCanvas.ClearModel();
        // A save must not replace the file that could not be read: ask for a name.
        FFileName = DefaultFileName;
        FUntitled = true;
        Ui.ShowMessage(E.what());
    }
    FHistory.Reset(FCanvas.Edges);
    Zoom(TZoom::zmFit);
    FCanvas.Redraw();
    NotifyState();
}

bool TDocument::WriteModel(const fs::path& Path, TDocumentUi& Ui) {
    try {
        ModelToSave().SaveToFile(Path.string());
    } catch (const TKalvexError& E) {
        Ui.ShowMessage(E.what());
        return false;
    }
    return true;
}

bool TDocument::Save(TDocumentUi& Ui) {
    if (FSaved)
        return true;
    FCanvas.CancelDrawing();
    if (FUntitled)
        return SaveAs(Ui);
    if (!WriteModel(FilePath(), Ui))
        return false;
    FSaved = true;
    FHistory.MarkSaved();
    RemoveCompanion();
    NotifyState();
    return true;
}

bool TDocument::SaveAs(TDocumentUi& Ui) {
    FCanvas.CancelDrawing();
    const std::optional<std::string> Path = Ui.AskSaveName(FilePath().string());
    if (!Path || Path->empty())
        return false;
    const fs::path P = fs::absolute(fs::path(*Path));
    if (!WriteModel(P, Ui))
        return false;
    SetWorkDir(P.parent_path());
    FFileName = P.filename().string();
    FSaved = true;
    FHistory.MarkSaved();
    FUntitled = false;
    RemoveCompanion();
    NotifyState();
    return true;
}

bool TDocument::CanClose(TDocumentUi& Ui) {
    return SavePrompt(Ui);
}

// ---------------------------------------------------------------- modes

std::optional<std::string> BalanceRefusal(const TEdges& Model,
                                          const std::function<std::string(double)>& Number) {
    const double Q = Model.TotalFlow();
    if (!Model.HasSemiInfinite() && std::abs(Q) > 0.001)
        return UnbalancedMessage(Q, Number);
    return std::nullopt;
}

std::optional<std::string> AirSideQuestion(const TEdges& Model) {
    const std::vector<int> Faults = AirSideFaults(Model);
    if (Faults.empty())
        return std::nullopt;
    return AirSideText(Faults) +
           "\rСторону воздуха выделенной границы поворачивает команда «Повернуть сторону "
           "воздуха» меню «Правка».\rПродолжить?";
}

std::optional<std::string> TDocument::ModellingRefusal() const {
    try {
        CheckValidModel(FCanvas.Edges);
    } catch (const TRefusal& E) {
        return std::string(E.what());
    }
    if (auto Why = BalanceRefusal(FCanvas.Edges, NumberFormat))
        return Why;
    if (!FSaved || FUntitled)
        return std::string(NotSavedMessage);
    return std::nullopt;
}

bool TDocument::SwitchMode(TMode Target, TDocumentUi& Ui) {
    if (Target == FMode)
        return false;
    if (Target == TMode::mdCount) {
        const auto Refusal = ModellingRefusal();
        if (Refusal && *Refusal != NotSavedMessage) {
            Ui.ShowMessage(*Refusal);
            return false;
        }
        // Before the save prompt: a boundary turned over is mended in editing.
        if (const auto Question = AirSideQuestion(FCanvas.Edges);
            Question && !Ui.AskYesNo(*Question))
            return false;
        if (Refusal) {
            if (Ui.AskSaveChanges(NotSavedQuestion) != TSaveAnswer::Yes)
                return false;
            if (!(FUntitled ? SaveAs(Ui) : Save(Ui)))
                return false;
        }
        if (!PrepareModelling || !PrepareModelling())
            return false;
    }
    EnterMode(Target);
    FCanvas.Redraw();
    NotifyState();
    return true;
}

void TDocument::EnterMode(TMode Target) {
    FMode = Target;
    FSolver.SetScale(FCanvas.Scale); // the canvas may have fitted itself on a resize
    FCanvas.SetEditEnabled(Target == TMode::mdEdit);
    if (Target == TMode::mdEdit) {
        // Editing shows the angles the user drew, whatever modelling turned.
        SetBack();
        // Particles and the rotation commands turn the slits while modelling.
        FHistory.Record(FCanvas.Edges, "поворот цилиндров", {}, {});
        FCompanionNoticeShown = false;
        FCanvas.SetTool(etSelect);
        FCanvas.ShowNames = false;
        FCanvas.EdgeElements = nullptr;
    } else {
        FCanvas.DrawLines.ClearLines();
        FSolver.ClearIntensities();
        FCanvas.SetTool(etPan);
    }
}

// ---------------------------------------------------------------- modelling

bool TDocument::LoadCompanion(TDocumentUi& Ui) {
    std::error_code Ec;
    const std::optional<fs::path> C = Companion();
    if (!C || !fs::is_regular_file(*C, Ec))
        return false;
    // A discretisation older than its system describes another geometry (the system was
    // written by something else since); the dialog discretises it afresh.
    const auto DscTime = fs::last_write_time(CompanionPath(), Ec);
    std::error_code Ec2;
    const auto SystemTime = fs::last_write_time(FWorkDir / FFileName, Ec2);
    if (!Ec && !Ec2 && DscTime < SystemTime)
        return false;
    try {
        FSolver.Elements.LoadFromFile(CompanionPath().string());
    } catch (const TRepeatedCylinderError&) {
        // Written by an older program that appended cylinders twice: not to be trusted
        // (the loader has emptied the elements).
        return false;
    } catch (const TKalvexError& E) {
        Ui.ShowMessage(E.what());
        return false;
    }
    // Elements of another system (a file copied or replaced, keeping an older date):
    // the dialog discretises this one afresh.
    if (!FSolver.Elements.Describes(FCanvas.Edges)) {
        FSolver.Elements.Clear();
        return false;
    }
    FSolver.ClearIntensities();
    KeepDrawnElements();
    return true;
}

std::optional<std::string> TDocument::WriteCompanion() {
    const std::optional<fs::path> C = Companion();
    std::string Why;
    try {
        if (C) {
            FSolver.Elements.SaveToFile(C->string());
            return std::nullopt;
        }
        Why = "его имя указывает на сам файл системы";
    } catch (const TKalvexError& E) {
        Why = E.what();
        // The reason only, without the writer's own first words.
        if (const std::size_t Colon = Why.find(": "); Colon != std::string::npos)
            Why = Why.substr(Colon + 2);
        if (const std::size_t Line = Why.find('\r'); Line != std::string::npos)
            Why.resize(Line);
        while (!Why.empty() && Why.back() == '.')
            Why.pop_back();
    }
    if (FCompanionNoticeShown)
        return std::nullopt;
    FCompanionNoticeShown = true;
    return "Разбиение на граничные элементы не сохранено в файл " +
           CompanionPath().filename().string() + ": " + Why +
           ".\rМоделирование продолжается; при следующем переходе в режим моделирования "
           "разбиение будет выполнено заново.";
}

std::optional<std::string> TDocument::Discretize(const TDiscretizationSettings& Settings) {
    kalvex::Discretize(FSolver.Elements, FCanvas.Edges, Settings);
    FSolver.ClearIntensities();
    // Lines traced on the old elements would stand for a flow no longer computed.
    FCanvas.DrawLines.ClearLines();
    KeepDrawnElements();
    return WriteCompanion();
}

std::optional<std::string> TDocument::SolverLine(const TDiscretizationSettings& Settings) const {
    try {
        const double N = kalvex::ElementCount(FCanvas.Edges, Settings);
        return "Метод решения: " + SolverName(FSolver.SolverFor(static_cast<std::size_t>(N)));
    } catch (const TKalvexError&) {
        return std::nullopt;
    }
}

std::optional<std::string> TDocument::RefineInRect(TRealPoint C1, TRealPoint C2) {
    FSolver.Elements.RefineInRect(C1, C2);
    FSolver.ClearIntensities();
    FCanvas.DrawLines.ClearLines();
    KeepDrawnElements();
    return WriteCompanion();
}

void TDocument::KeepDrawnElements() {
    // Elements made or refined while turned have no drawn state to return to but by
    // turning back.
    if (Turned())
        FDrawnElements.reset();
}

void TDocument::BeforeTurn() {
    if (Turned())
        return;
    FCanvas.Edges.CopyTo(FDrawn);
    FDrawnElements = FSolver.Elements;
}

void TDocument::RestoreDrawnAngles(TEdges& Model) const {
    if (FDrawn.Count() != Model.Count())
        return;
    for (int I = 0; I < Model.Count(); ++I) {
        TEdge& E = Model.Item(I);
        const TEdge& D = FDrawn.Item(I);
        if (E.Kind == ekCylinder && D.Kind == ekCylinder && E.Count() > 1 && D.Count() > 1)
            E.Segments[1].P1 = D.Segments[1].P1;
    }
}

TEdges TDocument::ModelToSave() const {
    TEdges M = FCanvas.Edges;
    if (Turned())
        RestoreDrawnAngles(M);
    return M;
}

TRealPoint TDocument::VelocityAt(TRealPoint P) {
    CheckPoint(P);
    FSolver.EnsureSolved();
    return CheckFiniteResult(TRealPoint{FSolver.Speed({1, 0}, P), FSolver.Speed({0, 1}, P)});
}

TParticleResult TDocument::TraceParticle(const TParticleParams& Params) {
    RequireParticleParams(Params);
    BeforeTurn();
    FSolver.Model = &FCanvas.Edges;
    const TParticleResult R = BuildParticleTrace(FSolver, FCanvas.DrawLines, Params);
    FRotationTime += R.Time;
    return R;
}

bool TDocument::RotateBack() {
    if (!Turned())
        return false;
    SetBack();
    FCanvas.Redraw();
    FSolver.Solve();
    return true;
}

void TDocument::SetBack() {
    if (!Turned())
        return;
    RestoreDrawnAngles(FCanvas.Edges);
    if (FDrawnElements) {
        FSolver.Elements = *FDrawnElements;
        FSolver.Elements.Touch();
    } else {
        FSolver.Elements.RotateCylinders(-FRotationTime);
        FSolver.Elements.RotateCylindersByAngle(-FTurnAngle);
        FSolver.Elements.Edges.RotateSlits(-FRotationTime);
        FSolver.Elements.Edges.ShiftSlitAngles(-FTurnAngle);
    }
    FSolver.ClearIntensities();
    FDrawnElements.reset();
    FRotationTime = 0.0;
    FTurnAngle = 0.0;
}

void TDocument::RefuseOverInputs(const std::string& Path) const {
    CheckOutputFiles({{"", Path}},
                     FUntitled ? std::vector<std::string>{} : SystemInputs(FilePath().string()));
}

void TDocument::SaveResults(const std::string& Path) const {
    RefuseOverInputs(Path);
    SaveResultsToFile(Path, FCanvas.Edges, FCanvas.DrawLines);
}

namespace {

std::function<std::string(double)> PictureLegend(const TEdgesCanvas& Canvas) {
    if (!Canvas.LegendShown())
        return {};
    if (Canvas.LegendFormat)
        return Canvas.LegendFormat;
    return [](double V) { return FormatNumber(V); };
}

} // namespace

void TDocument::SaveResultsPicture(const std::string& Path, const TPictureOptions& Options) const {
    RefuseOverInputs(Path);
    ExportPicture(FCanvas.Edges, FCanvas.DrawLines, FCanvas.Scale, Path, PictureLegend(FCanvas),
                  Options);
}

TPictureSize TDocument::ResultsPicture(std::vector<std::uint8_t>& Svg) const {
    return RenderPicture(FCanvas.Edges, FCanvas.DrawLines, FCanvas.Scale, TPictureFormat::Svg, Svg,
                         PictureLegend(FCanvas));
}

void TDocument::SaveText(const std::string& Path, const std::string& Text) const {
    RefuseOverInputs(Path);
    std::string Lines;
    for (const char C : Text)
        if (C != '\n')
            Lines += C == '\r' ? '\n' : C;
    if (!Lines.empty() && Lines.back() != '\n')
        Lines += '\n';
    WriteFileAtomic(Path, std::span<const std::uint8_t>(
                              reinterpret_cast<const std::uint8_t*>(Lines.data()), Lines.size()));
}

// ---------------------------------------------------------------- view

void TDocument::Zoom(TZoom Kind) {
    switch (Kind) {
    case TZoom::zmIn:
        FCanvas.ZoomIn();
        break;
    case TZoom::zmOut:
        FCanvas.ZoomOut();
        break;
    case TZoom::zmReset:
        FCanvas.ZoomReset();
        break;
    case TZoom::zmFit:
        FCanvas.ZoomFit();
        break;
    }
    FSolver.SetScale(FCanvas.Scale);
}

void TDocument::ZoomAt(TPixel P, double Steps) {
    if (!std::isfinite(Steps) || Steps == 0)
        return;
    FCanvas.ZoomAt(P, std::pow(1.25, -std::clamp(Steps, -10.0, 10.0)));
    FSolver.SetScale(FCanvas.Scale);
}

// ---------------------------------------------------------------- editing commands

TEditCommands TDocument::EditCommands() const {
    TEditCommands C;
    const TEdgesCanvas& Cv = FCanvas;
    if (Cv.SelKind() == skNone || Cv.SelEdge() < 0 || Cv.SelEdge() >= Cv.Edges.Count())
        return C;
    const TEdge& E = Cv.Edges.Item(Cv.SelEdge());
    const bool NoSemiInfinite = !Cv.Edges.HasSemiInfinite();
    C.Delete = true;
    C.Invert = E.Kind != ekCylinder;
    if (Cv.SelKind() == skSegment) {
        const bool Inner = Cv.SelSegment() > 0 && Cv.SelSegment() < E.Count() - 1;
        C.ConvertToArc = E.Kind == ekClosed || (E.Kind == ekSemiInfinite && Inner);
        C.AutoSpeed = NoSemiInfinite;
    } else if (Cv.SelKind() == skCylinder) {
        C.AutoSpeed = NoSemiInfinite && E.Count() > 1 && E.Segments[0].HasSlit();
    }
    return C;
}

bool TDocument::AutoSelectSpeed() {
    if (!EditCommands().AutoSpeed)
        return false;
    TEdgesCanvas& Cv = FCanvas;
    TEdge& E = Cv.Edges.Item(Cv.SelEdge());
    // The opening's own segment record: the slit record for a cylinder.
    const int Index = Cv.SelKind() == skCylinder ? 1 : Cv.SelSegment();
    TEdgeSegment S = E.GetSegment(Index);
    const double L = Cv.Edges.SegmentLength(Cv.SelEdge(), Index);
    if (!(L > 0))
        return false;
    const double Q = Cv.Edges.TotalFlow();
    const double VNew = -(Q - S.V * L) / L;
    if (VNew == S.V)
        return false;
    S.V = VNew;
    E.SetSegment(Index, S);
    Cv.Redraw();
    MarkChanged("автоподбор скорости");
    return true;
}

void TDocument::RotateCylinders(double AngleDeg) {
    // In editing the turn sets the angles; in modelling it is for modelling only.
    if (FMode == TMode::mdCount) {
        BeforeTurn();
        FTurnAngle += AngleDeg;
    }
    FCanvas.Edges.ShiftSlitAngles(AngleDeg);
    FSolver.Elements.RotateCylindersByAngle(AngleDeg);
    FSolver.Elements.Edges.ShiftSlitAngles(AngleDeg);
    // What a save would write is the judge: a turn for modelling alone changes nothing.
    FHistory.Record(ModelToSave(), "поворот цилиндров", {}, {});
    FCanvas.Redraw();
}

} // namespace kalvex
