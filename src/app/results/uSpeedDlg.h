// The velocity at a typed point, and the message both velocity commands show.
#pragma once

#include "app/results/uRunScope.h"
#include "geometry/GenFuncs.h"

class QLineEdit;
class QPushButton;

namespace kalvex {

// "Скорость воздуха в точке (X;Y):", "Vx = ... м/с", "Vy = ... м/с" on three lines.
QString VelocityMessage(TRealPoint P, TRealPoint V);

// Keeps the canvas's point marker on the typed point while the dialog is shown.
class TSpeedPointMarker {
public:
    TSpeedPointMarker(TRunContext& Context, QLineEdit* X, QLineEdit* Y);
    void Show();
    void Hide();

private:
    void Follow();
    TRunContext& C;
    QLineEdit* edX;
    QLineEdit* edY;
};

class TfrmSpeed : public TRunDialog {
    Q_OBJECT
public:
    TfrmSpeed(TRunContext& Context, QWidget* Parent = nullptr);

    QLineEdit* edX = nullptr;
    QLineEdit* edY = nullptr;
    QPushButton* btCompute = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void Compute();
    TSpeedPointMarker Marker;
};

} // namespace kalvex
