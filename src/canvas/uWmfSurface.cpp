// The classic Windows Metafile with the placeable header, through libUEMF.
#include "canvas/uMetafileCommon.h"
#include "geometry/uBinaryIO.h"

#include <uwmf.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kalvex {

namespace {

using namespace metafile;

constexpr int MaxCoord = 32767;
constexpr int MinCoord = -32768;

std::int16_t Clamp16(int V) {
    return static_cast<std::int16_t>(std::clamp(V, MinCoord, MaxCoord));
}

U_POINT16 Pt(int X, int Y) {
    return point16_set(Clamp16(X), Clamp16(Y));
}

U_RECT16 Box(int X1, int Y1, int X2, int Y2) {
    U_RECT16 R;
    R.left = Clamp16(X1);
    R.top = Clamp16(Y1);
    R.right = Clamp16(X2);
    R.bottom = Clamp16(Y2);
    return R;
}

class TWmfSurface final : public TStateSurface {
public:
    TWmfSurface(int Width, int Height);
    ~TWmfSurface() override;

    void MoveTo(int X, int Y) override { Append(U_WMRMOVETO_set(Pt(X, Y))); }
    void LineTo(int X, int Y) override {
        SyncPen();
        Append(U_WMRLINETO_set(Pt(X, Y)));
    }
    void Polyline(std::span<const TPixel> Points) override;
    void Polygon(std::span<const TPixel> Points) override;
    void Ellipse(int X1, int Y1, int X2, int Y2) override {
        SyncAll();
        Append(U_WMRELLIPSE_set(Box(X1, Y1, X2, Y2)));
    }
    void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override {
        SyncPen();
        Append(U_WMRARC_set(Pt(X3, Y3), Pt(X4, Y4), Box(X1, Y1, X2, Y2)));
    }
    void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override {
        SyncAll();
        Append(U_WMRPIE_set(Pt(X3, Y3), Pt(X4, Y4), Box(X1, Y1, X2, Y2)));
    }
    void Rectangle(int X1, int Y1, int X2, int Y2) override {
        SyncAll();
        Append(U_WMRRECTANGLE_set(Box(X1, Y1, X2, Y2)));
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
    std::vector<U_POINT16> Points16(std::span<const TPixel> Points) const;
    void Replace(std::uint32_t& Current, std::uint32_t New);
    [[noreturn]] static void Fail();
    static void FixHeader(std::vector<std::uint8_t>& Bytes);

    TScratchFile Scratch;
    WMFTRACK* Track = nullptr;
    WMFHANDLES* Handles = nullptr;
    std::uint32_t Pen = 0;
    std::uint32_t Brush = 0;
    std::uint32_t Font = 0;
    bool Finished = false;
};

void TWmfSurface::Fail() {
    throw TFileError("Не удалось построить метафайл");
}

TWmfSurface::TWmfSurface(int Width, int Height) {
    if (Width <= 0 || Height <= 0 || Width > MaxCoord || Height > MaxCoord)
        throw TKalvexError("Рисунок слишком велик для формата WMF");
    if (wmf_start(Scratch.Name().c_str(), 65536, 65536, &Track) != 0) {
        Track = nullptr;
        Fail();
    }
    if (wmf_htable_create(64, 64, &Handles) != 0) {
        Handles = nullptr;
        Fail();
    }
    // The placeable header's box is the picture in pixels at the screen's resolution.
    U_PAIRF* Size = U_PAIRF_set(static_cast<float>(Width) / MetafileDpi,
                                static_cast<float>(Height) / MetafileDpi);
    if (Size == nullptr)
        Fail();
    char* Header = U_WMRHEADER_set(Size, MetafileDpi);
    std::free(Size);
    if (Header == nullptr ||
        wmf_header_append(reinterpret_cast<U_METARECORD*>(Header), Track, U_REC_FREE) != 0)
        Fail();
    Append(U_WMRSETWINDOWEXT_set(
        point16_set(static_cast<std::int16_t>(Width), static_cast<std::int16_t>(Height))));
    Append(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
    Append(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    Append(U_WMRSETBKMODE_set(U_TRANSPARENT));

    char FaceName[] = "Arial";
    U_FONT* Lf = U_FONT_set(-FontHeight, 0, 0, 0, U_FW_NORMAL, 0, 0, 0, U_RUSSIAN_CHARSET,
                            U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY,
                            U_DEFAULT_PITCH | U_FF_SWISS, FaceName);
    if (Lf == nullptr)
        Fail();
    char* Rec = wcreatefontindirect_set(&Font, Handles, Lf);
    std::free(Lf);
    Append(Rec);
    Append(wselectobject_set(Font, Handles));
}

TWmfSurface::~TWmfSurface() {
    if (Track != nullptr)
        wmf_free(&Track);
    if (Handles != nullptr)
        wmf_htable_free(&Handles);
}

void TWmfSurface::Append(char* Rec) {
    if (Finished || Rec == nullptr)
        Fail();
    if (wmf_append(reinterpret_cast<U_METARECORD*>(Rec), Track, U_REC_FREE) != 0)
        Fail();
}

void TWmfSurface::Replace(std::uint32_t& Current, std::uint32_t New) {
    Append(wselectobject_set(New, Handles));
    if (Current != 0)
        Append(wdeleteobject_set(&Current, Handles));
    Current = New;
}

void TWmfSurface::SyncMode() {
    if (!ModeDirty)
        return;
    Append(U_WMRSETROP2_set(PenMode == TPenMode::pmNotXor ? U_R2_NOTXORPEN : U_R2_COPYPEN));
    ModeDirty = false;
}

void TWmfSurface::SyncPen() {
    SyncMode();
    if (!PenDirty || !TakePen())
        return;
    std::uint32_t New = 0;
    const U_PEN P = U_PEN_set(PenStyleCode(PenStyle), static_cast<std::uint16_t>(PenWidth),
                              colorref3_set(Red(PenColor), Green(PenColor), Blue(PenColor)));
    Append(wcreatepenindirect_set(&New, Handles, P));
    Replace(Pen, New);
}

void TWmfSurface::SyncBrush() {
    if (!BrushDirty || !TakeBrush())
        return;
    std::uint32_t New = 0;
    const U_WLOGBRUSH B =
        U_WLOGBRUSH_set(BrushStyle == TBrushStyle::bsClear ? U_BS_NULL : U_BS_SOLID,
                        colorref3_set(Red(BrushColor), Green(BrushColor), Blue(BrushColor)), 0);
    Append(wcreatebrushindirect_set(&New, Handles, B));
    Replace(Brush, New);
}

std::vector<U_POINT16> TWmfSurface::Points16(std::span<const TPixel> Points) const {
    std::vector<U_POINT16> Out;
    Out.reserve(Points.size());
    for (const TPixel& P : Points)
        Out.push_back(Pt(P.X, P.Y));
    return Out;
}

void TWmfSurface::Polyline(std::span<const TPixel> Points) {
    if (Points.size() < 2)
        return;
    if (Points.size() > 32767)
        Fail();
    SyncPen();
    const auto P = Points16(Points);
    Append(U_WMRPOLYLINE_set(static_cast<std::uint16_t>(P.size()), P.data()));
}

void TWmfSurface::Polygon(std::span<const TPixel> Points) {
    if (Points.size() < 2)
        return;
    if (Points.size() > 32767)
        Fail();
    SyncAll();
    const auto P = Points16(Points);
    Append(U_WMRPOLYGON_set(static_cast<std::uint16_t>(P.size()), P.data()));
}

void TWmfSurface::TextOut(int X, int Y, const std::string& Text) {
    SyncMode();
    if (FontColorDirty) {
        Append(U_WMRSETTEXTCOLOR_set(
            colorref3_set(Red(FontColor), Green(FontColor), Blue(FontColor))));
        FontColorDirty = false;
    }
    std::string Bytes = Utf8ToCp1251(Text);
    if (Bytes.empty() || Bytes.size() > 32767)
        return;
    std::vector<char> Buf(Bytes.begin(), Bytes.end());
    Buf.push_back('\0');
    Append(U_WMRTEXTOUT_set(Pt(X, Y), Buf.data()));
}

std::vector<std::uint8_t> TWmfSurface::Finish() {
    if (Finished)
        Fail();
    Append(U_WMREOF_set());
    Finished = true;
    const int Status = wmf_finish(Track);
    wmf_free(&Track);
    Track = nullptr;
    if (Status != 0)
        Fail();
    std::vector<std::uint8_t> Bytes = ReadWholeFile(Scratch.Name());
    FixHeader(Bytes);
    return Bytes;
}

// libUEMF counts the placeable header into the metafile's size and overstates the
// largest record; Windows counts from the metafile header on. Both are set here from
// the records themselves.
void TWmfSurface::FixHeader(std::vector<std::uint8_t>& Bytes) {
    constexpr std::size_t Placeable = 22;
    constexpr std::size_t HeaderBytes = 18;
    const auto U32At = [&](std::size_t At) {
        return static_cast<std::uint32_t>(Bytes[At]) |
               (static_cast<std::uint32_t>(Bytes[At + 1]) << 8) |
               (static_cast<std::uint32_t>(Bytes[At + 2]) << 16) |
               (static_cast<std::uint32_t>(Bytes[At + 3]) << 24);
    };
    const auto SetU32 = [&](std::size_t At, std::uint32_t V) {
        for (int I = 0; I < 4; ++I)
            Bytes[At + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(V >> (8 * I));
    };
    if (Bytes.size() < Placeable + HeaderBytes || (Bytes.size() - Placeable) % 2 != 0)
        Fail();
    std::uint32_t Largest = 0;
    std::size_t At = Placeable + HeaderBytes;
    while (At + 6 <= Bytes.size()) {
        const std::uint32_t Words = U32At(At);
        if (Words < 3 || Words > (Bytes.size() - At) / 2)
            Fail();
        Largest = std::max(Largest, Words);
        At += static_cast<std::size_t>(Words) * 2;
    }
    if (At != Bytes.size())
        Fail();
    SetU32(Placeable + 6, static_cast<std::uint32_t>((Bytes.size() - Placeable) / 2));
    SetU32(Placeable + 12, Largest);
}

} // namespace

std::unique_ptr<TMetafileSurface> CreateWmfSurface(int Width, int Height) {
    return std::make_unique<TWmfSurface>(Width, Height);
}

} // namespace kalvex
