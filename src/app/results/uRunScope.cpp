#include "app/results/uRunScope.h"

#include "app/canvas/uEdgesPaintBox.h"
#include "app/uMessages.h"
#include "document/uDocument.h"

#include <QCoreApplication>
#include <QLocale>

#include <chrono>
#include <cstdio>
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
    Start = std::chrono::steady_clock::now();
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
    // bench/window.sh: how long the run took, drawing included, on stderr.
    static const bool Log = qEnvironmentVariableIsSet("KALVEX_RUN_LOG");
    if (Log) {
        std::fprintf(
            stderr, "run %.4f\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
        std::fflush(stderr);
    }
}

void ReleaseModality(QDialog& D) {
    if (!D.isVisible() || !D.isModal())
        return;
    // Modality changes only while the dialog is hidden; hiding it also ends exec()'s
    // loop once the run returns to it, which ExecModal answers.
    const QPoint At = D.pos();
    D.hide();
    D.setWindowModality(Qt::NonModal);
    D.move(At);
    D.show();
    D.raise();
    D.activateWindow();
}

int ExecModal(QDialog& D, const std::function<int()>& Exec) {
    for (;;) {
        const int R = Exec();
        if (!D.isVisible())
            return R;
        D.hide();
    }
}

TRunDialog::TRunDialog(TRunContext& Context, QWidget* Parent, Qt::WindowFlags Flags)
    : QDialog(Parent, Flags), Ctx(Context) {}

int TRunDialog::exec() {
    bool First = true;
    return ExecModal(*this, [this, &First] {
        FReshowing = !First;
        First = false;
        return QDialog::exec();
    });
}

void TRunDialog::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FReshown = FReshowing;
    FReshowing = false;
}

void TRunDialog::reject() {
    if (FRunning) {
        Ctx.Doc.Solver().StopBuilding();
        return;
    }
    QDialog::reject();
}

bool TRunDialog::Run(const std::function<void()>& Action) {
    FRunning = true;
    if (FreeDuringRun && isModal()) {
        FReshowing = true;
        ReleaseModality(*this);
        FReshowing = false;
    }
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
    } catch (const TSolveStopped&) {
        // Stopped by the user: nothing to report.
    } catch (const TKalvexError& E) {
        Msg.Show(QString::fromUtf8(E.what()), TMsgIcon::Error);
    } catch (const std::bad_alloc&) {
        Msg.Show(QString::fromUtf8("Недостаточно памяти для вычислений."), TMsgIcon::Error);
    }
    return false;
}

} // namespace kalvex
