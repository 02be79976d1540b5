// The open system as the window works on it, without Qt: the canvas (and through it
// the model and the result lines), the flow evaluator, the file state and the mode.
// The window forwards commands here and shows what comes back; what the document
// needs to ask the user goes through TDocumentUi.
#pragma once

#include "canvas/uPaintEdges.h"
#include "document/uUndo.h"
#include "results/uParticle.h"
#include "solver/uCompanionFile.h"
#include "solver/uCountEdges.h"
#include "solver/uDiscretization.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kalvex {

enum class TMode { mdEdit, mdCount };
enum class TZoom { zmIn, zmOut, zmReset, zmFit };
enum class TSaveAnswer { Yes, No, Cancel };

inline constexpr const char* DefaultFileName = "Система1.asp";
// The refusal of modelling while the flows do not balance: the net flow NetFlow (m²/s)
// written by Number, and how to balance it.
std::string UnbalancedMessage(double NetFlow, const std::function<std::string(double)>& Number);
inline constexpr const char* NotSavedMessage =
    "Файл не сохранен.\rПереход в режим моделирования невозможен.";
// Modelling works on the saved file: asked instead of refusing.
inline constexpr const char* NotSavedQuestion =
    "Файл не сохранен.\rМоделирование ведется по сохраненному файлу системы.\rСохранить его "
    "и перейти в режим моделирования?";

// Why the flow of Model cannot be modelled: without a semi-infinite region the
// openings must balance (net flow within 0.001 m²/s). Number writes the net flow.
std::optional<std::string> BalanceRefusal(const TEdges& Model,
                                          const std::function<std::string(double)>& Number = {});

// Asked before modelling when a boundary's air side faces nothing (AirSideFaults):
// an engineer may mean it, so it is a question, not a refusal.
std::optional<std::string> AirSideQuestion(const TEdges& Model);

// What became of a traced particle, with its flight time written by Number; nothing
// for a trace the user stopped.
std::optional<std::string> ParticleOutcome(const TParticleResult& R,
                                           const std::function<std::string(double)>& Number);

// The questions and boxes of the file commands; the window answers them with its
// dialogs, tests with a script.
class TDocumentUi {
public:
    virtual ~TDocumentUi() = default;
    virtual TSaveAnswer AskSaveChanges(const std::string& Text) = 0;
    // A full path, or nothing when the user cancels.
    virtual std::optional<std::string> AskOpenName(const std::string& Folder) = 0;
    // Pre-filled with Initial (a full path); asks before overwriting.
    virtual std::optional<std::string> AskSaveName(const std::string& Initial) = 0;
    virtual void ShowMessage(const std::string& Text) = 0;
    // A Yes/No question; a user interface that cannot ask goes on.
    virtual bool AskYesNo(const std::string& Text) {
        (void)Text;
        return true;
    }
};

// Which editing commands make sense for the selection: enabled in the "Правка" menu,
// visible in the right-click menu.
struct TEditCommands {
    bool Delete = false;
    bool Invert = false;
    bool ConvertToArc = false;
    bool AutoSpeed = false;
    friend bool operator==(const TEditCommands&, const TEditCommands&) = default;
};

class TDocument {
public:
    TDocument();
    TDocument(const TDocument&) = delete;
    TDocument& operator=(const TDocument&) = delete;

    TEdgesCanvas& Canvas() { return FCanvas; }
    const TEdgesCanvas& Canvas() const { return FCanvas; }
    TCountEdges& Solver() { return FSolver; }
    const TCountEdges& Solver() const { return FSolver; }

    const std::string& FileName() const { return FFileName; }
    // The folder the system is read from and written to.
    const std::filesystem::path& WorkDir() const { return FWorkDir; }
    std::filesystem::path FilePath() const { return FWorkDir / FFileName; }
    // Where a result of the system is first offered: beside it, under its name with
    // Extension (".mod"; empty for the bare name).
    std::filesystem::path ResultPath(const std::string& Extension) const {
        return (FWorkDir / FFileName).replace_extension(Extension);
    }
    std::filesystem::path CompanionPath() const { return FWorkDir / CompanionName(FFileName); }
    // The companion when it may be read and written: never the system file itself.
    std::optional<std::filesystem::path> Companion() const;
    bool Saved() const { return FSaved; }
    bool Untitled() const { return FUntitled; }
    TMode Mode() const { return FMode; }
    double RotationTime() const { return FRotationTime; }
    // "Kalvex 2 - " and the file name.
    std::string Caption() const;

    // An edit of the model: clears Saved, records an undo step and tells the window.
    // Unnamed, the step takes the name the canvas noted for its last change.
    void MarkChanged();
    void MarkChanged(const std::string& StepName);

    // ---- undo and redo, in editing mode. Each puts back the model with the selection
    // of the object the step changed; the system is saved again when the model is the
    // one last saved.
    bool CanUndo() const;
    bool CanRedo() const;
    std::string UndoName() const { return FHistory.UndoName(); }
    std::string RedoName() const { return FHistory.RedoName(); }
    bool Undo();
    bool Redo();
    const TUndoHistory& History() const { return FHistory; }

    // Several edits recorded as one step named Name (a property window's apply).
    class TChangeScope {
    public:
        TChangeScope(TDocument& Doc, std::string Name);
        ~TChangeScope();
        TChangeScope(const TChangeScope&) = delete;
        TChangeScope& operator=(const TChangeScope&) = delete;

    private:
        TDocument& FDoc;
        std::string FName;
    };

