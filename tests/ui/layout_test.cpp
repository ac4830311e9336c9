// The layout table as both front-ends read it: rows the resource script can turn into a dialog template
// (frames and labels without identifiers, controls with unique named ones, flags only on the kinds whose
// window styles they stand for) and that fit inside the dialog.
#include <gtest/gtest.h>

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
  EXPECT_EQ(ids.size(), 26u);
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
      {kAutoCheck, {ControlKind::CheckBox}},
      {kBordered, {ControlKind::ProgressBar}},
      {kHiddenAtStart, {ControlKind::ProgressBar}},
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

}  // namespace
}  // namespace kestrin::testing
