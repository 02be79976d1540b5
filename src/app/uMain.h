// The main window: menus, the two tool bars, the status bar, the canvas in a scroll
// area and the property tool windows. It parses, shows and forwards; the decisions of
// its commands are the document's.
#pragma once

#include "document/uDocument.h"
#include "document/uRecentFiles.h"

#include <QCursor>
#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <memory>

class QAction;
class QMimeData;
class QActionGroup;
class QPrinter;
class QLabel;
class QMenu;
class QShortcut;
class QUrl;
class QToolBar;
class QToolButton;

namespace kalvex {

class TEdgesPaintBox;
class TMessages;
class TPropertyWindows;
class TWizard;
class TfrmContour;
class TfrmDiscret;
class TfrmEfficiency;
class TfrmEfficiencyChart;
class TfrmFlowLine;
class TfrmFlowLines;
class TfrmPartTraces;
class TfrmPictureSize;
class TfrmSpeed;
struct TRunContext;

// The program's own cursor for picking a point in modelling.
QCursor TakeCursor();

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // SettingsFile: where kalvex.ini is read at start and written after the settings
    // dialog.
    TfrmMain(TMessages& Msg, std::filesystem::path SettingsFile, QWidget* Parent = nullptr);
    ~TfrmMain() override;

    TDocument& Document() { return Doc; }
    TEdgesPaintBox* PaintBox() const { return Box; }
    TPropertyWindows& PropertyWindows() const { return *Props; }
    TWizard& OptWizard() const { return *Wizard; }

    // Shows the window over the screen left of the tool windows, which stand down its
    // right edge, so that none of them covers the drawing.
    void ShowBesideToolWindows();

    // The system named on the command line, opened as Open does after its dialog.
    void OpenSystem(const QString& Path);

    void FileNew();
    void FileOpen();
    void FileSave();
    void FileSaveAs();
    void ImportDxf();
    void ExportDxf();
    void SwitchMode(TMode Target);
    void Zoom(TZoom Kind);
    void ShowHelp();
    void ShowAbout();
    void ChooseOptimalParams();

    // ---- modelling
    TfrmDiscret* DiscretDialog() const { return FrmDiscret; }
    TfrmFlowLines* FlowLinesDialog() const { return FrmFlowLines; }
    TfrmFlowLine* FlowLineDialog() const { return FrmFlowLine; }
    TfrmSpeed* SpeedDialog() const { return FrmSpeed; }
    TfrmPartTraces* PartTracesDialog() const { return FrmPartTraces; }
    TfrmContour* ContourDialog() const { return FrmContour; }
    TfrmEfficiency* EfficiencyDialog() const { return FrmEfficiency; }
    TfrmEfficiencyChart* EfficiencyChart() const { return FrmEfficiencyChart; }
    void Discretise();
    // A PNG or PDF picture asks its resolution or sheet first.
    void SaveResults(bool Picture);
    // "Печать..." and "Предварительный просмотр...": the picture the saved files show,
    // with the system's name and the date above it, fitted to the sheet.
    void Print();
    void PrintPreview();
    // The session's printer (the user's choices kept), turned as the picture is.
    QPrinter& PreparedPrinter();
    // What both draw on the printer's page; false (said so) when it cannot.
    bool PrintPicture(QPrinter& Printer);
    TfrmPictureSize* PictureSizeDialog() const { return FrmPictureSize; }
    void RotateBack();
    // True while a computation runs: the rest of the window does not act.
    bool Busy() const { return FBusy; }
    // Opens the guide in the system's viewer; empty: QDesktopServices::openUrl.
    std::function<bool(const QUrl&)> UrlOpener;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    class TUi;

    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void ConnectCanvas();
    QAction* MakeAction(const char* Name, const char* Text, const char* Icon = nullptr);
    QAction* MakeToolAction(const char* Name, const char* Hint, const char* Icon);

    void ReadSettingsFile();
    void OpenWithPrompt(const QString& Path);
    void OpenRecent(const QString& Path);
    void SaveRecentFiles();
    void FillRecentMenu();
    static QString DroppedSystem(const QMimeData* Data);
    void UpdateCaption();
    void UpdateModeControls();
    void UpdateEditCommands();
    void UpdateUndoCommands();
    void UpdateWindowTicks();
    void SelectTool(TEditTool Tool);
    void CanvasMouseDown(TMouseButton Button, int X, int Y);
    void CanvasMouseMove(int X, int Y);
    void CanvasDoubleClick();
    // Places the tool windows; the left edge of their column.
    int PlaceToolWindows();
    void ToggleToolWindow(QWidget* W, bool Show);
    void UndoEdit();
    void RedoEdit();
    void DeleteEdge();
    void InvertEdge();
    void AutoSpeed();
    void ConvertArc();
    void EditSettings();
    void Rotate();
    void AfterApply();
    bool PrepareModelling();
    void ShowElementCount();
    void SetBusy(bool On);
    void CanvasKeyDown(int Key);
    void DrawBand();
    void RefineCornerPress(int X, int Y);

    TMessages& Msg;
    std::filesystem::path SettingsPath;
    std::unique_ptr<TUi> Ui;
    TDocument Doc;
    TEdgesPaintBox* Box = nullptr;
    TPropertyWindows* Props = nullptr;
    std::unique_ptr<TWizard> Wizard;
    bool ToolWindowsPlaced = false;
    TMode ShownMode = TMode::mdEdit;

    QLabel* sbMode = nullptr;
    QLabel* sbCoords = nullptr;
    QLabel* sbElements = nullptr;
    QLabel* sbHint = nullptr; // why the last arrow-key move was refused
    QToolBar* FileBar = nullptr;
    QToolBar* BasicBar = nullptr;
    QToolButton* tbModeButton = nullptr;
    QMenu* mnuEditing = nullptr;
    QMenu* mnuRecent = nullptr;
    TRecentFiles Recent;
    QMenu* mnuCount = nullptr;
    QMenu* pmEdges = nullptr;
    QActionGroup* ToolGroup = nullptr;

    std::unique_ptr<TRunContext> RunContext;
    TfrmDiscret* FrmDiscret = nullptr;
    TfrmFlowLines* FrmFlowLines = nullptr;
    TfrmFlowLine* FrmFlowLine = nullptr;
    TfrmSpeed* FrmSpeed = nullptr;
    TfrmPartTraces* FrmPartTraces = nullptr;
    TfrmContour* FrmContour = nullptr;
    TfrmEfficiencyChart* FrmEfficiencyChart = nullptr;
    TfrmEfficiency* FrmEfficiency = nullptr;
    TfrmPictureSize* FrmPictureSize = nullptr;
    // The PNG resolution and PDF sheet last chosen, for this session.
    TPictureOptions PictureChoice;
    std::unique_ptr<QPrinter> FPrinter;
    bool FBusy = false;
    bool CloseWanted = false;
    QShortcut* StopKey = nullptr;
    QList<QAction*> BusyDisabled;
    // The doubling rectangle: its corners in screen pixels, the first one placed.
    bool CornerPlaced = false;
    TPixel Corner1;
    TPixel Corner2;
};

} // namespace kalvex
