// The enhanced metafile, through libUEMF.
#include "canvas/uMetafileCommon.h"
#include "geometry/uBinaryIO.h"

#include <uemf.h>
#include <uemf_utf.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace kalvex {

namespace {

using namespace metafile;

// The reference device: 960 pixels = 254 mm, i.e. 96 pixels per inch.
constexpr int DevicePixels = 960;
constexpr int DeviceMillimetres = 254;

U_RECTL Rect(int Left, int Top, int Right, int Bottom) {
    U_RECTL R;
    R.left = Left;
    R.top = Top;
    R.right = Right;
    R.bottom = Bottom;
    return R;
}

struct TFreeDeleter {
    void operator()(void* P) const { std::free(P); }
};
template <class T> using TCPtr = std::unique_ptr<T, TFreeDeleter>;

class TEmfSurface final : public TStateSurface {
public:
    TEmfSurface(int Width, int Height);
    ~TEmfSurface() override;

    void MoveTo(int X, int Y) override { Append(U_EMRMOVETOEX_set(point32_set(X, Y))); }
    void LineTo(int X, int Y) override {
        SyncPen();
        Append(U_EMRLINETO_set(point32_set(X, Y)));
    }
    void Polyline(std::span<const TPixel> Points) override;
    void Polygon(std::span<const TPixel> Points) override;
    void Ellipse(int X1, int Y1, int X2, int Y2) override {
        SyncAll();
        Append(U_EMRELLIPSE_set(Rect(X1, Y1, X2, Y2)));
    }
    void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override {
        SyncPen();
        Append(U_EMRARC_set(Rect(X1, Y1, X2, Y2), point32_set(X3, Y3), point32_set(X4, Y4)));
    }
    void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override {
        SyncAll();
        Append(U_EMRPIE_set(Rect(X1, Y1, X2, Y2), point32_set(X3, Y3), point32_set(X4, Y4)));
    }
    void Rectangle(int X1, int Y1, int X2, int Y2) override {
        SyncAll();
        Append(U_EMRRECTANGLE_set(Rect(X1, Y1, X2, Y2)));
    }
    void TextOut(int X, int Y, const std::string& Text) override;
    std::vector<std::uint8_t> Finish() override;

private:
    void Append(char* Rec);
    void SyncPen();
    void SyncBrush();
    void SyncMode();
    void SyncAll() {
        SyncPen();
        SyncBrush();
    }
    void Replace(std::uint32_t& Current, std::uint32_t New);
    std::vector<U_POINTL> PointsL(std::span<const TPixel> Points, U_RECTL& Bounds) const;
    [[noreturn]] static void Fail();

