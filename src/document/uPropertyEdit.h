// The rules behind the property windows and the editing dialogs: each takes the values
// the window parsed (nothing where the text was not a number), changes the model through
// the canvas and says what to show. The windows only parse, call these and refill.
#pragma once

#include "canvas/uPaintEdges.h"

#include <optional>
#include <string>
#include <vector>

namespace kalvex {

class TDocument;

// A number field as parsed: nothing when its text is not a number.
using TParsed = std::optional<double>;

struct TApplyOutcome {
    std::vector<std::string> Messages; // to show in this order ('\r' = line break)
    bool Changed = false;              // the model changed (the document is marked)
    // The windows show the stored values again, so that a refused value does not stand
    // in a field as if it were the model's.
    bool Refill = true;
};

// ---- the segment window ("Прямолин. область")

// The selected point (P1 for skFirstPoint, P2 for skPoint) moved to (X, Y).
TApplyOutcome ApplyPointFields(TDocument& Doc, TParsed X, TParsed Y);
// The velocity of the selected segment.
TApplyOutcome ApplySegmentSpeed(TDocument& Doc, TParsed V);
// Converting is offered for any segment of a closed object and for the inner segments of
// a semi-infinite one (its end segments stand for rays).
bool CanConvertSelectedToArc(const TEdgesCanvas& Canvas);
// Inverts the selected closed or semi-infinite object; true when the model changed.
bool InvertSelection(TDocument& Doc);

// ---- the cylinder window ("Цилиндрич. область")

struct TCylinderInput {
    TParsed X, Y, Radius, TurnSpeed;
    bool Slit = false; // "Щель:" checked
    TParsed Ang1, Ang2, SlitSpeed;
};
TApplyOutcome ApplyCylinderFields(TDocument& Doc, const TCylinderInput& In);

// ---- convert to arc ("Преобразовать в дугу")

struct TArcInput {
    TParsed Height;
    std::optional<int> NumSegs;
    int Direction = 0; // 0 outwards, 1 inwards
};
// Changed is true when the selected segment became an arc (the dialog then closes).
TApplyOutcome ConvertSelectionToArc(TDocument& Doc, const TArcInput& In);

// ---- discretisation of the selected segment ("Параметры дискретизации выбр. ребра")

// A field the user may have left as it was filled: only edited fields are stored, so a
// value shown rounded is never written back rounded.
struct TEditedField {
    bool Edited = false;
    TParsed Value; // the parsed text when edited
};

struct TDiscreteInput {
    int Type = 0;   // 0 boundary elements, 1 bound vortices
    int Method = 0; // 0 equal elements, 1 unequal
    TEditedField BaseLength, Scaler, InfiniteScaler, CylBaseLength, InfiniteCount, VortexStep;
};
TApplyOutcome ApplyDiscreteFields(TDocument& Doc, const TDiscreteInput& In);

// ---- drawing settings (" Настройки")

struct TDrawingSettings {
    int EdgeWidth = 3;
    TColor EdgeColor = clSilver;
    int AxesItem = 2; // 0 none, 1 solid, 2 dashed, 3 dotted
    TColor AxesColor = clLime;
};
TDrawingSettings SettingsOf(const TEdgesCanvas& Canvas);
// The canvas takes the values (a width above 15 becomes 15) and redraws.
void ApplySettings(TEdgesCanvas& Canvas, const TDrawingSettings& S);

} // namespace kalvex
