#pragma once
// What the window is made of: every frame, label and control with its identifier, kind, caption,
// position and size in dialog units, and styles. The rows are written once, in ui/layout_table.inc: the Qt
// window lays itself out from this table, and the Win32 dialog template is compiled from the same rows.

#include <cstddef>
#include <span>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin {

enum class ControlKind { GroupBox, Label, Edit, PushButton, CheckBox, ListBox, ProgressBar };

enum ControlStyle : unsigned {
  kStyleNone = 0,
  kReadOnly = 1u << 0,       // edit box the user cannot type into
  kHiddenAtStart = 1u << 1,  // not visible until shown
  kBordered = 1u << 2,       // progress bar with a border
  kNotify = 1u << 3,         // list box reports selection changes and double clicks
  kAlwaysVScroll = 1u << 4,  // list box shows its vertical scroll bar even when not needed
  kAutoHScroll = 1u << 5,    // edit box scrolls horizontally as text is typed
  kAutoCheck = 1u << 6,      // check box toggles itself when clicked
  kTabStop = 1u << 7,        // reachable with the Tab key
};

struct ControlDef {
  const char* name;  // "IDC_..." for controls, nullptr for frames and labels
  int id;            // control identifier; -1 for frames and labels
  ControlKind kind;
  const char* caption;
  int x, y, width, height;  // dialog units
  unsigned styles;
};

struct DialogDef {
  int id;  // IDD_KESTRIN_DIALOG
  const char* caption;
  const char* fontFace;
  int fontPoints;
  int charset;  // 134: GB2312
  int width, height;  // dialog units
};

const DialogDef& KestrinDialog();

// Frames and labels first, then the controls in tab order (the order the focus moves in, and the first
// of them gets the focus at start).
std::span<const ControlDef> KestrinControls();

// The entry for a control identifier, or null.
const ControlDef* FindControl(int id);

// The control's "IDC_..." name for an identifier, or null.
const char* ControlName(int id);

// The two rename boxes hold at most this many bytes in the platform's encoding.
inline constexpr std::size_t kRenameBoxLimit = 127;

}  // namespace kestrin
