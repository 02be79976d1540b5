// The particle trajectory dialog: the release point and speed, the particle and the
// air, the step and the time limit; the flight is drawn as it is computed.
#pragma once

#include "app/results/uParticleFields.h"
#include "app/results/uSpeedDlg.h"

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kalvex {

class TfrmPartTraces : public TRunDialog, public TParticleDataFields {
    Q_OBJECT
public:
    TfrmPartTraces(TRunContext& Context, QWidget* Parent = nullptr);

    QLineEdit *edX = nullptr, *edY = nullptr, *edVx = nullptr, *edVy = nullptr, *edDe = nullptr;
    QPushButton* btBuild = nullptr;
    QLabel* lbTime = nullptr;
    QLabel* lbRe = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void Build();
    QWidget* Progress = nullptr;
    std::unique_ptr<TSpeedPointMarker> Marker;
};

} // namespace kalvex
