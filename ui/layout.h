#pragma once
// What the window is made of: every frame, label and control with its identifier, kind, caption,
// position and size in dialog units, and styles. The rows are written once, in ui/layout_table.inc: the Qt
// window lays itself out from this table, and the Win32 dialog template is compiled from the same rows.

#include <cstddef>
#include <span>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin {

// Picture: an image scaled to fit, with a line of text under it.
enum class ControlKind { GroupBox, Label, Edit, PushButton, CheckBox, ListBox, ProgressBar, Picture };

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
  kExtendedSel = 1u << 8,    // list box whose lines are selected several at a time (Shift, Ctrl)
};

// How a frame, label or control follows the window when it is larger or smaller than its default size.
// The extra width goes to the path boxes at the top, and is shared below them between the search's column
// and the reference column; the extra height goes to the two lists. Buttons, check boxes and labels keep
// their size and move with what is beside them.
enum ControlAnchor : unsigned char {
  kAnchorFixed,         // stays where it is
  kAnchorTopStretch,    // the top rows: takes all the extra width
  kAnchorTopRight,      // right of the top rows, or at the right edge: moves with all of it
  kAnchorLeftStretch,   // a box of the search's column: takes its share of the extra width
  kAnchorLeftPane,      // the search's frame and the result list: their share of the width, all the height
  kAnchorSplit,         // between the two columns: moves with the search column's share
  kAnchorRightStretch,  // a box of the reference column: moves with the split, takes the rest of the width
  kAnchorRightPane,     // the reference list: as a box of its column, and all the extra height
  kAnchorBottom,        // the status row: moves with the extra height, takes all the width
  kAnchorBottomRight,   // beside the status box: moves with the extra height and all the extra width
  // The search column's lower part is the matches pane: the result list above it takes 7 tenths of the
  // extra height, the pane the other 3; the reference list and the preview under it share it alike.
  kAnchorLeftUpper,     // the result list: the search column's share of the width, 7 tenths of the height
  kAnchorLeftBelow,     // the matches count: as the result list's width, moves down 7 tenths
  kAnchorLeftLower,     // the matches list: as the result list's width, the remaining 3 tenths of the height
  kAnchorRightUpper,    // the reference list: as a box of its column, 7 tenths of the height
  kAnchorRightLower,    // the preview: as a box of its column, the remaining 3 tenths of the height
};

struct ControlRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

// Where a row lies in a window extraWidth wider and extraHeight higher than its default size (negative:
// smaller), given where it lies at the default size; in any unit (pixels, dialog units), the extra in the
// same.
ControlRect AnchoredRect(ControlAnchor anchor, ControlRect atDefaultSize, int extraWidth, int extraHeight);

struct ControlDef {
  const char* name;  // "IDC_..." for controls, nullptr for frames and labels
  int id;            // control identifier; -1 for frames and labels
  ControlKind kind;
  const char* caption;
  int x, y, width, height;  // dialog units
  unsigned styles;
  ControlAnchor anchor;
};

struct DialogDef {
  int id;  // IDD_KESTRIN_DIALOG
  const char* caption;
  const char* fontFace;
  int fontPoints;
  int charset;  // 134: GB2312
  int width, height;  // dialog units: the default size
  int minWidth, minHeight;  // the smallest size the window is made
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
