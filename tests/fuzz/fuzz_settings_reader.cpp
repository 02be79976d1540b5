// libFuzzer entry: the settings file (kalvex.ini, which users may edit by hand) on
// arbitrary bytes. Whatever it holds, reading must not crash, and what the program
// writes must read back.
#include "settings/uSettings.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kalvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TIniFile Ini;
    Ini.Parse(std::string(reinterpret_cast<const char*>(Data), Size));
    const std::string Text = Ini.Text();
    TIniFile Again;
    Again.Parse(Text);
    if (Again.Text() != Text)
        std::abort();
    for (const char* Key : {"edgewidth", "edgecolor", "axesstyle", "axescolor"}) {
        if (const auto Value = Ini.Read("Drawing", Key)) {
            (void)StringToInt(*Value);
            if (const auto Color = StringToColor(*Value))
                if (StringToColor(ColorToString(*Color)) != Color)
                    std::abort();
        }
    }
    Ini.Write("Drawing", "edgewidth", "3");
    if (Ini.Read("Drawing", "edgewidth") != "3")
        std::abort();
    return 0;
}
