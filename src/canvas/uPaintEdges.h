// The canvas: the boundary model and the result lines on screen, the mapping between
// metres (Y up) and pixels (Y down), the painting, the mouse and keyboard editor and
// the picture export. It knows nothing of the window system: the widget that hosts it
// supplies two drawing surfaces (the off-screen buffer and an image mirroring the
// screen), a way to copy the first onto the second, and forwards its mouse, key and
// resize events here.
#pragma once

#include "base/uDrawSurface.h"
#include "geometry/GenFuncs.h"
#include "geometry/uEdges.h"
#include "results/uDrawLines.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace kalvex {

class TEdgeElements;

enum TEditTool : std::uint8_t {
    etNone = 0,
    etSelect = 1,
    etPan = 2,
    etClosedEdge = 3,
    etSemiInfiniteEdge = 4,
    etCylinder = 5
};

enum TSelKind : std::uint8_t {
    skNone = 0,
    skFirstPoint = 1,
    skPoint = 2,
    skSegment = 3,
    skCylinder = 4
};

enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1;
inline constexpr TShiftState ssAlt = 2;
inline constexpr TShiftState ssCtrl = 4;

// Key codes the canvas reacts to (the values of the virtual keys).
inline constexpr int vkEscape = 27;
inline constexpr int vkLeft = 37;
inline constexpr int vkUp = 38;
inline constexpr int vkRight = 39;
inline constexpr int vkDown = 40;
inline constexpr int vkDelete = 46;

enum class TAnswer : std::uint8_t { Yes, No };

struct THitResult {
    TSelKind Kind = skNone;
    int Edge = -1;
    int Segment = -1;
};

// The last change the editor made to the model, for the undo history: its name, the
// object it was made on, and the run it belongs to (0: a change of its own; arrow
// presses on one object, or one drag, share a run).
struct TEditNote {
    std::string Name;
    THitResult Target;
    int Run = 0;
};

struct TPictureSize {
    int Width = 0;
    int Height = 0;
};

// The sheet of a PDF: the picture's own size, or A4 or A3 with the picture fitted on it.
enum class TPaperKind : std::uint8_t { Picture, A4, A3 };
// Auto: landscape when the picture is wider than tall.
enum class TPaperOrientation : std::uint8_t { Auto, Portrait, Landscape };
struct TPdfPage {
    TPaperKind Paper = TPaperKind::Picture;
    TPaperOrientation Orientation = TPaperOrientation::Auto;
};

// The picture files, by the name's ending in any case: ".wmf", ".svg", ".png", ".pdf",
// and EMF for any other. The core draws WMF, EMF and SVG; PNG and PDF are the SVG
// turned into pixels or a page by the Qt side of the window or the command line.
enum class TPictureFormat : std::uint8_t { Wmf, Emf, Svg, Png, Pdf };
TPictureFormat PictureFormatOf(const std::string& FileName);

// Resolution of a PNG, dots per inch; the picture itself is at MetafileDpi (96).
inline constexpr double MinPictureDpi = 24;
inline constexpr double MaxPictureDpi = 1200;
inline constexpr double DefaultPictureDpi = 96;
// Widest or highest PNG, in pixels.
inline constexpr int MaxRasterSide = 20000;
// The PNG's size for a picture of Size pixels at Dpi; throws TRefusal for a
// resolution outside MinPictureDpi..MaxPictureDpi or a PNG wider or higher than
// MaxRasterSide.
TPictureSize RasterSize(TPictureSize Size, double Dpi);
// The resolution rule alone, for a check before any work.
void CheckPictureDpi(double Dpi);
// A scale of metres per pixel a picture can be drawn at: positive and finite.
bool IsPictureScale(double Scale);

inline constexpr TColor clLabelBack = 0xFFDCFF;  // R 255, G 220, B 255
inline constexpr TColor clSpeedPoint = 0x8000FF; // R 255, G 0, B 128

// The hatching of walls, in pixels: the distance of its strokes and their length
// (reaching past the band of an edge Width pixels wide).
inline constexpr double HatchStep = 8;
inline constexpr double HatchLength(int Width) {
    return Width + 6.0;
}

inline constexpr double DefaultScale = 0.004;
inline constexpr TPixel DefaultOrigin{0, 400};

