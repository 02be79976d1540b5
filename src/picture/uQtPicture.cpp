#include "picture/uQtPicture.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>

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
                                           TPictureFormat Format, TPictureSize Size, double Dpi) {
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
    // A page the size of the picture at the screen's 96 pixels per inch, drawn as vectors.
    QPdfWriter Writer(&Buffer);
    Writer.setResolution(MetafileDpi);
    Writer.setPageSize(
        QPageSize(QSizeF(Size.Width * 72.0 / MetafileDpi, Size.Height * 72.0 / MetafileDpi),
                  QPageSize::Point));
    Writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    Writer.setCreator(QStringLiteral("Kalvex 2"));
    {
        QPainter P(&Writer);
        if (!P.isActive())
            return {};
        Renderer.render(&P, QRectF(0, 0, Writer.width(), Writer.height()));
    }
    return BytesOf(Out);
}

} // namespace kalvex
