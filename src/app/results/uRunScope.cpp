#include "app/results/uRunScope.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/uMessages.h"
#include "document/uDocument.h"

#include <QCoreApplication>
#include <QLocale>

#include <new>

namespace kalvex {

TRunScope::TRunScope(TRunContext& Context) : C(Context) {
    TCountEdges& S = C.Doc.Solver();
    TEdgesCanvas& Cv = C.Doc.Canvas();
    S.Canvas = Cv.ScreenCanvas();
    S.BufferCanvas = Cv.BufferCanvas();
    S.OriginX = Cv.Origin.X;
    S.OriginY = Cv.Origin.Y;
    S.SetScale(Cv.Scale);
    S.Model = &Cv.Edges;
    S.RedrawCylinders = [&Cv] { Cv.RedrawCylinders(); };
    TEdgesPaintBox* Box = &C.Box;
    // What was drawn so far reaches the screen before the events are handled.
    S.ProcessEvents = [Box] {
        Box->Refresh();
        QCoreApplication::processEvents();
    };
    if (C.SetBusy)
        C.SetBusy(true);
}

TRunScope::~TRunScope() {
    TCountEdges& S = C.Doc.Solver();
    S.Canvas = nullptr;
    S.BufferCanvas = nullptr;
    S.ProcessEvents = nullptr;
    S.RedrawCylinders = nullptr;
    S.ProgressBar = nullptr;
    S.TimeLabel = nullptr;
    S.ReLabel = nullptr;
    C.Box.Refresh();
    if (C.SetBusy)
        C.SetBusy(false);
}

TRunDialog::TRunDialog(TRunContext& Context, QWidget* Parent, Qt::WindowFlags Flags)
    : QDialog(Parent, Flags), Ctx(Context) {}

void TRunDialog::reject() {
    if (FRunning) {
        Ctx.Doc.Solver().StopBuilding();
        return;
    }
    QDialog::reject();
}

bool TRunDialog::Run(const std::function<void()>& Action) {
    FRunning = true;
    bool Ok = false;
    {
        TRunScope Scope(Ctx);
        Ok = RunReported(Ctx.Msg, Action);
    }
    FRunning = false;
    return Ok;
}

QString LocaleDecimals(const std::string& Text) {
    QString T = QString::fromStdString(Text);
    T.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return T;
}

bool RunReported(TMessages& Msg, const std::function<void()>& Action) {
    try {
        Action();
        return true;
    } catch (const TKalvexError& E) {
        Msg.Show(QString::fromUtf8(E.what()), TMsgIcon::Error);
    } catch (const std::bad_alloc&) {
        Msg.Show(QString::fromUtf8("Недостаточно памяти для вычислений."), TMsgIcon::Error);
    }
    return false;
}

} // namespace kalvex
