// Pictures on paper: the sheet turned as the picture is, the picture fitted inside the
// margins below its caption, and a PNG resolution chosen by pixels.
#include "base/uKalvexError.h"
#include "canvas/uPageLayout.h"

#include <gtest/gtest.h>

namespace kalvex {
namespace {

TEST(PageLayoutTest, SheetTurnsAsThePictureIs) {
    const TPaperMm A4 = PaperMm(TPaperKind::A4, {});
    EXPECT_EQ(A4.Width, 210);
    EXPECT_EQ(A4.Height, 297);
    const TPaperMm Wide = OrientPaper(A4, TPaperOrientation::Auto, {800, 500});
    EXPECT_EQ(Wide.Width, 297);
    const TPaperMm Tall = OrientPaper(A4, TPaperOrientation::Auto, {500, 800});
    EXPECT_EQ(Tall.Width, 210);
    // The user's choice wins over the picture's shape.
    EXPECT_EQ(OrientPaper(A4, TPaperOrientation::Portrait, {800, 500}).Width, 210);
    EXPECT_EQ(OrientPaper(PaperMm(TPaperKind::A3, {}), TPaperOrientation::Landscape, {1, 2}).Width,
              420);
    // Its own sheet is the picture at 96 per inch.
    EXPECT_NEAR(PaperMm(TPaperKind::Picture, {960, 480}).Width, 254, 1e-9);
}

TEST(PageLayoutTest, PictureFillsTheSheetInsideTheMarginsBelowItsCaption) {
    // 2:1 on landscape A4: the width is the limit, the picture centred in the height.
    const TPageLayout L = LayoutPage({800, 400}, {297, 210}, true);
    EXPECT_EQ(L.Caption.X, PageMargin);
    EXPECT_EQ(L.Caption.Y, PageMargin);
    EXPECT_EQ(L.Caption.Height, CaptionHeight);
    EXPECT_NEAR(L.Picture.X, PageMargin, 1e-9);
    EXPECT_NEAR(L.Picture.Width, 297 - 2 * PageMargin, 1e-9);
    EXPECT_NEAR(L.Picture.Width / L.Picture.Height, 2, 1e-9);
    const double Top = PageMargin + CaptionHeight + CaptionSpacing;
    EXPECT_NEAR(L.Picture.Y - Top, 210 - PageMargin - (L.Picture.Y + L.Picture.Height), 1e-9);
    EXPECT_GE(L.Picture.Y, Top);

    // A tall picture is limited by the height; without a caption it starts at the margin.
    const TPageLayout T = LayoutPage({100, 1000}, {210, 297}, false);
    EXPECT_EQ(T.Caption.Height, 0);
    EXPECT_NEAR(T.Picture.Y, PageMargin, 1e-9);
    EXPECT_NEAR(T.Picture.Height, 297 - 2 * PageMargin, 1e-9);
    EXPECT_NEAR(T.Picture.X + T.Picture.Width / 2, 105, 1e-9);

    EXPECT_EQ(LayoutPage({0, 10}, {210, 297}, false).Picture.Width, 0);
}

TEST(PageLayoutTest, PixelsGiveTheResolutionThatMakesThem) {
    for (const int Width : {1000, 777, 2049, 333})
        EXPECT_EQ(RasterSize({613, 401}, DpiForPixels(613, Width)).Width, Width) << Width;
    EXPECT_EQ(RasterSize({613, 401}, DpiForPixels(401, 1203)).Height, 1203);
    EXPECT_EQ(CheckedPngSize({100, 50}, 192.0).Width, 200);
    auto Refusal = [](std::optional<double> Dpi) {
        try {
            CheckedPngSize({100, 50}, Dpi);
        } catch (const TRefusal& E) {
            return std::string(E.what());
        }
        return std::string();
    };
    EXPECT_EQ(Refusal(std::nullopt), "Ошибка при вводе параметров");
    EXPECT_EQ(Refusal(1201), "Разрешение должно быть от 24 до 1200 точек на дюйм");
    EXPECT_EQ(Refusal(23.9), "Разрешение должно быть от 24 до 1200 точек на дюйм");
}

} // namespace
} // namespace kalvex
