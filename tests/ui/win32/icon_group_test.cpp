// The program's icon group IDR_MAINFRAME: ten images, 48, 32 and 16 pixels in 16 and in 256 colours, and
// 128, 48, 32 and 16 pixels in 32-bit colour; each image really is what the group says it is.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "ui/resource_ids.h"

namespace kestrin::win32 {
namespace {

#pragma pack(push, 2)
struct GroupEntry {  // GRPICONDIRENTRY
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupEntry) == 14);

using SizeAndDepth = std::pair<int, int>;

std::vector<SizeAndDepth> Sorted(std::vector<SizeAndDepth> images) {
  std::sort(images.begin(), images.end());
  return images;
}

const std::vector<SizeAndDepth> kExpected = Sorted(
    {{48, 4}, {32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {128, 32}, {48, 32}, {32, 32}, {16, 32}});

TEST(IconGroupTest, HoldsTheTenImagesInTheirSizesAndColourDepths) {
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, group)));
  const DWORD groupSize = SizeofResource(module, group);
  ASSERT_GE(groupSize, 6u);
  WORD count = 0;
  std::memcpy(&count, bytes + 4, sizeof count);
  ASSERT_EQ(count, 10);
  ASSERT_GE(groupSize, 6u + count * sizeof(GroupEntry));

  std::vector<SizeAndDepth> listed;
  std::vector<SizeAndDepth> stored;
  for (WORD i = 0; i < count; ++i) {
    GroupEntry entry;
    std::memcpy(&entry, bytes + 6 + i * sizeof(GroupEntry), sizeof entry);
    const int size = entry.width == 0 ? 256 : entry.width;
    EXPECT_EQ(entry.width, entry.height);
    listed.emplace_back(size, entry.bitCount);

    // The image itself: a bitmap whose header tells its real size and depth (colour and mask stacked,
    // so twice as high), with as many palette colours as the group entry lists.
    const HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3));  // RT_ICON
    ASSERT_NE(image, nullptr);
    BITMAPINFOHEADER header;
    ASSERT_GE(SizeofResource(module, image), sizeof header);
    std::memcpy(&header, LockResource(LoadResource(module, image)), sizeof header);
    ASSERT_EQ(header.biSize, sizeof header);
    EXPECT_EQ(header.biWidth, size);
    EXPECT_EQ(header.biHeight, 2 * size);
    stored.emplace_back(header.biWidth, header.biBitCount);
    EXPECT_EQ(entry.colours, header.biBitCount < 8 ? 1 << header.biBitCount : 0);
  }
  EXPECT_EQ(Sorted(listed), kExpected);
  EXPECT_EQ(Sorted(stored), kExpected);
}

TEST(IconGroupTest, EverySizeLoadsAsAnIcon) {
  for (const int size : {16, 32, 48, 128}) {
    const auto icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

}  // namespace
}  // namespace kestrin::win32
