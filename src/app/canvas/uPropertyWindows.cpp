// Placeholder windows until the property windows land: empty tool windows, no dialogs.
#include "app/canvas/uPropertyWindows.h"

#include <QWidget>

namespace kalvex {

struct TPropertyWindows::TImpl {
    QWidget* Edge = nullptr;
    QWidget* Cyl = nullptr;
    QWidget* Discrete = nullptr;
};

TPropertyWindows::TPropertyWindows(TDocument&, TMessages&, QWidget* Owner)
    : QObject(Owner), Impl(std::make_unique<TImpl>()) {
    auto Make = [Owner](const char* Title) {
        auto* W = new QWidget(Owner, Qt::Tool);
        W->setWindowTitle(QString::fromUtf8(Title));
        return W;
    };
    Impl->Edge = Make("Прямолин. область");
    Impl->Cyl = Make("Цилиндрич. область");
    Impl->Discrete = Make("Параметры дискретизации выбр. ребра");
}

TPropertyWindows::~TPropertyWindows() = default;

QWidget* TPropertyWindows::EdgeProp() const {
    return Impl->Edge;
}
QWidget* TPropertyWindows::CylProp() const {
    return Impl->Cyl;
}
QWidget* TPropertyWindows::DiscreteProp() const {
    return Impl->Discrete;
}
void TPropertyWindows::FillPropertyWindows() {}
void TPropertyWindows::RefreshPointFields() {}
bool TPropertyWindows::ConvertToArc() {
    return false;
}
std::optional<double> TPropertyWindows::AskRotation() {
    return std::nullopt;
}
bool TPropertyWindows::EditSettings() {
    return false;
}

} // namespace kalvex
