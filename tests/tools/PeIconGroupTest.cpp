// Icon files read, and icon groups put into resource trees.
#include "tools/kwz/pe/IconGroup.h"
#include "tools/kwz/pe/PeFormat.h"

#include "tests/support/Raised.h"
#include "tests/tools/pe/IconFiles.h"
#include "tests/tools/pe/PeBuilder.h"

#include <gtest/gtest.h>

using PeTest::Data;

namespace {

const CResourceId kGroupType = CResourceId::Number(kIconGroupType);
const CResourceId kImageType = CResourceId::Number(kIconType);

struct CBrokenIcon {
    const char* what;
    std::string file;
    const char* message;
};

std::vector<CBrokenIcon> BrokenIcons()
{
    const std::string good = PeTest::SolidIconFile({{16, 0xFF0000}, {32, 0x00FF00}});
    auto with = [&](size_t at, std::string bytes) {
        std::string file = good;
        return file.replace(at, bytes.size(), bytes);
    };
    std::string png = good;
    png.replace(6 + 16 + 16, 8, "\x89PNG\r\n\x1A\n");  // a PNG image is taken as it is
    return {
        {"empty", "", "not an icon file (.ico)"},
        {"a bitmap file", "BM" + good.substr(2), "not an icon file (.ico)"},
        {"a cursor", with(2, std::string("\x02\x00", 2)), "a cursor file (.cur), not an icon file"},
        {"no images", with(4, std::string("\x00\x00", 2)), "an icon file without images"},
        {"directory cut", good.substr(0, 30), "the directory of 2 images runs past the end"},
        {"image cut", good.substr(0, good.size() - 1), "image 2 of 2 lies outside the file"},
        {"image of size 0", with(6 + 8, std::string(4, '\0')), "image 1 of 2 lies outside the file"},
        {"neither DIB nor PNG", with(6 + 16 + 16, std::string(4, '\0')), "image 1 of 2 is neither a bitmap nor a PNG"},
        {"PNG image", png, nullptr},
    };
}

TEST(PeIconGroupTest, IconFilesAreCheckedBeforeUse)
{
    for (const CBrokenIcon& c : BrokenIcons()) {
        const std::unique_ptr<CKwoException> e = RaisedIfAny([&] { ReadIconFile(c.file, "my.ico"); });
        if (c.message == nullptr) {
            EXPECT_EQ(nullptr, e) << c.what << ": " << (e ? e->MessageText() : "");
            continue;
        }
        ASSERT_NE(nullptr, e) << c.what;
        EXPECT_EQ(0u, e->MessageText().find("my.ico: ")) << c.what << ": " << e->MessageText();
        EXPECT_NE(std::string::npos, e->MessageText().find(c.message)) << c.what << ": " << e->MessageText();
    }
}

TEST(PeIconGroupTest, ImagesKeepTheirBytesAndZeroFieldsAreFilledAsWindresFillsThem)
{
    std::string file = PeTest::SolidIconFile({{16, 0x112233}, {48, 0x445566}});
    file[6 + 2] = 16;                           // 16 colours
    Pe::Put16(file, 6 + 4, 0);                  // planes 0
    Pe::Put16(file, 6 + 6, 0);                  // bit count 0
    const std::vector<CIconImage> images = ReadIconFile(file, "icon");
    ASSERT_EQ(2u, images.size());
    EXPECT_EQ(16, images[0].width);
    EXPECT_EQ(1, images[0].planes);
    EXPECT_EQ(4, images[0].bitCount);
    EXPECT_EQ(PeTest::SolidDib({16, 0x112233}), images[0].bytes);
    EXPECT_EQ(48, images[1].height);
    EXPECT_EQ(32, images[1].bitCount);
    EXPECT_EQ(PeTest::SolidDib({48, 0x445566}), images[1].bytes);
}

// A group directory listing ids, written by hand.
std::string GroupListing(const std::vector<uint32_t>& ids)
{
    std::string group(6 + 14 * ids.size(), '\0');
    Pe::Put16(group, 2, 1);
    Pe::Put16(group, 4, static_cast<uint32_t>(ids.size()));
    for (size_t i = 0; i < ids.size(); ++i)
        Pe::Put16(group, 6 + 14 * i + 12, ids[i]);
    return group;
}

TEST(PeIconGroupTest, GroupIsReplacedAndImagesOnlyItListedGo)
{
    // Group 108 lists images 1 and 2; group 200 also lists 2; image 5
    // belongs to nobody. All in German (1031).
    CResourceTree tree;
    SetResource(tree, kGroupType, CResourceId::Number(108), Data(1031, GroupListing({1, 2})));
    SetResource(tree, kGroupType, CResourceId::Number(200), Data(1031, GroupListing({2})));
    for (uint32_t id : {1u, 2u, 5u})
        SetResource(tree, kImageType, CResourceId::Number(id), Data(1031, "old image " + std::to_string(id)));
    SetResource(tree, CResourceId::Number(6), CResourceId::Number(7), Data(0, "a string table"));

    const std::vector<CIconImage> images =
        ReadIconFile(PeTest::SolidIconFile({{16, 0xFF0000}, {32, 0x00FF00}, {48, 0x0000FF}}), "new.ico");
    SetIconGroup(tree, 108, images);

    // Image 1 went, 2 and 5 stay; the new images take 1, 3 and 4.
    const CResourceType* icons = FindResourceType(tree, kImageType);
    ASSERT_NE(nullptr, icons);
    std::vector<std::string> names;
    for (const CResourceName& n : icons->names)
        names.push_back(n.name.Describe() + "=" + std::to_string(n.languages.at(0).language.number));
    EXPECT_EQ((std::vector<std::string>{"1=1031", "2=1031", "3=1031", "4=1031", "5=1031"}), names);
    EXPECT_EQ(images[0].bytes, FindResource(tree, kImageType, CResourceId::Number(1))->bytes);
    EXPECT_EQ("old image 2", FindResource(tree, kImageType, CResourceId::Number(2))->bytes);
    EXPECT_EQ(images[2].bytes, FindResource(tree, kImageType, CResourceId::Number(4))->bytes);
    const CResourceData* group = FindResource(tree, kGroupType, CResourceId::Number(108));
    ASSERT_NE(nullptr, group);
    EXPECT_EQ(1031u, group->language.number);
    EXPECT_EQ((std::vector<uint32_t>{1, 3, 4}), IconGroupMembers(group->bytes));
    // The group entry for the 32-pixel image, field by field.
    const std::string& g = group->bytes;
    EXPECT_EQ(std::string("\x20\x20\x00\x00\x01\x00\x20\x00", 8), g.substr(6 + 14, 8));
    EXPECT_EQ(images[1].bytes.size(), Pe::Get32(g, 6 + 14 + 8));
    EXPECT_EQ("a string table", FindResource(tree, CResourceId::Number(6), CResourceId::Number(7))->bytes);

    // Setting the same icon again changes nothing.
    const CResourceTree once = tree;
    SetIconGroup(tree, 108, images);
    EXPECT_TRUE(tree == once);
}

TEST(PeIconGroupTest, ProgramWithoutIconGetsANeutralGroup)
{
    CResourceTree tree = PeTest::TreeOf(10, "data");
    SetIconGroup(tree, 108, ReadIconFile(PeTest::SolidIconFile({{32, 0x00FF00}}), "one.ico"));
    const CResourceData* group = FindResource(tree, kGroupType, CResourceId::Number(108));
    ASSERT_NE(nullptr, group);
    EXPECT_EQ(0u, group->language.number);
    EXPECT_EQ((std::vector<uint32_t>{1}), IconGroupMembers(group->bytes));
    EXPECT_EQ(PeTest::SolidDib({32, 0x00FF00}), FindResource(tree, kImageType, CResourceId::Number(1))->bytes);
}

}  // namespace
