// What a result dialog needs of the window to run a computation on the window's
// thread: the document, the message service, the canvas control to draw on and the
// switch that disables the rest of the window while the run lasts.
#pragma once

#include <QDialog>
#include <QString>

#include <chrono>
#include <functional>

namespace kalvex {

class TDocument;
class TEdgesPaintBox;
class TMessages;

struct TRunContext {
    TDocument& Doc;
    TMessages& Msg;
    TEdgesPaintBox& Box;
    // true: a computation starts, every other command of the window stops acting.
    std::function<void(bool Busy)> SetBusy;
};

// For the length of a computation: the evaluator draws on the canvas as it goes and
// pumps the window's events; the window is busy. Undone on destruction, also when the
// computation throws.
class TRunScope {
public:
    explicit TRunScope(TRunContext& Context);
    ~TRunScope();
    TRunScope(const TRunScope&) = delete;
    TRunScope& operator=(const TRunScope&) = delete;

private:
    TRunContext& C;
    std::chrono::steady_clock::time_point Start;
};

// Qt passes no close request to a window that a modal dialog blocks, so a run started
// from a modal dialog would keep the main window from being closed. For the run the
// dialog is shown again without its modality (the busy window refuses its commands
// meanwhile); ExecModal makes it modal again when it stays open after the run.
void ReleaseModality(QDialog& D);
// Exec (the dialog's QDialog::exec) until the dialog is closed.
int ExecModal(QDialog& D, const std::function<int()>& Exec);

// A dialog that runs a computation: while it runs, "Отмена" and closing the dialog ask
// the evaluator to stop, and the main window can be closed; the dialog closes when the
// run ends unless the run failed.
class TRunDialog : public QDialog {
public:
    TRunDialog(TRunContext& Context, QWidget* Parent, Qt::WindowFlags Flags = {});
    bool Running() const { return FRunning; }
    void reject() override;
    int exec() override;

protected:
    // Runs Action inside a TRunScope; a core failure is shown with the core's text.
    // False when it failed.
    bool Run(const std::function<void()>& Action);
    void showEvent(QShowEvent* Event) override;
    // True in a showEvent that only shows the dialog again around a run: the fields
    // keep what they hold.
    bool Reshown() const { return FReshown; }
    TRunContext& Ctx;
    // Whether a run releases the dialog's modality (a dialog that stays open for the
    // next computation keeps it).
    bool FreeDuringRun = true;

private:
    bool FRunning = false;
    bool FReshowing = false;
    bool FReshown = false;
};

// A core text with '.' as its decimal separator, in the user's notation.
QString LocaleDecimals(const std::string& Text);

// Runs Action and shows a core failure in an error box with the core's text. False
// when it failed.
bool RunReported(TMessages& Msg, const std::function<void()>& Action);

} // namespace kalvex
