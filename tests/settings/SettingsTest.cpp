// The settings file kalvex.ini: creation, reading into the canvas, writing back.
#include "TestSupport.h"
#include "canvas/uPaintEdges.h"
#include "geometry/uBinaryIO.h"
#include "settings/uSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kalvex::test {
namespace {

std::string ReadText(const std::string& Name) {
    const auto B = ReadWholeFile(Name);
    return std::string(B.begin(), B.end());
}

void WriteText(const std::string& Name, const std::string& Text) {
    std::ofstream(Name, std::ios::binary) << Text;
}

class SettingsTest : public ::testing::Test {
protected:
    std::string Ini() const { return Dir.File("kalvex.ini"); }
    // Canvas values that differ from every default, to see what reading changes.
    void Mark() {
        Canvas.SetEdgeWidth(9);
        Canvas.EdgeColor = 0x010203;
        Canvas.AxesStyle = 2;
        Canvas.AxesColor = 0x040506;
    }
    void Read(const std::string& Text) {
        WriteText(Ini(), Text);
        ReadSettings(Ini(), Canvas);
    }

    TTempDir Dir;
    TEdgesCanvas Canvas;
};

TEST_F(SettingsTest, FirstStartCreatesTheFiveLines) {
    Mark();
    ReadSettings(Ini(), Canvas);
    EXPECT_EQ(ReadText(Ini()), "[Drawing]\nedgewidth=3\nedgecolor=$00C0C0C0\naxesstyle=1\n"
                               "axescolor=$0000FF00\n");
    EXPECT_EQ(Canvas.EdgeWidth(), 3);
    EXPECT_EQ(Canvas.EdgeColor, 0xC0C0C0u);
    EXPECT_EQ(Canvas.AxesStyle, 1);
    EXPECT_EQ(Canvas.AxesColor, 0x00FF00u);
}

TEST_F(SettingsTest, FirstStartCreatesTheUsersFolder) {
    const std::string Name = Dir.File("config/kalvex/kalvex.ini");
    ReadSettings(Name, Canvas);
    EXPECT_EQ(ReadText(Name), DefaultSettingsText());
}

TEST_F(SettingsTest, HugeOrUnreadableFileLeavesTheDefaults) {
    // Blank lines far beyond any settings file: refused without being read whole.
    WriteText(Ini(), std::string(MaxSettingsFileSize + 1, '\n') + "[Drawing]\nedgewidth=9\n");
    try {
        ReadSettings(Ini(), Canvas);
        ADD_FAILURE();
    } catch (const TFileError& E) {
        EXPECT_NE(std::string(E.what()).find("Настройки рисования взяты по умолчанию"),
                  std::string::npos)
            << E.what();
    }
    EXPECT_EQ(Canvas.EdgeWidth(), TEdgesCanvas().EdgeWidth());
    // A folder in its place is told in Russian.
    std::filesystem::remove(Ini());
    std::filesystem::create_directory(Ini());
    try {
        ReadSettings(Ini(), Canvas);
        ADD_FAILURE();
    } catch (const TFileError& E) {
        EXPECT_NE(std::string(E.what()).find("это папка"), std::string::npos) << E.what();
    }
}

TEST_F(SettingsTest, WidthIsClampedWhenApplied) {
    Read("[Drawing]\nedgewidth=40\n");
    EXPECT_EQ(Canvas.EdgeWidth(), 15);
    Read("[Drawing]\nedgewidth=1\n");
    EXPECT_EQ(Canvas.EdgeWidth(), 2);
}

TEST_F(SettingsTest, MissingKeysGiveTheirDefaults) {
    Mark();
    Read("[Drawing]\naxesstyle=5\n");
    EXPECT_EQ(Canvas.EdgeWidth(), 3);
    EXPECT_EQ(Canvas.EdgeColor, 0xC0C0C0u);
    EXPECT_EQ(Canvas.AxesStyle, 5);
    EXPECT_EQ(Canvas.AxesColor, 0x00FF00u);
}

TEST_F(SettingsTest, ReadingStopsAtTheFirstBadValue) {
    Mark();
    Read("[Drawing]\nedgewidth=wide\nedgecolor=clRed\naxesstyle=0\naxescolor=clBlue\n");
    EXPECT_EQ(Canvas.EdgeWidth(), 9);
    EXPECT_EQ(Canvas.EdgeColor, 0x010203u);
    EXPECT_EQ(Canvas.AxesStyle, 2);
    EXPECT_EQ(Canvas.AxesColor, 0x040506u);

    Mark();
    Read("[Drawing]\nedgewidth=4\nedgecolor=clRed\naxesstyle=dashed\naxescolor=clBlue\n");
    EXPECT_EQ(Canvas.EdgeWidth(), 4);
    EXPECT_EQ(Canvas.EdgeColor, 0x0000FFu);
    EXPECT_EQ(Canvas.AxesStyle, 2);
    EXPECT_EQ(Canvas.AxesColor, 0x040506u);

    Mark();
    Read("[Drawing]\nedgewidth=4\nedgecolor=clRed\naxesstyle=0\naxescolor=$1000000\n");
    EXPECT_EQ(Canvas.AxesStyle, 0);
    EXPECT_EQ(Canvas.AxesColor, 0x040506u); // not a 0x00BBGGRR colour
}

TEST_F(SettingsTest, ColoursByNameHexOrDecimal) {
    Read("[Drawing]\nedgecolor=clRed\naxescolor=$000000FF\n");
    EXPECT_EQ(Canvas.EdgeColor, 0x0000FFu);
    EXPECT_EQ(Canvas.AxesColor, 0x0000FFu);
    Read("[drawing]\nEdgeColor = 255\nAXESCOLOR=clskyblue\n");
    EXPECT_EQ(Canvas.EdgeColor, 0x0000FFu);
    EXPECT_EQ(Canvas.AxesColor, 0xF0CAA6u);

    EXPECT_EQ(StringToColor("0x00FF00"), 0x00FF00u);
    EXPECT_EQ(StringToColor("  clWhite "), 0xFFFFFFu);
    EXPECT_FALSE(StringToColor("").has_value());
    EXPECT_FALSE(StringToColor("$").has_value());
    EXPECT_FALSE(StringToColor("-1").has_value());
    EXPECT_FALSE(StringToColor("clPink").has_value());
    EXPECT_FALSE(StringToColor("12abc").has_value());
    EXPECT_EQ(StringToInt("-7"), -7);
    EXPECT_EQ(StringToInt("$10"), 16);
    EXPECT_FALSE(StringToInt("2147483648").has_value());
    EXPECT_FALSE(StringToInt("3.5").has_value());
}

TEST_F(SettingsTest, NamedColoursAreWrittenByName) {
    EXPECT_EQ(ColorToString(0x0000FF), "clRed");
    EXPECT_EQ(ColorToString(0xC0C0C0), "clSilver");
    EXPECT_EQ(ColorToString(0x00FF00), "clLime");
    EXPECT_EQ(ColorToString(0xA4A0A0), "clMedGray");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(ColorToString(0xABCDEF), "$00ABCDEF");
    // Every name reads back as its value and is written back as itself.
    for (const char* Name :
         {"clBlack", "clMaroon", "clGreen",      "clOlive",   "clNavy",   "clPurple", "clTeal",
          "clGray",  "clSilver", "clRed",        "clLime",    "clYellow", "clBlue",   "clFuchsia",
          "clAqua",  "clWhite",  "clMoneyGreen", "clSkyBlue", "clCream",  "clMedGray"}) {
        const auto C = StringToColor(Name);
        ASSERT_TRUE(C.has_value()) << Name;
        EXPECT_EQ(ColorToString(*C), Name);
    }
}

TEST_F(SettingsTest, WriteGivesNamesAndDollarHex) {
    ReadSettings(Ini(), Canvas);
    ReadSettings(Ini(), Canvas);
    WriteSettings(Ini(), Canvas);
    EXPECT_EQ(ReadText(Ini()),
              "[Drawing]\nedgewidth=3\nedgecolor=clSilver\naxesstyle=1\naxescolor=clLime\n");

    Read("[Drawing]\nedgecolor=$000000FF\n");
    Canvas.AxesColor = 0x123456;
    Canvas.SetEdgeWidth(20);
    Canvas.AxesStyle = 5;
    WriteSettings(Ini(), Canvas);
    EXPECT_EQ(ReadText(Ini()), "[Drawing]\nedgecolor=clRed\nedgewidth=15\naxesstyle=5\n"
                               "axescolor=$00123456\n");
}

TEST_F(SettingsTest, WriteLeavesOtherSectionsAndKeysAlone) {
    WriteText(Ini(), "; kept\r\n[Window]\r\nleft=10\r\n\r\n[Drawing]\r\nedgewidth=4\r\n"
                     "extra=yes\r\n\r\n[Other]\r\nedgewidth=99\r\n");
    ReadSettings(Ini(), Canvas);
    EXPECT_EQ(Canvas.EdgeWidth(), 4);
    Canvas.EdgeColor = 0x0000FF;
    WriteSettings(Ini(), Canvas);
    EXPECT_EQ(ReadText(Ini()), "; kept\r\n[Window]\r\nleft=10\r\n\r\n[Drawing]\r\nedgewidth=4\r\n"
                               "extra=yes\r\nedgecolor=clRed\r\naxesstyle=1\r\naxescolor=clLime\r\n"
                               "\r\n[Other]\r\nedgewidth=99\r\n");
}

TEST_F(SettingsTest, WriteWithoutTheSectionAppendsIt) {
    WriteText(Ini(), "[Window]\nleft=10\n");
    WriteSettings(Ini(), Canvas);
    EXPECT_EQ(ReadText(Ini()), "[Window]\nleft=10\n\n[Drawing]\nedgewidth=3\n"
                               "edgecolor=clSilver\naxesstyle=1\naxescolor=clLime\n");
}

TEST_F(SettingsTest, UnwritableFileIsReported) {
    WriteText(Dir.File("dir-is-a-file"), "");
    EXPECT_THROW(ReadSettings(Dir.File("dir-is-a-file/x/kalvex.ini"), Canvas), TFileError)
        << "a folder that cannot be made";
    EXPECT_THROW(WriteSettings(Dir.File("dir-is-a-file/kalvex.ini"), Canvas), TFileError);
}

TEST(SettingsPathTest, ProgramFolderWhenWritableElseTheUsersFolder) {
    TTempDir Dir;
    EXPECT_EQ(SettingsFilePath(Dir.Path, "/xdg", "/home/u"), Dir.Path / "kalvex.ini");
    const std::filesystem::path Missing = Dir.Path / "not-there";
    EXPECT_EQ(SettingsFilePath(Missing, "/xdg", "/home/u"),
              std::filesystem::path("/xdg/kalvex/kalvex.ini"));
    EXPECT_EQ(SettingsFilePath(Missing, "", "/home/u"),
              std::filesystem::path("/home/u/.config/kalvex/kalvex.ini"));
    // A relative XDG_CONFIG_HOME does not count.
    EXPECT_EQ(SettingsFilePath(Missing, "rel", "/home/u"),
              std::filesystem::path("/home/u/.config/kalvex/kalvex.ini"));
}

TEST(IniFileTest, ReadsCaseInsensitivelyAndTrims) {
    TIniFile Ini;
    Ini.Parse("[A]\nkey = value with spaces \n;key=comment\n[B]\nKEY=b\n");
    EXPECT_EQ(Ini.Read("a", "KEY"), "value with spaces");
    EXPECT_EQ(Ini.Read("B", "key"), "b");
    EXPECT_FALSE(Ini.Read("C", "key").has_value());
    EXPECT_FALSE(Ini.Read("A", "other").has_value());

    // Stray carriage returns of a hand-edited file are line ends, not part of a value,
    // and are not written back.
    Ini.Parse("[A]\r\nkey=1\r\r\r\nother=2\n");
    EXPECT_EQ(Ini.Read("A", "key"), "1");
    EXPECT_EQ(Ini.Text(), "[A]\r\nkey=1\r\nother=2\r\n");
}

} // namespace
} // namespace kalvex::test
