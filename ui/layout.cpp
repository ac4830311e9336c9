#include "ui/layout.h"

#include <array>
#include <cstdint>

#include "ui/resource_ids.h"

namespace kestrin {
namespace {

constexpr unsigned kEdit = kAutoHScroll | kTabStop;
constexpr unsigned kReadOnlyEdit = kReadOnly | kAutoHScroll | kTabStop;
constexpr unsigned kList = kNotify | kAlwaysVScroll | kTabStop;
constexpr unsigned kCheck = kAutoCheck | kTabStop;

#define K_CONTROL(id) #id, id

constexpr std::array<ControlDef, 38> kControls{{
    // Frames and labels.
    {nullptr, -1, ControlKind::GroupBox, "文件路径", 7, 3, 662, 64, kStyleNone},
    {nullptr, -1, ControlKind::GroupBox, "文件名批量修改", 674, 3, 134, 102, kStyleNone},
    {nullptr, -1, ControlKind::GroupBox, "文件查找", 7, 70, 480, 406, kStyleNone},
    {nullptr, -1, ControlKind::Label, "文件输入目录:", 18, 14, 52, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "输入路径前缀:", 16, 33, 53, 8, kStyleNone},
    {nullptr, -1, ControlKind::Label, "拷贝输出路径:", 16, 50, 53, 8, kStyleNone},
    {nullptr, -1, ControlKind::Label, "查找文件名:", 15, 83, 44, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "文件后缀名:", 203, 84, 44, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "查找字符串:", 14, 103, 44, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "被替换的字符串:", 681, 29, 62, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "新的字符串:", 681, 58, 46, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "文件引用关联查找:", 493, 94, 87, 9, kStyleNone},
    {nullptr, -1, ControlKind::Label, "目录:", 491, 113, 20, 9, kStyleNone},
    // Controls, in tab order.
    {K_CONTROL(IDC_PROGRESS), ControlKind::ProgressBar, "", 7, 489, 800, 12, kBordered | kHiddenAtStart},
    {K_CONTROL(IDC_RESULT_LIST), ControlKind::ListBox, "", 12, 119, 470, 351, kList},
    {K_CONTROL(IDC_REF_LIST), ControlKind::ListBox, "", 492, 144, 315, 331, kList},
    {K_CONTROL(IDC_OPEN_INPUT), ControlKind::PushButton, "打开", 597, 11, 65, 15, kTabStop},
    {K_CONTROL(IDC_OPEN_REF), ControlKind::PushButton, "打开", 781, 109, 26, 15, kTabStop},
    {K_CONTROL(IDC_INPUT_PATH), ControlKind::Edit, "", 72, 12, 520, 14, kReadOnlyEdit},
    {K_CONTROL(IDC_NAME_FILTER), ControlKind::Edit, "", 61, 81, 136, 14, kEdit},
    {K_CONTROL(IDC_SEARCH), ControlKind::PushButton, "查找", 453, 99, 26, 15, kTabStop},
    {K_CONTROL(IDC_SEARCH_TEXT), ControlKind::Edit, "", 61, 100, 386, 14, kEdit},
    {K_CONTROL(IDC_EXT_FILTER), ControlKind::Edit, "", 249, 81, 46, 14, kEdit},
    {K_CONTROL(IDC_STATUS), ControlKind::Edit, "", 7, 480, 800, 14, kReadOnlyEdit},
    {K_CONTROL(IDC_REF_PATH), ControlKind::Edit, "", 514, 110, 263, 14, kEdit},
    {K_CONTROL(IDC_RENAME_OLD), ControlKind::Edit, "", 681, 41, 121, 14, kEdit},
    {K_CONTROL(IDC_RENAME), ControlKind::PushButton, "批量修改文件名", 680, 87, 63, 15, kTabStop},
    {K_CONTROL(IDC_RECURSIVE), ControlKind::CheckBox, "递归查找", 298, 82, 44, 13, kCheck},
    {K_CONTROL(IDC_IGNORE_CASE), ControlKind::CheckBox, "字母大小写不敏感", 344, 82, 76, 13, kCheck},
    {K_CONTROL(IDC_NAME_WITH_DIR), ControlKind::CheckBox, "文件名带目录", 492, 128, 64, 13, kCheck},
    {K_CONTROL(IDC_NAME_WITH_EXT), ControlKind::CheckBox, "文件名带后缀", 560, 128, 64, 13, kCheck},
    {K_CONTROL(IDC_INCLUDE_HIDDEN), ControlKind::CheckBox, "查找隐藏文件", 425, 82, 59, 13, kCheck},
    {K_CONTROL(IDC_RENAME_NEW), ControlKind::Edit, "", 681, 70, 121, 14, kEdit},
    {K_CONTROL(IDC_FORCE_RENAME), ControlKind::CheckBox, "强行修改,如有重名文件则删除", 681, 13, 121, 13, kCheck},
    {K_CONTROL(IDC_COPY), ControlKind::PushButton, "拷贝文件", 597, 47, 65, 14, kTabStop},
    {K_CONTROL(IDC_COPY_OUTPUT), ControlKind::Edit, "", 72, 47, 520, 14, kEdit},
    {K_CONTROL(IDC_PATH_PREFIX), ControlKind::Edit, "", 72, 30, 520, 14, kEdit},
    {K_CONTROL(IDC_OPEN_COPY_PATH), ControlKind::PushButton, "打开拷贝路径", 597, 30, 65, 14, kTabStop},
}};

#undef K_CONTROL

constexpr DialogDef kDialog{IDD_KESTRIN_DIALOG, "Kestrin", "宋体", 9, 134, 814, 501};

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
