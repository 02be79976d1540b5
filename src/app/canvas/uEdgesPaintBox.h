// The canvas control: a plain widget that hosts the core canvas. The picture is
// composed in an off-screen image; a second image mirrors the screen, so that rubber
// bands can be drawn on it in not-xor mode and erased by drawing them again.
// paintEvent only copies the mirror to the widget.
#pragma once

#include "app/canvas/uQtSurface.h"

#include <QImage>
#include <QWidget>

namespace kalvex {

class TEdgesCanvas;

class TEdgesPaintBox : public QWidget {
    Q_OBJECT
public:
    TEdgesPaintBox(TEdgesCanvas& Canvas, QWidget* Parent = nullptr);
    ~TEdgesPaintBox() override;

    TEdgesCanvas& Canvas() { return FCanvas; }
    // What the screen shows now (the mirror), for tests and screenshots.
    QImage ScreenImage();
    // Redraws the whole picture and shows it.
    void Redraw();
    // Shows what the canvas drew since: closes the painters and schedules a repaint.
    void Refresh();

signals:
    void DoubleClicked();
    // The wheel turned by Steps notches (positive: away from the user) over the pixel At.
    void Wheel(QPoint At, double Steps);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;

private:
    void CopyBufferToScreen();

    TEdgesCanvas& FCanvas;
    QImage Buffer;
    QImage Screen;
    TQtImageSurface BufferSurface;
    TQtImageSurface ScreenSurface;
};

} // namespace kalvex
