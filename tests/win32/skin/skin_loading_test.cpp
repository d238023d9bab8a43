// Loading skins from files and resources: what is refused, what is kept,
// the skin surface, and no GDI object left behind.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gdi_objects.h"
#include "platform/win32/desktop_services_win.h"
#include "skin/format/skin_file.h"
#include "skin/skinner_fixture.h"

namespace tf::skin::testing {
namespace {

// A picture with a distinct colour at every pixel, and the frame's left
// start piece covering it.
SkinFile SampleSkin(std::int32_t width, std::int32_t height, std::int32_t captionTextLeft) {
    SkinFile skin;
    std::memcpy(skin.signature.signature.data(), kSkinSignature, 5);
    skin.picture.width = width;
    skin.picture.height = height;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            skin.picture.bgr.insert(skin.picture.bgr.end(), {static_cast<std::uint8_t>(x * 7),
                                                             static_cast<std::uint8_t>(y * 11), 0x40});
    skin.parameters.ActiveFrame[kLeft].pieces[kStart] = SkinPiece{0, 0, width, height};
    skin.parameters.CaptionTextLeft = captionTextLeft;
    return skin;
}

class SkinLoadingTest : public SkinnerTest {
protected:
    void SetUp() override {
        SkinnerTest::SetUp();
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "tf_skin_" + std::to_string(GetCurrentProcessId());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        SkinnerTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = folder_ + "\\" + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(file);
        return path;
    }
    std::string WriteSkin(const std::string& name, const SkinFile& skin) { return Write(name, WriteSkinFile(skin)); }

