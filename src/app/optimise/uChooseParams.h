// The last page of the optimisation wizard: the searched parameters, the grid, the
// task file and the search itself; and the wizard's page flow.
#pragma once

#include "app/optimise/uWizardPages.h"
#include "document/uWizard.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kalvex {

class TMessages;

// The parameter page was left to put the found values into the model.
inline constexpr int prApply = 3;

// The main window's part in a search: its busy switch, and whether it waits for the
// search to end so as to close.
struct TSearchHost {
    std::function<void(bool Busy)> SetBusy;
    std::function<bool()> Leaving;
    // Writes the search report as a text file; may throw the core's error.
    std::function<void(const std::string& Path, const std::string& Text)> SaveText;
};

class TfrmChooseParams : public QDialog {
    Q_OBJECT
public:
    // Folder: where the task file dialogs start.
    TfrmChooseParams(TWizard& Wizard, TMessages& Msg, QString Folder, QWidget* Owner = nullptr,
                     TSearchHost Host = {});
    int exec() override;

    // The commands, as their buttons run them.
    void AddGeometric();
    void EditGeometric();
    void DeleteGeometric();
    void EditSuction();
    void SaveTask();
    void OpenTask();
    void StartOrStop();

    // The model with the found values, after prApply.
    const std::optional<TEdges>& Found() const { return FFound; }

    QListWidget *lbGeomParams, *lbFormula, *lbOtsoses;
    QLabel *lbLowLimit, *lbHighLimit, *lbChangeStep, *lbGeomStartValue;
    QLabel *lbOtsosLowLimit, *lbOtsosHighLimit, *lbOtsosChangeStep, *lbOtsosStartValue;
    QPushButton *btAddGeom, *btDeleteGeom, *btEditGeom, *btEditOtsos;
    QCheckBox* cbTabulation;
    QDoubleSpinBox* seTabScaler;
    QPushButton *btStart, *btCancel, *btBack, *btSaveTask, *btOpenTask;
    QLabel *lbSearching, *lbProgress;

    void reject() override;
    // However the page is left, the options stay for the next time it shows.
    void done(int R) override;

protected:
    void closeEvent(QCloseEvent* E) override;

private:
    void FillLists();
    void ShowGeometric();
    void ShowSuction();
    void TakeOptions();
    void SetSearching(bool On);
    void ShowReport(const QString& Report);

    TWizard& W;
    TMessages& Msg;
    QString Folder;
    TSearchHost Host;
    std::optional<TEdges> FFound;
    QList<QWidget*> Idle; // what acts only while no search runs
};

// The wizard's pages in turn; the model with the found values when the user chose to
// put them in.
std::optional<TEdges> RunOptimisationWizard(TWizard& Wizard, TMessages& Msg,
                                            const TPointMarker& Marker, const QString& Folder,
                                            QWidget* Owner, const TSearchHost& Host = {});

} // namespace kalvex