class TEdgesCanvas {
public:
    TEdgesCanvas();
    TEdgesCanvas(const TEdgesCanvas&) = delete;
    TEdgesCanvas& operator=(const TEdgesCanvas&) = delete;

    // ---- host seam
    // Either surface may be null; drawing meant for it is then dropped.
    void SetSurfaces(TDrawSurface* Buffer, TDrawSurface* Screen);
    TDrawSurface* BufferCanvas() const { return BufferSurface; }
    TDrawSurface* ScreenCanvas() const { return ScreenSurface; }
    // Copies the buffer to the screen at (0, 0).
    std::function<void()> CopyBufferToScreen;
    // The control changed size: the host has resized its buffer already.
    void Resize(int NewWidth, int NewHeight);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The platform's repaint request: shows the buffer without recomposing it.
    void Paint();

    // ---- view
    TPixel WorldToScreen(TRealPoint P) const;
    TRealPoint ScreenToWorld(TPixel P) const;
    void SetScale(double S) { Scale = S; }
    void SetOrigin(TPixel P) { Origin = P; }
    void SetEdgeWidth(int W);
    int EdgeWidth() const { return FEdgeWidth; }
    void SetEditEnabled(bool B);
    bool EditEnabled() const { return FEditEnabled; }
    void SetTool(TEditTool T);
    TEditTool Tool() const { return FTool; }
    // Zoom about the centre of the canvas and back to the default view; each hands the
    // scale to the result lines and redraws. The window hands it to the flow model.
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();
    // The whole model in the canvas with a margin (the default view when it is empty);
    // done on the next resize while the canvas has no size yet.
    void ZoomFit();
    // Scale times Factor, the model point under P staying under it.
    void ZoomAt(TPixel P, double Factor);
    // Empty or replace the model. Each drops a drawing in progress and the selection
    // first, since both point into the model they belonged to.
    void ClearModel();
    void SetModel(TEdges Model);
    // TEdgesLoadError leaves the model empty, as TEdges::LoadFromFile does.
    void LoadModel(const std::string& FileName);

    // ---- painting
    void Redraw();
    void RedrawCylinders();
    void DrawMarker(TPixel P, TColor Color);
    void DrawLine(TPixel P, TPixel Q, TColor Color);
    void DrawLabel(TPixel P, const std::string& Text);
    void DrawRay(TPixel A, TPixel B, TColor Color);
    void DrawCircle(TPixel C, int R, TColor Color, double A, double B);
    void DrawArrow(TPixel P, int S, double Theta);
    // A wall (S = 0) is also hatched on its solid side, the side of the band.
    void DrawSegmentBand(TPixel P1, TPixel P2, int S, double Hn, double Hp);
    void DrawCylinder(TPixel C, int S, double A1, double A2, int R);
    // The speed legend of the flow lines, drawn in the upper right corner (on screen
    // and in exported pictures) while result lines are shown.
    void ShowLegend(bool Show) { FShowLegend = Show; }
    bool LegendShown() const { return FShowLegend; }
    // The scale the lines are coloured by (DrawLines.ColourScale) and what it spans now.
    void SetSpeedScale(TSpeedScale S) { DrawLines.ColourScale = S; }
    TShownScale ShownSpeedScale() const;
    // Speeds in the legend; the window passes one with the user's decimal separator.
    std::function<std::string(double)> LegendFormat;

    // ---- editing
    THitResult HitTest(TRealPoint P) const;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void MouseMove(TShiftState Shift, int X, int Y);
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void KeyDown(int Key, TShiftState Shift);
    void DeselectAll();
    // Selects as a click of the select tool would, without the notification; false
    // (nothing changed) when the model holds no such part of that kind.
    bool Select(const THitResult& Sel);
    THitResult Selection() const { return {FSelKind, FSelEdge, FSelSegment}; }
    TSelKind SelKind() const { return FSelKind; }
    int SelEdge() const { return FSelEdge; }
    int SelSegment() const { return FSelSegment; }
    void CancelDrawing();
    // Clicks of the drawing in progress (0: none), its first click, and whether the
    // pan tool is dragging.
    int ClickCount() const { return FClickCount; }
    TPixel FirstClick() const { return FFirstClick; }
    bool Panning() const { return FPanning; }
    void DeleteSelected();
    void InvertSelected();
    bool ApplySegment(const TEdgeSegment& New);
    // Why the last ApplySegment was refused, as one sentence ("" after one carried out).
    const std::string& MoveRefusal() const { return FMoveRefusal; }
    bool ConvertSelectedToArc(int NumSegs, double Height);
    // The note of the last change, cleared by taking it.
    TEditNote TakeEditNote() { return std::exchange(FEditNote, {}); }