    // ---- file commands; each returns true when it was carried out
    bool New(TDocumentUi& Ui);
    bool Open(TDocumentUi& Ui);
    // Opens the given file after the save prompt (a recent file, a dropped file).
    bool OpenPath(const std::string& Path, TDocumentUi& Ui);
    // Opens the given file as Open does after its dialog (no question asked).
    void OpenFile(const std::string& Path, TDocumentUi& Ui);
    bool Save(TDocumentUi& Ui);
    bool SaveAs(TDocumentUi& Ui);
    // Before closing: the save prompt. False keeps the window open.
    bool CanClose(TDocumentUi& Ui);

    // ---- modes
    // Why modelling cannot start now, or nothing.
    std::optional<std::string> ModellingRefusal() const;
    // Switches to the target mode. Going to modelling shows a refusal (an unsaved system
    // is offered for saving first) or asks PrepareModelling, which gets the elements ready (loads
    // the discretisation file or runs the discretisation dialog) and returns false to stay in
    // editing.
    bool SwitchMode(TMode Target, TDocumentUi& Ui);
    std::function<bool()> PrepareModelling;

    // ---- modelling commands; each may throw the core's TKalvexError, leaving the
    // model as it was.
    int ElementCount() const { return FSolver.Elements.Count; }
    // Loads the discretisation file beside the system. False when there is none or it
    // cannot be read (the reason is shown).
    bool LoadCompanion(TDocumentUi& Ui);
    // Discretises the model, writes the discretisation file and drops the intensities
    // and the result lines computed on the old elements.
    // When the file cannot be written the elements are kept and used all the same; the
    // text to show is returned, once each time modelling is entered.
    std::optional<std::string> Discretize(const TDiscretizationSettings& Settings);
    // The line the discretisation dialog shows: the solve that the elements of these
    // settings will take ("Метод решения: ..."); nothing when the settings are refused.
    std::optional<std::string> SolverLine(const TDiscretizationSettings& Settings) const;
    // Halves the elements inside the rectangle of the two model points, writes the
    // discretisation file at once (as Discretize) and drops the intensities and lines.
    std::optional<std::string> RefineInRect(TRealPoint C1, TRealPoint C2);
    // The air velocity at P; solves first when needed.
    TRealPoint VelocityAt(TRealPoint P);
    // Traces a particle into the result lines; its flight time turns the cylinders and
    // adds to RotationTime. A failed trace (TCalcError) stores nothing and adds nothing.
    TParticleResult TraceParticle(const TParticleParams& Params);
    // Puts the slits back at the angles drawn in editing, undoing particle flights and
    // turns alike, and solves again. False when there was nothing to turn back.
    bool RotateBack();
    // Whether the slits stand turned from where they were drawn.
    bool Turned() const { return FRotationTime != 0.0 || FTurnAngle != 0.0; }
    // The result lines with the model as a results file (*.mod) or as a picture (with
    // the speed legend when the canvas shows it); never over the system or its
    // discretisation file.
    void SaveResults(const std::string& Path) const;
    void SaveResultsPicture(const std::string& Path, const TPictureOptions& Options = {}) const;
    // That picture as SVG, for printing and for telling its size.
    TPictureSize ResultsPicture(std::vector<std::uint8_t>& Svg) const;
    // A report as a text file, its '\r' breaks as lines; never over the system either.
    void SaveText(const std::string& Path, const std::string& Text) const;

    // ---- view: the one place where the scale changes, for the canvas, the result
    // lines and the evaluator together.
    void Zoom(TZoom Kind);
    // The wheel: Steps notches (positive: nearer) about the pixel P.
    void ZoomAt(TPixel P, double Steps);

    // ---- editing commands
    TEditCommands EditCommands() const;
    // Gives the selected opening the velocity that makes the net flow zero. True when
    // the velocity changed.
    bool AutoSelectSpeed();
    // Turns the slits of the model and of the discretised copy by Angle degrees. In
    // modelling the turn is for modelling only: saving and editing keep the drawn angles.
    void RotateCylinders(double AngleDeg);
    // The model a save writes: in modelling, with the slits at their drawn angles.
    TEdges ModelToSave() const;

    // Numbers in the document's messages; the window passes one in the user's notation.
    std::function<std::string(double)> NumberFormat;

    // The window's hook: the file state (name, Saved, mode) changed.
    std::function<void()> OnStateChange;

private:
    void NotifyState();
    // The save prompt before New, Open and closing. False stops the command.
    bool SavePrompt(TDocumentUi& Ui);
    bool WriteModel(const std::filesystem::path& Path, TDocumentUi& Ui);
    void SetWorkDir(const std::filesystem::path& Dir);
    void EnterMode(TMode Target);
    std::optional<std::string> WriteCompanion();
    void RemoveCompanion();
    void RefuseOverInputs(const std::string& Path) const;
    void RecordStep(const std::string& StepName);
    void RestoreState(const TUndoState& State);

    TUndoHistory FHistory;
    // The open change scopes, and the object the first edit inside them was made on.
    int FScopeDepth = 0;
    bool FScopeChanged = false;
    THitResult FScopeTarget;

    TEdgesCanvas FCanvas;
    TCountEdges FSolver;
    std::string FFileName = DefaultFileName;
    std::filesystem::path FWorkDir;
    bool FSaved = true;
    bool FUntitled = true;
    TMode FMode = TMode::mdEdit;
    double FRotationTime = 0.0;
    // Modelling turns the slits; these keep where they were drawn: the model and the
    // elements as they stood before the first turn.
    void BeforeTurn();
    // Slits and elements back where they were drawn, without a solve.
    void SetBack();
    void RestoreDrawnAngles(TEdges& Model) const;
    void KeepDrawnElements();
    TEdges FDrawn;
    std::optional<TEdgeElements> FDrawnElements;
    double FTurnAngle = 0.0;
    // The unsaved-discretisation notice was shown since modelling was last entered.
    bool FCompanionNoticeShown = false;
};

} // namespace kalvex
