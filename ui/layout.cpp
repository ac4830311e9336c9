#include "ui/layout.h"

#include <array>
#include <cstdint>

#include "ui/resource_ids.h"

namespace kestrin {
namespace {

// Each row of the layout table becomes one entry.
#define KESTRIN_STATIC(kind, caption, x, y, width, height) \
  {nullptr, -1, ControlKind::kind, caption, x, y, width, height, kStyleNone},
#define KESTRIN_CONTROL(id, kind, caption, x, y, width, height, styles) \
  {#id, id, ControlKind::kind, caption, x, y, width, height, styles},

constexpr ControlDef kControls[] = {
#include "ui/layout_table.inc"
};

#undef KESTRIN_STATIC
#undef KESTRIN_CONTROL

constexpr DialogDef kDialog{IDD_KESTRIN_DIALOG,         KESTRIN_DIALOG_CAPTION, KESTRIN_DIALOG_FONT_FACE,
                            KESTRIN_DIALOG_FONT_POINTS, KESTRIN_DIALOG_CHARSET, KESTRIN_DIALOG_WIDTH,
                            KESTRIN_DIALOG_HEIGHT};

}  // namespace

const DialogDef& KestrinDialog() { return kDialog; }

std::span<const ControlDef> KestrinControls() { return kControls; }

const ControlDef* FindControl(int id) {
  for (const ControlDef& c : kControls) {
    if (c.id == id && c.id >= 0) return &c;
  }
  return nullptr;
}

const char* ControlName(int id) {
  const ControlDef* c = FindControl(id);
  return c ? c->name : nullptr;
}

}  // namespace kestrin