    // ---- picture export: WMF with the placeable header when the name ends in ".wmf"
    // (any case), EMF otherwise. Throws TFileError when the file cannot be written.
    TPictureSize ExportMetafile(const std::string& FileName);
    // The same picture as bytes, without a file.
    TPictureSize RenderMetafile(bool Wmf, std::vector<std::uint8_t>& Bytes);
    // WMF, EMF or SVG (also for PNG and PDF, which are made from the SVG).
    TPictureSize RenderVector(TPictureFormat Format, std::vector<std::uint8_t>& Bytes);

    // ---- notifications
    std::function<void()> OnSelect;
    std::function<void()> OnChange;
    std::function<void()> OnModify;
    std::function<void(TMouseButton, TShiftState, int X, int Y)> OnCanvasMouseDown;
    std::function<void(TShiftState, int X, int Y)> OnCanvasMouseMove;
    // The owner's key handler, called after the canvas's own.
    std::function<void(int Key, TShiftState)> PrevKeyDown;
    // An arrow key's move was refused; Text says so and why, in one line.
    std::function<void(const std::string& Text)> OnMoveRefused;
    // Yes/No question before deleting; without an answerer nothing is deleted.
    std::function<TAnswer(const std::string& Text)> Question;

    // ---- data
    TRealPoint SpeedPoint;
    TDrawLines DrawLines;
    const TEdgeElements* EdgeElements = nullptr; // not owned
    TColor AxesColor = clLime;
    int AxesStyle = 1; // 0 solid, 1 dashed, 2 dotted, 5 none
    TPixel Origin = DefaultOrigin;
    TEdgeSegment NewSegmentDefaults;
    bool ShowSpeedPoint = false;
    bool ShowResults = true;
    TColor EdgeColor = clSilver;
    double Scale = DefaultScale;
    bool ShowNames = false;
    // The model. Its records may be edited in place (velocities, slits, the turns of
    // rotating cylinders); add or remove boundaries through the canvas (ClearModel,
    // SetModel, LoadModel, the tools). A drawing in progress that no longer finds its
    // boundary as it left it is dropped, and a selection outside the model is none.
    TEdges Edges;
    // Where the drawing routines draw: the buffer, the screen or a metafile.
    TDrawSurface* Target;
    int RayLength = 1000;

    static const char* const DeleteQuestion;
    // The reasons of MoveRefusal.
    static const char* const CrossingReason;
    static const char* const CollapseReason;
    static const char* const RadiusReason;

private:
    struct TCounters {
        int Points = 0;
        int Suctions = 0;
        int Cylinders = 0;
    };
    void DrawEdge(const TEdge& Edge, TCounters& Counters, bool Names);
    void DrawCylinderEdge(const TEdge& Edge, TCounters& Counters, bool Names);
    // Short 45° strokes along a wall from P1 (direction U, length L in pixels) into
    // its solid side N.
    void DrawHatch(TPixel P1, TRealPoint U, TRealPoint N, double L);
    // The picture being exported, in pixels, that hatching keeps to (none: the canvas).
    TPictureSize HatchArea;
    void DrawSelection();
    void DrawModel(bool Names);
    void SetTargetScreen() { Target = ScreenSurface; }
    TPixel RimPoint(TPixel C, int R, double Deg) const;
    bool PointsMove(const TEdgeSegment& New);
    bool CylinderMove(const TEdgeSegment& New);
    bool DrawnSegmentHits(TRealPoint A, TRealPoint B) const;
    bool SegmentTestFails(const TEdge& Edge, int Index) const;
    bool HasSelection() const;
    // Forgets the drawing in progress and the selection without touching the model.
    void ResetEditState();
    // False when the model no longer holds the drawing in progress as it left it.
    bool DrawingIntact() const;
    void DropStaleDrawing();

    void PressSelect(TMouseButton Button, TPixel P);
    bool PressClosed(TMouseButton Button, TPixel P);
    bool PressSemiInfinite(TMouseButton Button, TPixel P);
    bool PressCylinder(TMouseButton Button, TPixel P);
    void AddRubberSegment(TPixel P);

