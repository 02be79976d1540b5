// The fields of a particle's and the air's data that the particle dialogs share.
#pragma once

class QLineEdit;

namespace kalvex {

struct TParticleDataFields {
    QLineEdit *edHi = nullptr, *edRo1 = nullptr, *edRo = nullptr, *edMu = nullptr, *edK = nullptr,
              *edF = nullptr, *edStep = nullptr, *edMaxTime = nullptr;
};

} // namespace kalvex