    TScratchFile Scratch;
    EMFTRACK* Track = nullptr;
    EMFHANDLES* Handles = nullptr;
    std::uint32_t Pen = 0;
    std::uint32_t Brush = 0;
    std::uint32_t Font = 0;
    bool Finished = false;
};

void TEmfSurface::Fail() {
    throw TFileError("Не удалось построить метафайл");
}

TEmfSurface::TEmfSurface(int Width, int Height) {
    if (Width <= 0 || Height <= 0)
        Fail();
    if (emf_start(Scratch.Name().c_str(), 65536, 65536, &Track) != 0) {
        Track = nullptr;
        Fail();
    }
    if (emf_htable_create(64, 64, &Handles) != 0) {
        Handles = nullptr;
        Fail();
    }
    // Bounds in pixels (inclusive), frame in hundredths of a millimetre.
    const U_RECTL Bounds = Rect(0, 0, Width - 1, Height - 1);
    const auto Hundredths = [](int Pixels) {
        return static_cast<int>(std::lround(Pixels * 2540.0 / MetafileDpi));
    };
    const U_RECTL Frame = Rect(0, 0, Hundredths(Width) - 1, Hundredths(Height) - 1);
    TCPtr<uint16_t> Description(U_Utf8ToUtf16le("Kalvex 2\1picture\1", 0, nullptr));
    if (!Description)
        Fail();
    const auto DescLength = static_cast<U_CBSTR>(2 + wchar16len(Description.get()));
    U_Utf16leEdit(Description.get(), 1, 0);
    Append(U_EMRHEADER_set(Bounds, Frame, nullptr, DescLength, Description.get(),
                           sizel_set(DevicePixels, DevicePixels),
                           sizel_set(DeviceMillimetres, DeviceMillimetres), 0));
    Append(U_EMRSETMAPMODE_set(U_MM_TEXT));
    Append(U_EMRSETBKMODE_set(U_TRANSPARENT));

    TCPtr<uint16_t> Face(U_Utf8ToUtf16le("Arial", 0, nullptr));
    TCPtr<uint16_t> Style(U_Utf8ToUtf16le("Normal", 0, nullptr));
    if (!Face || !Style)
        Fail();
    const U_LOGFONT Lf = logfont_set(-FontHeight, 0, 0, 0, U_FW_NORMAL, 0, 0, 0, U_RUSSIAN_CHARSET,
                                     U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY,
                                     U_DEFAULT_PITCH | U_FF_SWISS, Face.get());
    const U_PANOSE NoFit = panose_set(1, 1, 1, 1, 1, 1, 1, 1, 1, 1);
    U_LOGFONT_PANOSE Elfw = logfont_panose_set(Lf, Face.get(), Style.get(), 0, NoFit);
    Append(extcreatefontindirectw_set(&Font, Handles, nullptr, reinterpret_cast<char*>(&Elfw)));
    Append(selectobject_set(Font, Handles));
}

TEmfSurface::~TEmfSurface() {
    if (Track != nullptr)
        emf_free(&Track);
    if (Handles != nullptr)
        emf_htable_free(&Handles);
}

void TEmfSurface::Append(char* Rec) {
    if (Finished || Rec == nullptr)
        Fail();
    if (emf_append(reinterpret_cast<U_ENHMETARECORD*>(Rec), Track, U_REC_FREE) != 0)
        Fail();
}

void TEmfSurface::Replace(std::uint32_t& Current, std::uint32_t New) {
    Append(selectobject_set(New, Handles));
    if (Current != 0)
        Append(deleteobject_set(&Current, Handles));
    Current = New;
}

void TEmfSurface::SyncMode() {
    if (!ModeDirty)
        return;
    Append(U_EMRSETROP2_set(PenMode == TPenMode::pmNotXor ? U_R2_NOTXORPEN : U_R2_COPYPEN));
    ModeDirty = false;
}

void TEmfSurface::SyncPen() {
    SyncMode();
    if (!PenDirty || !TakePen())
        return;
    std::uint32_t New = 0;
    const U_LOGPEN P = logpen_set(PenStyleCode(PenStyle), point32_set(PenWidth, 0),
                                  colorref3_set(Red(PenColor), Green(PenColor), Blue(PenColor)));
    Append(createpen_set(&New, Handles, P));
    Replace(Pen, New);
}

void TEmfSurface::SyncBrush() {
    if (!BrushDirty || !TakeBrush())
        return;
    std::uint32_t New = 0;
    const U_LOGBRUSH B =
        logbrush_set(BrushStyle == TBrushStyle::bsClear ? U_BS_NULL : U_BS_SOLID,
                     colorref3_set(Red(BrushColor), Green(BrushColor), Blue(BrushColor)), 0);
    Append(createbrushindirect_set(&New, Handles, B));
    Replace(Brush, New);
}

std::vector<U_POINTL> TEmfSurface::PointsL(std::span<const TPixel> Points, U_RECTL& Bounds) const {
    std::vector<U_POINTL> Out;
    Out.reserve(Points.size());
    Bounds = Rect(Points[0].X, Points[0].Y, Points[0].X, Points[0].Y);
    for (const TPixel& P : Points) {
        Out.push_back(point32_set(P.X, P.Y));
        Bounds.left = std::min(Bounds.left, P.X);
        Bounds.top = std::min(Bounds.top, P.Y);
        Bounds.right = std::max(Bounds.right, P.X);
        Bounds.bottom = std::max(Bounds.bottom, P.Y);
    }
    return Out;
}

void TEmfSurface::Polyline(std::span<const TPixel> Points) {
    if (Points.size() < 2)
        return;
    SyncPen();
    U_RECTL Bounds;
    const auto P = PointsL(Points, Bounds);
    Append(U_EMRPOLYLINE_set(Bounds, static_cast<std::uint32_t>(P.size()), P.data()));
}

void TEmfSurface::Polygon(std::span<const TPixel> Points) {
    if (Points.size() < 2)
        return;
    SyncAll();
    U_RECTL Bounds;
    const auto P = PointsL(Points, Bounds);
    Append(U_EMRPOLYGON_set(Bounds, static_cast<std::uint32_t>(P.size()), P.data()));
}

void TEmfSurface::TextOut(int X, int Y, const std::string& Text) {
    SyncMode();
    if (FontColorDirty) {
        Append(U_EMRSETTEXTCOLOR_set(
            colorref3_set(Red(FontColor), Green(FontColor), Blue(FontColor))));
        FontColorDirty = false;
    }
    if (Text.empty())
        return;
    size_t Length = 0;
    TCPtr<uint16_t> Text16(U_Utf8ToUtf16le(Text.c_str(), 0, &Length));
    if (!Text16)
        return; // not valid UTF-8: nothing to show
    Length = wchar16len(Text16.get());
    if (Length == 0)
        return;
    TCPtr<uint32_t> Dx(dx_set(-FontHeight, U_FW_NORMAL, static_cast<uint32_t>(Length)));
    if (!Dx)
        Fail();
    TCPtr<char> EmrText(emrtext_set(point32_set(X, Y), static_cast<U_NUM_STR>(Length), 2,
                                    Text16.get(), U_ETO_NONE, Rect(0, 0, -1, -1), Dx.get()));
    if (!EmrText)
        Fail();
    Append(U_EMREXTTEXTOUTW_set(Rect(0, 0, -1, -1), U_GM_COMPATIBLE, 1.0f, 1.0f,
                                reinterpret_cast<PU_EMRTEXT>(EmrText.get())));
}

std::vector<std::uint8_t> TEmfSurface::Finish() {
    if (Finished)
        Fail();
    Append(U_EMREOF_set(0, nullptr, Track));
    Finished = true;
    const int Status = emf_finish(Track, Handles);
    emf_free(&Track);
    Track = nullptr;
    if (Status != 0)
        Fail();
    return ReadWholeFile(Scratch.Name());
}

} // namespace

std::unique_ptr<TMetafileSurface> CreateEmfSurface(int Width, int Height) {
    return std::make_unique<TEmfSurface>(Width, Height);
}

} // namespace kalvex