    TDrawSurface* BufferSurface;
    TDrawSurface* ScreenSurface;
    int FWidth = 0;
    int FHeight = 0;
    int FEdgeWidth = 3;
    bool FEditEnabled = true;
    bool FShowLegend = false;
    // The legend over the result lines of a picture Width pixels wide, if it is due.
    void DrawLegendIfShown(int Width);
    TEditTool FTool = etClosedEdge;

    TSelKind FSelKind = skNone;
    int FSelEdge = -1;
    int FSelSegment = -1;
    std::string FMoveRefusal;
    void NoteEdit(const char* Name, THitResult Object, int Run = 0);
    // Ends the arrow-key run: the next arrow press starts a new undo step.
    void EndRun() { ++FRun; }
    TEditNote FEditNote;
    int FRun = 1;
    bool FKeyMove = false;
    bool FPanning = false;
    TPixel LastMouse;
    TPixel LastClick;
    TPixel FFirstClick;
    int FClickCount = 0;
    // The model's boundary count when the drawing in progress began.
    int DrawBase = 0;
    bool FFitPending = false;
    bool FMiddlePan = false;
    // The drawing in progress keeps its clicks in pixels: they follow a change of view.
    void ShiftClicks(int Dx, int Dy);
    // A point or cylinder held by the left button of the select tool, and where it was
    // taken relative to the mouse.
    bool FDragging = false;
    TRealPoint FDragOffset;
    TPixel LastPan;
    void DragTo(TPixel P);
};

// The picture of a model and its result lines at the given scale, as the canvas
// exports it in modelling mode (boundaries and lines only); with a Legend format, also
// the speed legend with its speeds so written.
// Turns the SVG of a picture of Size pixels into PNG (at Dpi) or PDF (on Page) bytes;
// the Qt side of the window and of the command line provides one.
using TPictureConverter = std::function<std::vector<std::uint8_t>(
    const std::vector<std::uint8_t>& Svg, TPictureFormat Format, TPictureSize Size, double Dpi,
    TPdfPage Page)>;
struct TPictureOptions {
    double Dpi = DefaultPictureDpi;
    TPdfPage Page;
    TPictureConverter Convert;
};
// PNG and PDF without a converter, or a resolution RasterSize refuses, throw TRefusal
// before anything is written.
TPictureSize ExportPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                           const std::string& FileName,
                           const std::function<std::string(double)>& Legend = {},
                           const TPictureOptions& Options = {});
// The bytes of a picture file of the format: RenderPicture's, converted for PNG and PDF.
TPictureSize PictureBytes(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                          TPictureFormat Format, std::vector<std::uint8_t>& Bytes,
                          const std::function<std::string(double)>& Legend = {},
                          const TPictureOptions& Options = {});
// The same picture as bytes (WMF when Wmf, else EMF), for a caller that writes it.
TPictureSize RenderPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale, bool Wmf,
                           std::vector<std::uint8_t>& Bytes,
                           const std::function<std::string(double)>& Legend = {});
// As RenderVector draws it: SVG for PNG and PDF.
TPictureSize RenderPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                           TPictureFormat Format, std::vector<std::uint8_t>& Bytes,
                           const std::function<std::string(double)>& Legend = {});

// Layout of the speed legend, in pixels.
inline constexpr int LegendMargin = 10;
inline constexpr int LegendPadding = 4;
inline constexpr int LegendBarWidth = 12;
inline constexpr int LegendBarHeight = 100;
inline constexpr int LegendTicks = 4; // intervals between labelled speeds
inline constexpr const char* LegendTitle = "|V|, м/с";
// Under the title: which range the colours span.
inline constexpr const char* LegendLinesCaption = "по линиям тока";
inline constexpr const char* LegendOpeningsCaption = "по отсосам";

// The colour scale of the flow lines (SpeedColor over VMin..VMax, fast at the top) with
// its speeds as Format writes them, in a white framed box whose upper right corner
// lies LegendMargin pixels left of Right and below Top. One label when VMax ≤ VMin.
// An end beyond which some lines go reads ">2,0" (or "<0,1"): its colour is clipped.
void DrawSpeedLegend(TDrawSurface& Surface, int Right, int Top, const TShownScale& Shown,
                     const std::function<std::string(double)>& Format);

// True when the name ends in ".wmf", in any case.
bool IsWmfName(const std::string& FileName);

} // namespace kalvex
