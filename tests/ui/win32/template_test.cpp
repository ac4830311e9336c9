// The compiled dialog template agrees with the layout table control by control: order, identifier, class,
// caption, position and styles; and the dialog made from it puts every control where the table says.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ui/layout.h"
#include "ui/resource_ids.h"
#include "ui/translation.h"
#include "ui/win32/framework.h"
#include "ui/win32/win32_host.h"
#include "ui/win32/win32_test_support.h"

namespace kestrin::win32 {
namespace {

// The code page the program's texts are compiled into.
constexpr UINT kGbk = 936;

std::string FromUtf16(const std::u16string& text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = WideCharToMultiByte(kGbk, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(kGbk, 0, wide, static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
  return out;
}

struct TemplateItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::string className;  // the predefined classes by name, as their ordinals stand for them
  std::string title;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string title;
  int pointSize = 0;
  int charset = 0;
  std::string typeface;
  std::vector<TemplateItem> items;
};

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items).
class TemplateReader {
 public:
  explicit TemplateReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::optional<DialogTemplate> Read() {
    DialogTemplate dialog;
    if (Word() != 1 || Word() != 0xFFFF) return std::nullopt;  // version 1, extended template
    Dword();                                                    // help id
    dialog.exStyle = Dword();
    dialog.style = Dword();
    const int count = Word();
    dialog.x = Short(), dialog.y = Short(), dialog.cx = Short(), dialog.cy = Short();
    SzOrOrd();  // menu
    SzOrOrd();  // class
    dialog.title = FromUtf16(String());
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
      dialog.pointSize = Word();
      Word();  // weight
      Byte();  // italic
      dialog.charset = Byte();
      dialog.typeface = FromUtf16(String());
    }
    for (int i = 0; i < count && ok_; ++i) {
      Align();
      TemplateItem item;
      Dword();  // help id
      item.exStyle = Dword();
      item.style = Dword();
      item.x = Short(), item.y = Short(), item.cx = Short(), item.cy = Short();
      item.id = static_cast<int>(static_cast<std::int32_t>(Dword()));
      item.className = SzOrOrd();
      item.title = SzOrOrd();
      pos_ += Word();  // creation data
      dialog.items.push_back(item);
    }
    if (!ok_) return std::nullopt;
    return dialog;
  }

 private:
  std::uint32_t Take(std::size_t size) {
    if (pos_ + size > bytes_.size()) {
      ok_ = false;
      return 0;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, bytes_.data() + pos_, size);
    pos_ += size;
    return value;
  }
  int Byte() { return static_cast<int>(Take(1)); }
  int Word() { return static_cast<int>(Take(2)); }
  int Short() { return static_cast<std::int16_t>(Take(2)); }
  DWORD Dword() { return Take(4); }
  void Align() { pos_ = (pos_ + 3) & ~std::size_t{3}; }

