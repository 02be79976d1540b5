#include "picture/uQtPicture.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace kalvex {

namespace {

std::vector<std::uint8_t> BytesOf(const QByteArray& A) {
    return {reinterpret_cast<const std::uint8_t*>(A.constData()),
            reinterpret_cast<const std::uint8_t*>(A.constData()) + A.size()};
}

} // namespace

void EnsurePictureApp() {
    if (QCoreApplication::instance())
        return;
    // The command line draws without a display.
    static int Argc = 1;
    static char Name[] = "kalvex-calc";
    static char* Argv[] = {Name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's notes about its runtime folder are no business of the command's output.
    qInstallMessageHandler([](QtMsgType Type, const QMessageLogContext&, const QString& Text) {
        if (Type == QtCriticalMsg || Type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", Text.toLocal8Bit().constData());
    });
    static const std::unique_ptr<QGuiApplication> App =
        std::make_unique<QGuiApplication>(Argc, Argv);
}

std::vector<std::uint8_t> QtConvertPicture(const std::vector<std::uint8_t>& Svg,
                                           TPictureFormat Format, TPictureSize Size, double Dpi,
                                           TPdfPage Page) {
    QSvgRenderer Renderer(
        QByteArray(reinterpret_cast<const char*>(Svg.data()), static_cast<qsizetype>(Svg.size())));
    if (!Renderer.isValid())
        return {};
    QByteArray Out;
    QBuffer Buffer(&Out);
    Buffer.open(QIODevice::WriteOnly);
    if (Format == TPictureFormat::Png) {
        const TPictureSize Px = RasterSize(Size, Dpi);
        QImage Image(Px.Width, Px.Height, QImage::Format_RGB32);
        Image.fill(Qt::white);
        const int DotsPerMetre = static_cast<int>(std::lround(Dpi / 0.0254));
        Image.setDotsPerMeterX(DotsPerMetre);
        Image.setDotsPerMeterY(DotsPerMetre);
        {
            QPainter P(&Image);
            P.setRenderHint(QPainter::Antialiasing);
            Renderer.render(&P, QRectF(0, 0, Px.Width, Px.Height));
        }
        if (!Image.save(&Buffer, "PNG"))
            return {};
        return BytesOf(Out);
    }
    // The picture's own size at the screen's 96 pixels per inch, or a sheet with the
    // picture fitted on it; drawn as vectors.
    const TPaperMm Paper = OrientPaper(PaperMm(Page.Paper, Size), Page.Orientation, Size);
    QPdfWriter Writer(&Buffer);
    Writer.setResolution(MetafileDpi);
    if (Page.Paper == TPaperKind::Picture)
        Writer.setPageSize(
            QPageSize(QSizeF(Size.Width * 72.0 / MetafileDpi, Size.Height * 72.0 / MetafileDpi),
                      QPageSize::Point));
    else
        Writer.setPageSize(QPageSize(QSizeF(Paper.Width, Paper.Height), QPageSize::Millimeter));
    Writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    Writer.setCreator(QStringLiteral("Kalvex 2"));
    QPainter P(&Writer);
    if (!P.isActive())
        return {};
    if (Page.Paper == TPaperKind::Picture)
        Renderer.render(&P, QRectF(0, 0, Writer.width(), Writer.height()));
    else if (!PaintPictureOnPage(P, MetafileDpi / 25.4, Svg, Size, Paper))
        return {};
    P.end();
    return BytesOf(Out);
}

bool PaintPictureOnPage(QPainter& Painter, double DotsPerMm, const std::vector<std::uint8_t>& Svg,
                        TPictureSize Size, TPaperMm Paper, const QString& Caption) {
    QSvgRenderer Renderer(
        QByteArray(reinterpret_cast<const char*>(Svg.data()), static_cast<qsizetype>(Svg.size())));
    if (!Renderer.isValid())
        return false;
    const TPageLayout L = LayoutPage(Size, Paper, !Caption.isEmpty());
    auto Dots = [DotsPerMm](const TRectMm& R) {
        return QRectF(R.X * DotsPerMm, R.Y * DotsPerMm, R.Width * DotsPerMm, R.Height * DotsPerMm);
    };
    Painter.save();
    Painter.setRenderHint(QPainter::Antialiasing);
    if (!Caption.isEmpty()) {
        QFont Font = Painter.font();
        // A caption line of 4 mm type, whatever the device's resolution.
        Font.setPixelSize(std::max(1, static_cast<int>(std::lround(4 * DotsPerMm))));
        Painter.setFont(Font);
        Painter.setPen(Qt::black);
        Painter.drawText(Dots(L.Caption), Qt::AlignLeft | Qt::AlignVCenter, Caption);
    }
    Renderer.render(&Painter, Dots(L.Picture));
    Painter.restore();
    return true;
}

} // namespace kalvex
