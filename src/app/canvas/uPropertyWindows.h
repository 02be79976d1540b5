// The property tool windows of the selection (segment, cylinder, discretisation of a
// segment) and the editing dialogs (convert to arc, rotate cylinders, settings). The
// main window creates one of these and calls it; the rules of each apply live in the
// document layer.
#pragma once

#include <QObject>

#include <memory>
#include <optional>

class QWidget;

namespace kalvex {

class TDocument;
class TMessages;

class TPropertyWindows : public QObject {
    Q_OBJECT
public:
    TPropertyWindows(TDocument& Doc, TMessages& Msg, QWidget* Owner);
    ~TPropertyWindows() override;

    // The tool windows ("Прямолин. область", "Цилиндрич. область",
    // "Параметры дискретизации выбр. ребра"); owned here.
    QWidget* EdgeProp() const;
    QWidget* CylProp() const;
    QWidget* DiscreteProp() const;

    // Fills or clears the windows from the canvas's selection.
    void FillPropertyWindows();
    // A point or cylinder moved by keys: new coordinates into the fields.
    void RefreshPointFields();

    // The modal dialogs. ConvertToArc: true when the selected segment became an arc.
    bool ConvertToArc();
    // The angle in degrees when the user pressed "Повернуть".
    std::optional<double> AskRotation();
    // True on "ОК", after the canvas took the values; the caller writes kalvex.ini.
    bool EditSettings();

signals:
    // A window changed the model (the caller repaints and refreshes its commands).
    void Applied();
    // A tool window was shown or closed by the user (menu ticks follow).
    void VisibilityChanged();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

} // namespace kalvex
