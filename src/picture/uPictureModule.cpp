#include "picture/uPictureModule.h"

#include "picture/uQtPicture.h"

#include <type_traits>

extern "C" [[gnu::visibility("default")]] bool
KalvexConvertPicture(const std::vector<std::uint8_t>& Svg, kalvex::TPictureFormat Format,
                     kalvex::TPictureSize Size, double Dpi, kalvex::TPdfPage Page,
                     std::vector<std::uint8_t>& Out) noexcept {
    try {
        kalvex::EnsurePictureApp();
        Out = kalvex::QtConvertPicture(Svg, Format, Size, Dpi, Page);
        return true;
    } catch (...) {
        Out.clear();
        return false;
    }
}

// The entry's type is the loader's: a change of either breaks the build here.
static_assert(std::is_same_v<decltype(&KalvexConvertPicture), kalvex::TPictureModuleEntry>);
