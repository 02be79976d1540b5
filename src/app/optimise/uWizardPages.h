// The first pages of the optimisation wizard: the task type, the velocity task, the
// particle task and the start conditions of one particle.
#pragma once

#include "document/uWizard.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kalvex {

class TEdgesCanvas;
class TMessages;

// How a wizard page was left (QDialog result codes).
enum TPageResult { prCancel = 0, prNext = 1, prBack = 2 };

// A number as a field shows it for editing: the locale's general format.
QString FieldNumber(double Value);

// The canvas's point marker, on while a dialog that asks for a point is shown.
struct TPointMarker {
    TEdgesCanvas* Canvas = nullptr;
    std::function<void()> Redraw;
    void Show(QLineEdit* X, QLineEdit* Y) const;
    void Hide() const;
};

class TfrmChooseType : public QDialog {
    Q_OBJECT
public:
    explicit TfrmChooseType(int Task, QWidget* Owner = nullptr);
    int Task() const;

    QButtonGroup* rgTaskType = nullptr;
    QPushButton* btNext = nullptr;
};

class TfrmSpeedData : public QDialog {
    Q_OBJECT
public:
    TfrmSpeedData(TMessages& Msg, TPointMarker Marker, const TSpeedData& Data,
                  QWidget* Owner = nullptr);
    // The data as accepted by "Дальше >>" or "<< Назад".
    const TSpeedData& Data() const { return FData; }
    // Cancelled, the page keeps every number that converts for the next opening.
    void done(int R) override;

    QLineEdit *edX, *edY, *edV, *edVnx, *edVny;
    QPushButton *btBack, *btNext, *btCancel;

protected:
    void showEvent(QShowEvent* E) override;
    void hideEvent(QHideEvent* E) override;

private:
    void Leave(TPageResult R);
    TMessages& Msg;
    TPointMarker Marker;
    TSpeedData FData;
};

class TfrmStartPartInfo : public QDialog {
    Q_OBJECT
public:
    TfrmStartPartInfo(TMessages& Msg, TPointMarker Marker, const QString& Name,
                      const TStartPartInfo& Info, QWidget* Owner = nullptr);
    const TStartPartInfo& Info() const { return FInfo; }

    QLineEdit *edX, *edY, *edVx, *edVy;
    QPushButton* btOk;

protected:
    void showEvent(QShowEvent* E) override;
    void hideEvent(QHideEvent* E) override;

private:
    TMessages& Msg;
    TPointMarker Marker;
    TStartPartInfo FInfo;
};

class TfrmPartsData : public QDialog {
    Q_OBJECT
public:
    TfrmPartsData(TMessages& Msg, TPointMarker Marker, int Task, const TParticleData& Data,
                  QWidget* Owner = nullptr);
    const TParticleData& Data() const { return FData; }
    void done(int R) override;

    // The particle commands, as their buttons run them.
    void AddParticle();
    void EditParticle();
    void DeleteParticle();

    QLineEdit *edDe, *edHi, *edRo1, *edRo, *edMu, *edK, *edF, *edStep, *edMaxTime;
    QListWidget* lbParts;
    QPushButton *btAdd, *btDelete, *btEdit, *btBack, *btNext, *btCancel;
    QLabel *lbX, *lbY, *lbVx, *lbVy;

private:
    void ShowSelected();
    void Leave(TPageResult R);
    TMessages& Msg;
    TPointMarker Marker;
    TParticleData FData;
};

} // namespace kalvex
