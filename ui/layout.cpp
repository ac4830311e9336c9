#include "ui/layout.h"

#include <array>
#include <cstdint>

#include "ui/resource_ids.h"

namespace kestrin {
namespace {

// Each row of the layout table becomes one entry.
#define KESTRIN_STATIC(kind, caption, x, y, width, height, anchor) \
  {nullptr, -1, ControlKind::kind, caption, x, y, width, height, kStyleNone, anchor},
#define KESTRIN_CONTROL(id, kind, caption, x, y, width, height, styles, anchor) \
  {#id, id, ControlKind::kind, caption, x, y, width, height, styles, anchor},

constexpr ControlDef kControls[] = {
#include "ui/layout_table.inc"
};

#undef KESTRIN_STATIC
#undef KESTRIN_CONTROL

constexpr DialogDef kDialog{IDD_KESTRIN_DIALOG,         KESTRIN_DIALOG_CAPTION, KESTRIN_DIALOG_FONT_FACE,
                            KESTRIN_DIALOG_FONT_POINTS, KESTRIN_DIALOG_CHARSET, KESTRIN_DIALOG_WIDTH,
                            KESTRIN_DIALOG_HEIGHT,      KESTRIN_DIALOG_MIN_WIDTH, KESTRIN_DIALOG_MIN_HEIGHT};

}  // namespace

const DialogDef& KestrinDialog() { return kDialog; }

std::span<const ControlDef> KestrinControls() { return kControls; }

const ControlDef* FindControl(int id) {
  for (const ControlDef& c : kControls) {
    if (c.id == id && c.id >= 0) return &c;
  }
  return nullptr;
}

ControlRect AnchoredRect(ControlAnchor anchor, ControlRect atDefaultSize, int extraWidth, int extraHeight) {
  // The share of the extra width each edge moves by, in tenths: the result column takes 6 of every 10.
  constexpr int kSplit = 6;
  // The share of the extra height the upper lists take from the panes below them.
  constexpr int kUpper = 7;
  struct Edges {
    int left, right, top, bottom;  // tenths of the extra width or height
  };
  Edges edges{};
  switch (anchor) {
    case kAnchorFixed: edges = {0, 0, 0, 0}; break;
    case kAnchorTopStretch: edges = {0, 10, 0, 0}; break;
    case kAnchorTopRight: edges = {10, 10, 0, 0}; break;
    case kAnchorLeftStretch: edges = {0, kSplit, 0, 0}; break;
    case kAnchorLeftPane: edges = {0, kSplit, 0, 10}; break;
    case kAnchorSplit: edges = {kSplit, kSplit, 0, 0}; break;
    case kAnchorRightStretch: edges = {kSplit, 10, 0, 0}; break;
    case kAnchorRightPane: edges = {kSplit, 10, 0, 10}; break;
    case kAnchorBottom: edges = {0, 10, 10, 10}; break;
    case kAnchorBottomRight: edges = {10, 10, 10, 10}; break;
    case kAnchorLeftUpper: edges = {0, kSplit, 0, kUpper}; break;
    case kAnchorLeftBelow: edges = {0, kSplit, kUpper, kUpper}; break;
    case kAnchorLeftLower: edges = {0, kSplit, kUpper, 10}; break;
    case kAnchorRightUpper: edges = {kSplit, 10, 0, kUpper}; break;
    case kAnchorRightLower: edges = {kSplit, 10, kUpper, 10}; break;
  }
  // Each edge is rounded on its own, so that neighbours that move by the same share stay as far apart.
  const auto share = [](int tenths, int extra) { return (tenths * extra + (extra < 0 ? -5 : 5)) / 10; };
  const int left = atDefaultSize.x + share(edges.left, extraWidth);
  const int right = atDefaultSize.x + atDefaultSize.width + share(edges.right, extraWidth);
  const int top = atDefaultSize.y + share(edges.top, extraHeight);
  const int bottom = atDefaultSize.y + atDefaultSize.height + share(edges.bottom, extraHeight);
  return ControlRect{left, top, right - left, bottom - top};
}

const char* ControlName(int id) {
  const ControlDef* c = FindControl(id);
  return c ? c->name : nullptr;
}

}  // namespace kestrin
