#include "app/uPrint.h"

#include "document/uDocument.h"

#include <QByteArray>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSvgRenderer>

namespace kalvex {

bool PrintPicture(const std::vector<std::uint8_t>& Svg, TPictureSize Size, QPrinter& Printer) {
    QSvgRenderer Renderer(
        QByteArray(reinterpret_cast<const char*>(Svg.data()), static_cast<qsizetype>(Svg.size())));
    if (!Renderer.isValid() || Size.Width <= 0 || Size.Height <= 0)
        return false;
    QPainter P(&Printer);
    if (!P.isActive())
        return false;
    const QRectF Page = Printer.pageLayout().paintRectPixels(Printer.resolution());
    const double K = std::min(Page.width() / Size.Width, Page.height() / Size.Height);
    const QSizeF Drawn(Size.Width * K, Size.Height * K);
    // Centred across the page, from its top.
    Renderer.render(&P, QRectF(QPointF((Page.width() - Drawn.width()) / 2, 0), Drawn));
    return true;
}

void ShowPrintPreview(const TDocument& Doc, QWidget* Parent) {
    QPrinter Printer(QPrinter::HighResolution);
    std::vector<std::uint8_t> Svg;
    const TPictureSize Size = Doc.PictureSvg(Svg);
    Printer.setPageOrientation(Size.Width > Size.Height ? QPageLayout::Landscape
                                                        : QPageLayout::Portrait);
    Printer.setDocName(QString::fromStdString(Doc.FileName()));
    QPrintPreviewDialog Preview(&Printer, Parent);
    Preview.setWindowTitle(QStringLiteral("Печать"));
    QObject::connect(&Preview, &QPrintPreviewDialog::paintRequested, &Preview,
                     [&](QPrinter* To) { PrintPicture(Svg, Size, *To); });
    Preview.exec();
}

} // namespace kalvex
