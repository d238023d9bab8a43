// The text form of a skin's records: what it writes for awkward values, that
// it reads back to the same bytes, and how it refuses a faulty description.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "hand_bytes.h"
#include "skin/format/skin_builder.h"
#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"

namespace tf::skin {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DorDescription() { return ReadText(std::string(TF_SKIN_SOURCES_DIR) + "/DOR.description.txt"); }

// Replaces the whole line of member `name` (it must be there).
std::string WithLine(std::string text, const std::string& name, const std::string& line) {
    const std::size_t at = text.find("\n" + name + " ");
    EXPECT_NE(at, std::string::npos) << name;
    const std::size_t end = text.find('\n', at + 1);
    return text.replace(at + 1, end - at - 1, line);
}

void Parsed(const std::string& text, SkinSignatureRecord& signature, SkinParameters& parameters) {
    std::string error;
    EXPECT_TRUE(ParseSkinDescription(text, signature, parameters, error)) << error;
}

std::string Refusal(const std::string& text) {
    SkinSignatureRecord signature;
    SkinParameters parameters;
    parameters.CaptionTextLeft = 77;
    std::string error;
    EXPECT_FALSE(ParseSkinDescription(text, signature, parameters, error));
    EXPECT_EQ(parameters.CaptionTextLeft, 77) << "changed by a refused description";
    return error;
}

TEST(SkinDescription, AwkwardValuesAreWrittenPlainlyAndReadBackExactly) {
    SkinSignatureRecord signature;
    SkinParameters p;
    Parsed(DorDescription(), signature, p);
    signature.flags = {65535, 0, 7};
    p.CaptionTextColorActive = 0x00112233;     // written red first
    p.ClientColor = 0x01020304;                // not a plain colour
    p.MenuBackColor = kNoColour;
    p.Reserved30 = 0xFFFFFFFF;
    p.CaptionFont.pitchAndFamily = 255;
    p.IconPiece = {-5, 2147483647, -2147483647 - 1, 0};
    const char text1[] = "a\"b\\c\0\xFF" "d  ";  // quote, backslash, NUL, high byte, trailing spaces
    std::copy(text1, text1 + sizeof text1 - 1, p.SkinText1.begin());
    std::fill(p.SkinText1.begin() + sizeof text1 - 1, p.SkinText1.end(), ' ');

    const std::string text = DescribeSkin(signature, p);
    EXPECT_NE(text.find("\nCaptionTextColorActive #332211\n"), std::string::npos);
    EXPECT_NE(text.find("\nClientColor 0x01020304\n"), std::string::npos);
    EXPECT_NE(text.find("\nMenuBackColor none\n"), std::string::npos);
    EXPECT_NE(text.find("\nReserved30 4294967295\n"), std::string::npos);
    EXPECT_NE(text.find("\nIconPiece -5 2147483647 -2147483648 0\n"), std::string::npos);
    EXPECT_NE(text.find("\nSkinText1 \"a\\x22b\\x5Cc\\x00\\xFFd\"\n"), std::string::npos);
    EXPECT_EQ(text.rfind("Flag1 65535\n", 0), 0u);

    SkinSignatureRecord signatureBack;
    SkinParameters back;
    Parsed(text, signatureBack, back);
    EXPECT_EQ(DescribeSkin(signatureBack, back), text);
    SkinFile a, b;
    a.signature = signature, a.parameters = p;
    b.signature = signatureBack, b.parameters = back;
    EXPECT_EQ(WriteSkinFile(a), WriteSkinFile(b));
}

TEST(SkinDescription, HandWrittenFormsAreAccepted) {
    std::string text = DorDescription();
    text = WithLine(text, "SkinText2", "  SkinText2   \"\\\"quoted\\\" \\\\ too\"   \r");
    text = WithLine(text, "MenuBackColor", "MenuBackColor\t0xFFFFFFFF");
    SkinSignatureRecord signature;
    SkinParameters p;
    Parsed(text, signature, p);
    EXPECT_EQ(std::string(p.SkinText2.data(), 16), "\"quoted\" \\ too  ");
    EXPECT_EQ(p.MenuBackColor, kNoColour);
}

TEST(SkinDescription, FaultsAreNamedWithTheirLine) {
    const std::string good = DorDescription();
    const std::size_t dropShadowLine = 1 + std::count(good.begin(), good.begin() + good.find("\nDropShadow ") + 1, '\n');
    const std::string line = "line " + std::to_string(dropShadowLine) + ": DropShadow needs ";
    EXPECT_EQ(Refusal(WithLine(good, "DropShadow", "DropShadow 40000")).rfind(line, 0), 0u);
    EXPECT_EQ(Refusal(WithLine(good, "DropShadow", "DropShadow -1 0")).rfind(line, 0), 0u);
    EXPECT_EQ(Refusal(WithLine(good, "DropShadow", "DropShadow 0x10")).rfind(line, 0), 0u);
    EXPECT_EQ(Refusal(WithLine(good, "DropShadow", "DropShadow")).rfind(line, 0), 0u);

    EXPECT_NE(Refusal(WithLine(good, "CaptionFont.Italic", "CaptionFont.Italic 256")).find("from 0 to 255"),
              std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "IconPiece", "IconPiece 1 2 3")).find("four whole numbers"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "IconPiece", "IconPiece 1 2 3 2147483648")).find("IconPiece"),
              std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "MenuTextColor", "MenuTextColor #12345")).find("a colour"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "MenuTextColor", "MenuTextColor red")).find("a colour"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "SkinText1", "SkinText1 Slate")).find("double quotes"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "SkinText1", "SkinText1 \"a\\qb\"")).find("backslash"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "SkinText1", "SkinText1 \"a\\x4\"")).find("backslash"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "SkinText1", "SkinText1 \"a\"b\"")).find("quote"), std::string::npos);
    EXPECT_NE(Refusal(WithLine(good, "SkinText1", "SkinText1 \"" + std::string(41, 'x') + "\"")).find("at most 40"),
              std::string::npos);
    // A face name keeps room for its NUL.
    EXPECT_NE(Refusal(WithLine(good, "MenuFont.FaceName", "MenuFont.FaceName \"" + std::string(32, 'F') + "\""))
                  .find("at most 31"),
              std::string::npos);

    EXPECT_EQ(Refusal(good + "Colour #000000\n"), "line " + std::to_string(std::count(good.begin(), good.end(), '\n') + 1) +
                                                     ": no member is called Colour");
    EXPECT_NE(Refusal(good + "ClientColor none\n").find("ClientColor is already given on line"), std::string::npos);
    EXPECT_EQ(Refusal(WithLine(good, "Reserved13", "# gone")), "member Reserved13 is missing");
}