    std::string folder_;
};

TEST_F(SkinLoadingTest, ASkinFillsTheSurfaceTopDownInItsColours) {
    const SkinFile skin = SampleSkin(5, 3, 11);
    ASSERT_TRUE(skinner_->LoadSkinFromFile(WriteSkin("a.Skin", skin)));
    ASSERT_NE(skinner_->SkinSurface(), nullptr);
    for (std::int32_t y = 0; y < 3; ++y)
        for (std::int32_t x = 0; x < 5; ++x)
            EXPECT_EQ(GetPixel(skinner_->SkinSurface(), x, y), skin.picture.ColourAt(x, y)) << x << "," << y;
    EXPECT_EQ(skinner_->Parameters().CaptionTextLeft, 11);
    EXPECT_TRUE(messages_.boxes.empty());
}

TEST_F(SkinLoadingTest, RefusedFilesKeepTheSkinInForce) {
    ASSERT_TRUE(skinner_->LoadSkinFromFile(WriteSkin("good.Skin", SampleSkin(4, 4, 11))));
    const COLORREF before = GetPixel(skinner_->SkinSurface(), 3, 3);

    EXPECT_FALSE(skinner_->LoadSkinFromFile(folder_ + "\\missing.Skin"));
    std::vector<std::uint8_t> records = WriteSkinFile(SampleSkin(2, 2, 22));
    records.resize(kPictureBagOffset);  // both records, an empty bag
    EXPECT_FALSE(skinner_->LoadSkinFromFile(Write("records-only.Skin", records)));
    EXPECT_FALSE(skinner_->LoadSkinFromFile(Write("short.Skin", {'x', 'y'})));
    std::vector<std::uint8_t> badPiece = WriteSkinFile(SampleSkin(2, 2, 22));
    badPiece[11 + 8] = 9;  // left start Width 9 of a 2-pixel picture
    EXPECT_FALSE(skinner_->LoadSkinFromFile(Write("bad-piece.Skin", badPiece)));
    EXPECT_TRUE(messages_.boxes.empty());
    // Each refusal leaves its reason in the event log; a missing file is none.
    ASSERT_EQ(eventLog_.errors.size(), 3u);
    EXPECT_EQ(eventLog_.errors[0],
              "Skin " + folder_ + "\\records-only.Skin not used: " + ToString(SkinFileError::kBadBag));
    EXPECT_NE(eventLog_.errors[1].find(ToString(SkinFileError::kTruncated)), std::string::npos);
    EXPECT_NE(eventLog_.errors[2].find("bad-piece.Skin not used: " + std::string(ToString(SkinFileError::kBadPiece)) +
                                       " (ActiveFrame.Left.Start)"),
              std::string::npos)
        << eventLog_.errors[2];

    EXPECT_EQ(skinner_->Parameters().CaptionTextLeft, 11);
    EXPECT_EQ(GetPixel(skinner_->SkinSurface(), 3, 3), before);
}

TEST_F(SkinLoadingTest, WrongSignatureIsShownAndTheNextLoadWorks) {
    ASSERT_TRUE(skinner_->LoadSkinFromFile(WriteSkin("good.Skin", SampleSkin(4, 4, 11))));
    std::vector<std::uint8_t> bytes = WriteSkinFile(SampleSkin(4, 4, 22));
    std::memcpy(bytes.data(), "skin#", 5);
    const std::string lower = Write("lower.Skin", bytes);
    EXPECT_FALSE(skinner_->LoadSkinFromFile(lower));
    ASSERT_EQ(messages_.boxes.size(), 1u);
    EXPECT_EQ(messages_.boxes[0].text, "Error: El arhivo no es v\xE1lido o puede estar da\xF1" "ado");
    EXPECT_TRUE(messages_.boxes[0].caption.empty());  // the application's title
    EXPECT_EQ(messages_.boxes[0].icon, platform::MessageIcon::kError);
    EXPECT_EQ(skinner_->Parameters().CaptionTextLeft, 11);

    EXPECT_TRUE(DeleteFileA(lower.c_str()));  // the rejected file was closed
    EXPECT_TRUE(skinner_->LoadSkinFromFile(WriteSkin("next.Skin", SampleSkin(4, 4, 22))));
    EXPECT_EQ(skinner_->Parameters().CaptionTextLeft, 22);
}

TEST_F(SkinLoadingTest, RepeatedLoadsKeepOneSurface) {
    const std::string small = WriteSkin("small.Skin", SampleSkin(8, 8, 1));
    const std::string large = WriteSkin("large.Skin", SampleSkin(64, 40, 2));
    const DWORD without = tf::testing::GdiObjects();
    ASSERT_TRUE(skinner_->LoadSkinFromFile(small));
    const DWORD with = tf::testing::GdiObjects();
    EXPECT_EQ(with, without + 2);  // the surface and its bitmap
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(skinner_->LoadSkinFromFile(i % 2 ? small : large));
        EXPECT_FALSE(skinner_->LoadSkinFromFile(folder_ + "\\missing.Skin"));
    }
    EXPECT_EQ(tf::testing::GdiObjects(), with);
    skinner_.reset();
    EXPECT_EQ(tf::testing::GdiObjects(), without);
}

// Loads before and after intercepting a window leave the interception as it
// was: its tables, its handler and the window's own procedure.
TEST_F(SkinLoadingTest, LoadsBeforeAndAfterInterceptingAWindow) {
    const std::string first = WriteSkin("first.Skin", SampleSkin(4, 4, 1));
    const std::string second = WriteSkin("second.Skin", SampleSkin(6, 2, 2));
    ASSERT_TRUE(skinner_->LoadSkinFromFile(first));
    HWND window = NewWindow();
    int seen = 0;
    ASSERT_TRUE(skinner_->Subclass(window, 0, [&seen](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM,
                                                      LONG_PTR&) { ++seen; }));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    ASSERT_TRUE(skinner_->LoadSkinFromFile(second));
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 1001);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(skinner_->Parameters().CaptionTextLeft, 2);
    skinner_->DelMsg(window, WM_USER + 1, ClsSkinner::MSG_AFTER);
    ASSERT_TRUE(skinner_->LoadSkinFromFile(first));
    SendMessageA(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(seen, 3);
    EXPECT_TRUE(messages_.boxes.empty());
}

// test_skin.rc: a 2 x 1 picture, blue-green-red 10 20 30 and 40 50 60.
TEST_F(SkinLoadingTest, FromAResourceReadInPlace) {
    ASSERT_TRUE(skinner_->LoadSkinFromResource("TESTSKIN", "SKIN"));
    EXPECT_EQ(GetPixel(skinner_->SkinSurface(), 0, 0), RGB(0x30, 0x20, 0x10));
    EXPECT_EQ(GetPixel(skinner_->SkinSurface(), 1, 0), RGB(0x60, 0x50, 0x40));
    EXPECT_FALSE(skinner_->LoadSkinFromResource("NOSKIN", "SKIN"));
    EXPECT_EQ(GetPixel(skinner_->SkinSurface(), 1, 0), RGB(0x60, 0x50, 0x40));
    EXPECT_TRUE(messages_.boxes.empty());
    const std::string temporary = platform::win32::ApplicationFolder() + "\\TempResourceSkin.skin";
    EXPECT_EQ(GetFileAttributesA(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tf::skin::testing
