// The layout table as both front-ends read it: rows the resource script can turn into a dialog template
// (frames and labels without identifiers, controls with unique named ones, flags only on the kinds whose
// window styles they stand for) and that fit inside the dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "ui/layout.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

bool IsStatic(ControlKind kind) { return kind == ControlKind::GroupBox || kind == ControlKind::Label; }

std::string RowName(const ControlDef& c) { return c.name ? c.name : c.caption; }

TEST(LayoutTable, FramesAndLabelsComeFirstWithoutIdentifiersThenNamedControls) {
  bool inControls = false;
  std::set<int> ids;
  for (const ControlDef& c : KestrinControls()) {
    SCOPED_TRACE(RowName(c));
    if (!IsStatic(c.kind)) inControls = true;
    if (!inControls) {
      EXPECT_EQ(c.id, -1);
      EXPECT_EQ(c.name, nullptr);
      EXPECT_EQ(c.styles, kStyleNone);
      continue;
    }
    EXPECT_FALSE(IsStatic(c.kind)) << "a frame or label after the first control";
    ASSERT_NE(c.name, nullptr);
    EXPECT_EQ(std::string(c.name).rfind("IDC_", 0), 0u);
    EXPECT_GT(c.id, 0);
    EXPECT_TRUE(ids.insert(c.id).second) << "identifier used twice";
    EXPECT_EQ(FindControl(c.id), &c);
    EXPECT_STREQ(ControlName(c.id), c.name);
  }
  EXPECT_EQ(ids.size(), 33u);
  for (const int id : {-1, 0, IDD_KESTRIN_DIALOG, IDR_MAINFRAME}) {
    EXPECT_EQ(FindControl(id), nullptr) << id;
    EXPECT_EQ(ControlName(id), nullptr) << id;
  }
}

// A flag becomes a window style of its kind's class; on another class the same bits mean something else.
TEST(LayoutTable, FlagsAppearOnlyOnTheKindsTheyApplyTo) {
  struct Rule {
    ControlStyle flag;
    std::set<ControlKind> kinds;
  };
  const Rule rules[] = {
      {kReadOnly, {ControlKind::Edit}},
      {kAutoHScroll, {ControlKind::Edit}},
      {kNotify, {ControlKind::ListBox}},
      {kAlwaysVScroll, {ControlKind::ListBox}},
      {kExtendedSel, {ControlKind::ListBox}},
      {kAutoCheck, {ControlKind::CheckBox}},
      {kBordered, {ControlKind::ProgressBar}},
      {kHiddenAtStart, {ControlKind::ProgressBar, ControlKind::PushButton}},
      {kTabStop, {ControlKind::Edit, ControlKind::PushButton, ControlKind::CheckBox, ControlKind::ListBox}},
  };
  unsigned known = 0;
  for (const Rule& rule : rules) known |= rule.flag;
  for (const ControlDef& c : KestrinControls()) {
    SCOPED_TRACE(RowName(c));
    EXPECT_EQ(c.styles & ~known, 0u) << "a flag the resource script does not know";
    for (const Rule& rule : rules) {
      if ((c.styles & rule.flag) != 0) {
        EXPECT_TRUE(rule.kinds.contains(c.kind)) << "flag " << rule.flag;
      }
    }
  }
}

TEST(LayoutTable, EveryRowHasASizeAndLiesInsideTheDialog) {
  const DialogDef& dialog = KestrinDialog();
  for (const ControlDef& c : KestrinControls()) {
    SCOPED_TRACE(RowName(c));
    EXPECT_GT(c.width, 0);
    EXPECT_GT(c.height, 0);
    EXPECT_GE(c.x, 0);
    EXPECT_GE(c.y, 0);
    EXPECT_LE(c.x + c.width, dialog.width);
    EXPECT_LE(c.y + c.height, dialog.height);
  }
}

ControlRect DefaultRect(const ControlDef& c) { return ControlRect{c.x, c.y, c.width, c.height}; }