TEST(SkinBuilder, BuildsWhatTheReaderAcceptsAndNamesAPieceOutsideThePicture) {
    const std::string description = DorDescription();
    const test::Bytes bmp = test::HandBmp(120, 162);
    std::vector<std::uint8_t> file;
    std::string error;
    ASSERT_TRUE(BuildSkin(description, bmp.data(), bmp.size(), file, error)) << error;
    SkinFile skin;
    ASSERT_EQ(ReadSkinFile(file.data(), file.size(), skin), SkinFileError::kNone);
    EXPECT_EQ(skin.picture.ColourAt(119, 161), test::Pattern(119, 161));

    const test::Bytes narrow = test::HandBmp(115, 162);  // the bottom-right corner pieces end at x 116
    EXPECT_FALSE(BuildSkin(description, narrow.data(), narrow.size(), file, error));
    EXPECT_EQ(error.rfind("ActiveFrame.Bottom.End: ", 0), 0u) << error;
    EXPECT_FALSE(BuildSkin(description, file.data(), file.size(), file, error));
    EXPECT_EQ(error.rfind("picture: ", 0), 0u) << error;
    EXPECT_FALSE(BuildSkin(WithLine(description, "Flag1", "Flag1 -1"), bmp.data(), bmp.size(), file, error));
    EXPECT_EQ(error.rfind("description: line ", 0), 0u) << error;
}

}  // namespace
}  // namespace tf::skin
