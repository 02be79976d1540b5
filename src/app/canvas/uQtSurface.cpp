#include "app/canvas/uQtSurface.h"

#include <QFontMetrics>
#include <QPolygon>

#include <cmath>
#include <numbers>

namespace kalvex {

namespace {

Qt::PenStyle QtPenStyle(TPenStyle S) {
    switch (S) {
    case TPenStyle::psSolid:
        return Qt::SolidLine;
    case TPenStyle::psDash:
        return Qt::DashLine;
    case TPenStyle::psDot:
        return Qt::DotLine;
    case TPenStyle::psDashDot:
        return Qt::DashDotLine;
    case TPenStyle::psDashDotDot:
        return Qt::DashDotDotLine;
    case TPenStyle::psClear:
        break;
    }
    return Qt::NoPen;
}

QPolygon ToPolygon(std::span<const TPixel> Points) {
    QPolygon P;
    P.reserve(static_cast<int>(Points.size()));
    for (const TPixel& Pt : Points)
        P << QPoint(Pt.X, Pt.Y);
    return P;
}

// The box of a rectangle, ellipse or arc, right and bottom edges excluded: the pen of
// width one covers one pixel more than QRect's size.
QRect Box(int X1, int Y1, int X2, int Y2) {
    return QRect(std::min(X1, X2), std::min(Y1, Y2), std::abs(X2 - X1) - 1, std::abs(Y2 - Y1) - 1);
}

// Start and span (1/16 degree, counter-clockwise on the screen) from the ray towards
// (X3, Y3) to the ray towards (X4, Y4); equal rays give the full turn.
std::pair<int, int> ArcAngles(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    const double Cx = (X1 + X2) / 2.0;
    const double Cy = (Y1 + Y2) / 2.0;
    const double ToDeg = 180.0 / std::numbers::pi;
    const double A = std::atan2(-(Y3 - Cy), X3 - Cx) * ToDeg;
    const double B = std::atan2(-(Y4 - Cy), X4 - Cx) * ToDeg;
    double Span = std::fmod(B - A, 360.0);
    if (Span <= 1e-9)
        Span += 360.0;
    return {static_cast<int>(std::lround(A * 16)), static_cast<int>(std::lround(Span * 16))};
}

} // namespace

TQtImageSurface::~TQtImageSurface() {
    End();
}

QColor TQtImageSurface::ToQColor(TColor C) {
    return QColor(static_cast<int>(C & 0xFF), static_cast<int>((C >> 8) & 0xFF),
                  static_cast<int>((C >> 16) & 0xFF));
}

void TQtImageSurface::End() {
    if (Painter) {
        Painter->end();
        Painter.reset();
    }
}

QPainter& TQtImageSurface::Ready(bool Filled) {
    if (!Painter) {
        Painter = std::make_unique<QPainter>(&Image);
        Painter->setRenderHint(QPainter::Antialiasing, false);
        Painter->setFont(Font);
    }
    // Not-xor: drawing the same band twice gives the picture back.
    Painter->setCompositionMode(PenMode == TPenMode::pmNotXor
                                    ? QPainter::RasterOp_NotSourceXorDestination
                                    : QPainter::CompositionMode_SourceOver);
    const Qt::PenStyle Style = QtPenStyle(PenStyle);
    if (Style == Qt::NoPen) {
        Painter->setPen(Qt::NoPen);
    } else {
        QPen Pen(ToQColor(PenColor), PenWidth <= 1 ? 0 : PenWidth, Style);
        Painter->setPen(Pen);
    }
    if (Filled && BrushStyle == TBrushStyle::bsSolid)
        Painter->setBrush(ToQColor(BrushColor));
    else
        Painter->setBrush(Qt::NoBrush);
    return *Painter;
}

void TQtImageSurface::MoveTo(int X, int Y) {
    PenPos = QPoint(X, Y);
}

void TQtImageSurface::LineTo(int X, int Y) {
    const QPoint To(X, Y);
    Ready(false).drawLine(PenPos, To);
    PenPos = To;
}

void TQtImageSurface::Polyline(std::span<const TPixel> Points) {
    if (Points.empty())
        return;
    Ready(false).drawPolyline(ToPolygon(Points));
}

void TQtImageSurface::Polygon(std::span<const TPixel> Points) {
    if (Points.empty())
        return;
    Ready(true).drawPolygon(ToPolygon(Points));
}

void TQtImageSurface::Ellipse(int X1, int Y1, int X2, int Y2) {
    Ready(true).drawEllipse(Box(X1, Y1, X2, Y2));
}

void TQtImageSurface::Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    const auto [Start, Span] = ArcAngles(X1, Y1, X2, Y2, X3, Y3, X4, Y4);
    Ready(false).drawArc(Box(X1, Y1, X2, Y2), Start, Span);
}

void TQtImageSurface::Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    const auto [Start, Span] = ArcAngles(X1, Y1, X2, Y2, X3, Y3, X4, Y4);
    Ready(true).drawPie(Box(X1, Y1, X2, Y2), Start, Span);
}

void TQtImageSurface::Rectangle(int X1, int Y1, int X2, int Y2) {
    Ready(true).drawRect(Box(X1, Y1, X2, Y2));
}

void TQtImageSurface::TextOut(int X, int Y, const std::string& Text) {
    QPainter& P = Ready(false);
    P.setPen(ToQColor(FontColor));
    P.drawText(QRect(X, Y, 4000, 400), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
               QString::fromStdString(Text));
}

TTextSize TQtImageSurface::TextExtent(const std::string& Text) {
    const QFontMetrics M(Font);
    return {M.horizontalAdvance(QString::fromStdString(Text)), M.height()};
}

} // namespace kalvex