  std::u16string String() {
    std::u16string text;
    while (ok_) {
      const auto c = static_cast<char16_t>(Take(2));
      if (c == 0) break;
      text.push_back(c);
    }
    return text;
  }
  // A string, or an ordinal (written as the predefined class's name, or as "#n").
  std::string SzOrOrd() {
    const std::size_t start = pos_;
    const int first = Word();
    if (first == 0) return {};
    if (first == 0xFFFF) {
      const int ordinal = Word();
      switch (ordinal) {
        case 0x80: return "Button";
        case 0x81: return "Edit";
        case 0x82: return "Static";
        case 0x83: return "ListBox";
        case 0x84: return "ScrollBar";
        case 0x85: return "ComboBox";
        default: {
          std::string name(1, '#');
          name.append(std::to_string(ordinal));
          return name;
        }
      }
    }
    pos_ = start;
    return FromUtf16(String());
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::optional<DialogTemplate> LoadDialogTemplate(int id = IDD_KESTRIN_DIALOG) {
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (found == nullptr) return std::nullopt;
  const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
  return TemplateReader({data, SizeofResource(module, found)}).Read();
}

bool ClassIs(const std::string& actual, const char* expected) { return lstrcmpiA(actual.c_str(), expected) == 0; }

const char* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::GroupBox:
    case ControlKind::PushButton:
    case ControlKind::CheckBox: return "Button";
    case ControlKind::Label:
    case ControlKind::Picture: return "Static";
    case ControlKind::Edit: return "Edit";
    case ControlKind::ListBox: return "ListBox";
    case ControlKind::ProgressBar: return "msctls_progress32";
  }
  return "";
}

// The window styles a row of the table stands for.
DWORD StyleOf(const ControlDef& c) {
  const auto has = [&](unsigned flag) { return (c.styles & flag) != 0; };
  DWORD style = WS_CHILD;
  if (!has(kHiddenAtStart)) style |= WS_VISIBLE;
  if (has(kTabStop)) style |= WS_TABSTOP;
  switch (c.kind) {
    case ControlKind::GroupBox: style |= BS_GROUPBOX; break;
    case ControlKind::Label: style |= SS_LEFT; break;
    case ControlKind::Picture: style |= SS_OWNERDRAW; break;
    case ControlKind::PushButton: style |= BS_PUSHBUTTON; break;
    case ControlKind::CheckBox: style |= has(kAutoCheck) ? BS_AUTOCHECKBOX : BS_CHECKBOX; break;
    case ControlKind::Edit:
      style |= WS_BORDER;
      if (has(kAutoHScroll)) style |= ES_AUTOHSCROLL;
      if (has(kReadOnly)) style |= ES_READONLY;
      break;
    case ControlKind::ListBox:
      // Unsorted (no LBS_SORT), and exactly as high as given (no rounding to whole lines).
      style |= WS_BORDER | LBS_NOINTEGRALHEIGHT;
      if (has(kNotify)) style |= LBS_NOTIFY;
      if (has(kAlwaysVScroll)) style |= WS_VSCROLL | LBS_DISABLENOSCROLL;
      if (has(kExtendedSel)) style |= LBS_EXTENDEDSEL;
      break;
    case ControlKind::ProgressBar:
      if (has(kBordered)) style |= WS_BORDER;
      break;
  }
  return style;
}

TEST(TemplateTest, AnsiCodePageIsGbk) {
  // The dialog converts its template's texts through the ANSI code page; the tests run with 936.
  EXPECT_EQ(GetACP(), kGbk);
}

TEST(TemplateTest, DialogMatchesTheLayoutTable) {
  const std::optional<DialogTemplate> dialog = LoadDialogTemplate();
  ASSERT_TRUE(dialog.has_value());
  const DialogDef& expected = KestrinDialog();
  EXPECT_EQ(dialog->title, expected.caption);
  EXPECT_EQ(dialog->typeface, expected.fontFace);
  EXPECT_EQ(dialog->pointSize, expected.fontPoints);
  EXPECT_EQ(dialog->charset, expected.charset);
  EXPECT_EQ(dialog->x, 0);
  EXPECT_EQ(dialog->y, 0);
  EXPECT_EQ(dialog->cx, expected.width);
  EXPECT_EQ(dialog->cy, expected.height);
  EXPECT_EQ(dialog->style, static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                                              WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_EQ(dialog->exStyle, static_cast<DWORD>(WS_EX_ACCEPTFILES | WS_EX_APPWINDOW));
}

TEST(TemplateTest, ControlsMatchTheLayoutTableOneByOne) {
  const std::optional<DialogTemplate> dialog = LoadDialogTemplate();
  ASSERT_TRUE(dialog.has_value());
  const std::span<const ControlDef> table = KestrinControls();
  ASSERT_EQ(dialog->items.size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const ControlDef& c = table[i];
    const TemplateItem& item = dialog->items[i];
    SCOPED_TRACE(::testing::Message() << "item " << i << " " << (c.name ? c.name : c.caption));
    EXPECT_EQ(item.id, c.id);
    EXPECT_TRUE(ClassIs(item.className, ClassOf(c.kind))) << item.className;
    EXPECT_EQ(item.title, c.caption);
    EXPECT_EQ(item.x, c.x);
    EXPECT_EQ(item.y, c.y);
    EXPECT_EQ(item.cx, c.width);
    EXPECT_EQ(item.cy, c.height);
    EXPECT_EQ(item.style, StyleOf(c)) << std::hex << item.style << " vs " << StyleOf(c);
    EXPECT_EQ(item.exStyle, 0u);
  }
}

// The dialog made from the template: each child in template order, with its class, text, identifier and
// its place in pixels as the dialog's font turns the table's dialog units into them.
TEST(TemplateTest, LiveDialogPlacesEveryControlWhereTheTableSays) {
  CDialog dialog(IDD_KESTRIN_DIALOG, nullptr);
  ASSERT_TRUE(dialog.Create());
  const HWND window = dialog.GetSafeHwnd();

  RECT client{};
  GetClientRect(window, &client);
  RECT size{0, 0, KestrinDialog().width, KestrinDialog().height};
  MapDialogRect(window, &size);
  // The template's size, unless the screen is too small for it: the system makes a resizable window no
  // larger than the screen allows.
  RECT frame = size;
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  if (frame.right - frame.left <= GetSystemMetrics(SM_CXMAXTRACK) &&
      frame.bottom - frame.top <= GetSystemMetrics(SM_CYMAXTRACK)) {
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
  } else {
    EXPECT_LE(client.right, size.right);
    EXPECT_LE(client.bottom, size.bottom);
  }
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, KestrinDialog().fontFace);

  HWND child = GetWindow(window, GW_CHILD);
  for (const ControlDef& c : KestrinControls()) {
    SCOPED_TRACE(c.name ? c.name : c.caption);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(ClassIs(testing::ClassName(child), ClassOf(c.kind))) << testing::ClassName(child);
    EXPECT_EQ(GetDlgCtrlID(child), c.id);
    EXPECT_EQ(testing::WindowText(child), c.caption);
    EXPECT_EQ(IsWindowVisible(child) != FALSE, (c.styles & kHiddenAtStart) == 0);
    // Origin and size are converted each on its own, as the dialog manager does.
    RECT expected{c.x, c.y, c.width, c.height};
    MapDialogRect(window, &expected);
    RECT actual{};
    GetWindowRect(child, &actual);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right - actual.left, expected.right);
    EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
}

// The failures dialog shows its template's texts in the window's language: the caption and every text of
// a control are the ones it translates, and each has its English counterpart.
TEST(TemplateTest, EveryTextOfTheFailuresAndPreviewDialogsHasItsTranslation) {
  const std::pair<int, std::span<const TemplateText>> dialogs[] = {{IDD_FAILURES, FailuresDialogTexts()},
                                                                   {IDD_PREVIEW, PreviewDialogTexts()}};
  for (const auto& [id, listed] : dialogs) {
    SCOPED_TRACE(id);
    const std::optional<DialogTemplate> dialog = LoadDialogTemplate(id);
    ASSERT_TRUE(dialog.has_value());
    std::set<std::pair<int, std::string>> texts{{0, dialog->title}};
    for (const TemplateItem& item : dialog->items) {
      if (!item.title.empty()) texts.emplace(item.id, item.title);
    }
    std::set<std::pair<int, std::string>> translated;
    for (const TemplateText& t : listed) translated.emplace(t.id, t.text);
    EXPECT_EQ(texts, translated);
    for (const auto& [item, text] : texts) EXPECT_NE(EnglishText(text), nullptr) << item << " \"" << text << "\"";
  }
}

}  // namespace
}  // namespace kestrin::win32
