#include "platform/path_style.h"

#include <gtest/gtest.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrin {
namespace {

TEST(PathStyle, GbkLeadBytesAre0x81To0xFE) {
  const LeadByteTable& gbk = GbkLeadBytes();
  for (int b = 0; b < 256; ++b) EXPECT_EQ(gbk[static_cast<std::size_t>(b)], b >= 0x81 && b <= 0xFE) << b;
}

TEST(PathStyle, SeparatorsAndLimits) {
  const PathStyle posix = PathStyle::Posix();
  const PathStyle windows = PathStyle::Windows(&GbkLeadBytes());
  EXPECT_TRUE(posix.IsSeparator('/'));
  EXPECT_FALSE(posix.IsSeparator('\\'));
  EXPECT_TRUE(windows.IsSeparator('/'));
  EXPECT_TRUE(windows.IsSeparator('\\'));
  EXPECT_EQ(posix.Separator(), '/');
  EXPECT_EQ(windows.Separator(), '\\');
  EXPECT_EQ(posix.PathLimit(), 4096u);
  EXPECT_EQ(windows.PathLimit(), 260u);
  EXPECT_FALSE(posix.FoldsCase());
  EXPECT_TRUE(windows.FoldsCase());
  const char text[] = "\x81\x5C\x81";
  EXPECT_EQ(windows.CharLength(text, 3, 0), 2u);
  EXPECT_EQ(windows.CharLength(text, 3, 2), 1u);  // a lead byte at the end stands alone
  EXPECT_EQ(posix.CharLength(text, 3, 0), 1u);
}

TEST(PathStyle, LastSeparator) {
  const PathStyle posix = PathStyle::Posix();
  const PathStyle windows = PathStyle::Windows();
  const PathStyle gbk = PathStyle::Windows(&GbkLeadBytes());
  struct Row {
    const PathStyle* style;
    std::string_view path;
    std::size_t expected;
  };
  constexpr std::size_t none = std::string_view::npos;
  const Row rows[] = {
      {&posix, "/a/b\\c", 2},      {&posix, "", none},           {&posix, "abc", none},
      {&windows, "c:\\a/b\\c", 6}, {&windows, "c:\\a/b", 4},     {&windows, "a\\", 1},
      {&gbk, "c:\\\x81\x5C", 2},   {&windows, "c:\\\x81\x5C", 4}, {&gbk, "\x81\x5C\\", 2},
  };
  for (const Row& r : rows) EXPECT_EQ(r.style->LastSeparator(r.path), r.expected) << r.path;
}

TEST(PathStyle, NativeStyle) {
  const PathStyle& native = NativePathStyle();
#ifdef _WIN32
  EXPECT_TRUE(native.windows);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(native.IsLeadByte(static_cast<unsigned char>(b)), IsDBCSLeadByte(static_cast<BYTE>(b)) != 0) << b;
  }
  if (GetACP() == 936) {
    EXPECT_TRUE(native.IsLeadByte(0x95));
  }
#else
  EXPECT_FALSE(native.windows);
  EXPECT_FALSE(native.IsLeadByte(0x95));
#endif
}

}  // namespace
}  // namespace kestrin
