#include "app/canvas/uEdgesPaintBox.h"

#include "canvas/uPaintEdges.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace kalvex {

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers M) {
    TShiftState S = 0;
    if (M & Qt::ShiftModifier)
        S |= ssShift;
    if (M & Qt::AltModifier)
        S |= ssAlt;
    if (M & Qt::ControlModifier)
        S |= ssCtrl;
    return S;
}

TMouseButton ButtonOf(Qt::MouseButton B) {
    switch (B) {
    case Qt::RightButton:
        return TMouseButton::mbRight;
    case Qt::MiddleButton:
        return TMouseButton::mbMiddle;
    default:
        return TMouseButton::mbLeft;
    }
}

// The canvas's key codes; 0 for keys it does not know.
int KeyOf(int QtKey) {
    switch (QtKey) {
    case Qt::Key_Escape:
        return vkEscape;
    case Qt::Key_Left:
        return vkLeft;
    case Qt::Key_Up:
        return vkUp;
    case Qt::Key_Right:
        return vkRight;
    case Qt::Key_Down:
        return vkDown;
    case Qt::Key_Delete:
        return vkDelete;
    default:
        return 0;
    }
}

} // namespace

TEdgesPaintBox::TEdgesPaintBox(TEdgesCanvas& Canvas, QWidget* Parent)
    : QWidget(Parent), FCanvas(Canvas), Buffer(1, 1, QImage::Format_RGB32),
      Screen(1, 1, QImage::Format_RGB32), BufferSurface(Buffer), ScreenSurface(Screen) {
    setObjectName(QStringLiteral("EdgesPaintBox"));
    setAccessibleName(QString::fromUtf8("Чертеж системы"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Buffer.fill(Qt::white);
    Screen.fill(Qt::white);
    QFont Small = font();
    Small.setPointSize(8);
    BufferSurface.SetFont(Small);
    ScreenSurface.SetFont(Small);
    FCanvas.SetSurfaces(&BufferSurface, &ScreenSurface);
    FCanvas.CopyBufferToScreen = [this] { CopyBufferToScreen(); };
}

// The canvas may be gone already: the owner detaches it while both live.
TEdgesPaintBox::~TEdgesPaintBox() = default;

void TEdgesPaintBox::CopyBufferToScreen() {
    BufferSurface.End();
    ScreenSurface.End();
    Screen = Buffer.copy();
    update();
}

void TEdgesPaintBox::Refresh() {
    BufferSurface.End();
    ScreenSurface.End();
    update();
}

QImage TEdgesPaintBox::ScreenImage() {
    Refresh();
    return Screen;
}

void TEdgesPaintBox::Redraw() {
    FCanvas.Redraw();
    Refresh();
}

void TEdgesPaintBox::paintEvent(QPaintEvent*) {
    ScreenSurface.End();
    QPainter P(this);
    P.drawImage(0, 0, Screen);
}

void TEdgesPaintBox::resizeEvent(QResizeEvent*) {
    BufferSurface.End();
    ScreenSurface.End();
    const QSize S = size().expandedTo(QSize(1, 1));
    Buffer = QImage(S, QImage::Format_RGB32);
    Screen = QImage(S, QImage::Format_RGB32);
    Buffer.fill(Qt::white);
    Screen.fill(Qt::white);
    FCanvas.Resize(width(), height());
    Refresh();
}

void TEdgesPaintBox::mousePressEvent(QMouseEvent* Event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint P = Event->position().toPoint();
    FCanvas.MouseDown(ButtonOf(Event->button()), ShiftOf(Event->modifiers()), P.x(), P.y());
    Refresh();
}

void TEdgesPaintBox::mouseDoubleClickEvent(QMouseEvent* Event) {
    // The second press of a double click is a press too, as for the canvas it is.
    mousePressEvent(Event);
    emit DoubleClicked();
}

void TEdgesPaintBox::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    FCanvas.MouseMove(ShiftOf(Event->modifiers()), P.x(), P.y());
    Refresh();
}

void TEdgesPaintBox::mouseReleaseEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    FCanvas.MouseUp(ButtonOf(Event->button()), ShiftOf(Event->modifiers()), P.x(), P.y());
    Refresh();
}

void TEdgesPaintBox::keyPressEvent(QKeyEvent* Event) {
    const int Key = KeyOf(Event->key());
    if (Key == 0) {
        QWidget::keyPressEvent(Event);
        return;
    }
    FCanvas.KeyDown(Key, ShiftOf(Event->modifiers()));
    Refresh();
}

void TEdgesPaintBox::wheelEvent(QWheelEvent* Event) {
    const double Steps = Event->angleDelta().y() / 120.0;
    if (Steps == 0) {
        QWidget::wheelEvent(Event);
        return;
    }
    emit Wheel(Event->position().toPoint(), Steps);
    Event->accept();
}

} // namespace kalvex
