// Where the user guide is: installed beside the program's share folder, or in the
// source tree for a program run from its build folder. Empty when there is none.
#pragma once

#include <QString>
#include <QStringList>

namespace kalvex {

// The candidate guide files for a program in ProgramDir, best first.
QStringList GuideCandidates(const QString& ProgramDir);
// The first candidate that exists, for the running program; empty when none does.
QString GuidePath();

} // namespace kalvex