bool Overlap(const ControlRect& a, const ControlRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool Inside(const ControlRect& inner, const ControlRect& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

// At every size from the smallest to twice the default, what did not overlap at the default size does not,
// what lay inside a frame still does, every row lies inside the window, buttons, check boxes and labels
// keep their size, and boxes and lists stay usable.
TEST(LayoutTable, EverySizeFromTheMinimumUpKeepsTheLayoutWhole) {
  const DialogDef& dialog = KestrinDialog();
  ASSERT_LT(dialog.minWidth, dialog.width);
  ASSERT_LT(dialog.minHeight, dialog.height);
  const auto controls = KestrinControls();
  for (int width = dialog.minWidth; width <= 2 * dialog.width; width += 7) {
    for (int height = dialog.minHeight; height <= 2 * dialog.height; height += 11) {
      const int extraWidth = width - dialog.width;
      const int extraHeight = height - dialog.height;
      const auto at = [&](const ControlDef& c) { return AnchoredRect(c.anchor, DefaultRect(c), extraWidth, extraHeight); };
      for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlDef& a = controls[i];
        const ControlRect ra = at(a);
        SCOPED_TRACE(RowName(a) + " in " + std::to_string(width) + "x" + std::to_string(height));
        ASSERT_TRUE(Inside(ra, ControlRect{0, 0, width, height}));
        if (a.kind == ControlKind::PushButton || a.kind == ControlKind::CheckBox || a.kind == ControlKind::Label) {
          ASSERT_EQ(ra.width, a.width);
          ASSERT_EQ(ra.height, a.height);
        }
        if (a.kind == ControlKind::Edit) {
          ASSERT_GE(ra.width, std::min(a.width, 60));
        }
        // The two main lists keep room for many lines; the panes under them (the matches, the preview)
        // keep a few lines' worth.
        if (a.kind == ControlKind::ListBox || a.kind == ControlKind::Picture) {
          ASSERT_GE(ra.width, 200);
          ASSERT_GE(ra.height, a.id == IDC_RESULT_LIST || a.id == IDC_REF_LIST ? 150 : 28);
        }
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
          const ControlDef& b = controls[j];
          const ControlRect rb = at(b);
          if (!Overlap(DefaultRect(a), DefaultRect(b))) {
            ASSERT_FALSE(Overlap(ra, rb)) << "overlaps " << RowName(b);
          } else if (a.kind == ControlKind::GroupBox && Inside(DefaultRect(b), DefaultRect(a))) {
            ASSERT_TRUE(Inside(rb, ra)) << "leaves its frame: " << RowName(b);
          }
        }
      }
    }
  }
}

TEST(LayoutTable, TheListsAndBoxesTakeTheExtraRoom) {
  const struct {
    int id;
    int extraX, extraY, extraWidth, extraHeight;  // for 100 more dialog units each way
  } cases[] = {
      {IDC_RESULT_LIST, 0, 0, 60, 70},   {IDC_REF_LIST, 60, 0, 40, 70},  {IDC_INPUT_PATH, 0, 0, 100, 0},
      {IDC_MATCH_COUNT, 0, 70, 60, 0},   {IDC_MATCH_LIST, 0, 70, 60, 30}, {IDC_REF_PREVIEW, 60, 70, 40, 30},
      {IDC_SEARCH_TEXT, 0, 0, 60, 0},    {IDC_REF_PATH, 60, 0, 40, 0},   {IDC_STATUS, 0, 100, 100, 0},
      {IDC_OPEN_INPUT, 100, 0, 0, 0},    {IDC_SEARCH, 60, 0, 0, 0},      {IDC_REF_REPORT, 100, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const ControlDef* def = FindControl(c.id);
    ASSERT_NE(def, nullptr);
    const ControlRect grown = AnchoredRect(def->anchor, DefaultRect(*def), 100, 100);
    EXPECT_EQ(grown, (ControlRect{def->x + c.extraX, def->y + c.extraY, def->width + c.extraWidth,
                                  def->height + c.extraHeight}))
        << def->name;
  }
}

}  // namespace
}  // namespace kestrin::testing
