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

namespace {

// Bytes of the UTF-8 character at text[i]; a byte that does not start a well-formed sequence counts as a
// character of its own, so malformed text is still cut somewhere sensible.
std::size_t Utf8CharLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (i + length > text.size()) return 1;
  for (std::size_t k = i + 1; k < i + length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 1;
  }
  return length;
}

}  // namespace

std::size_t WholeCharPrefixLength(std::string_view text, std::size_t limit, const PathStyle& style) {
  std::size_t kept = 0;
  while (kept < text.size()) {
    const std::size_t length =
        style.windows ? style.CharLength(text.data(), text.size(), kept) : Utf8CharLength(text, kept);
    if (kept + length > limit) break;
    kept += length;
  }
  return kept;
}

}  // namespace kestrin
