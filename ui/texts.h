#pragma once
// Every text the user sees, in one place. The sources are UTF-8; the Windows build compiles them to GBK.
// Texts with a %d or %s are printf formats.

namespace kestrin::text {

inline constexpr const char* kCaption = "Kestrin";
inline constexpr const char* kBrowseTitle = "Select input folder";
inline constexpr const char* kFontFace = "宋体";

// Status box.
inline constexpr const char* kFolderFileCount = "目录下共有%d个文件.";
inline constexpr const char* kSingleFileDropped = "拖入单个文件.";
inline constexpr const char* kNoFilesToSearch = "没有文件可查找.";
inline constexpr const char* kSearchSummary = "搜索%d个文件,找到%d个符合条件的文件.";
inline constexpr const char* kNoSearchString = "没有字符串可进行查找.";
inline constexpr const char* kStringFound = "找到字符串.";
inline constexpr const char* kStringNotFound = "未找到字符串.";
inline constexpr const char* kNoFilesToRename = "没有文件可修改.";
inline constexpr const char* kNoOldName = "没有输入旧的文件名,以进行修改.";
inline constexpr const char* kRenameSummary = "搜索%d个文件,修改了%d个符合条件的文件.";
inline constexpr const char* kCopyNoFiles = "拷贝失败, 没有可以拷贝的文件.";
inline constexpr const char* kCopyNoPath = "拷贝失败, 没有拷贝路径.";
inline constexpr const char* kCopyCannotCreate = "拷贝失败, 无法创建拷贝路径:%s.";
inline constexpr const char* kCopySummary = "拷贝完成, 其中成功:%d个, 失败:%d个.";
// A stopped command: this, then the command's summary of what it did before the stop.
inline constexpr const char* kStoppedPrefix = "已停止, ";
inline constexpr const char* kWalkStopped = "已停止, 目录下已列出%d个文件.";
// The reference report.
inline constexpr const char* kRefReportNoRefs = "没有引用文件可统计.";
inline constexpr const char* kRefReportNoInput = "没有输入文件可统计引用.";
inline constexpr const char* kRefReportSummary = "统计%d个引用文件, 其中%d个未被引用.";
inline constexpr const char* kRefReportStopped = "统计引用未完成.";

// The caption of a command's button while the command runs.
inline constexpr const char* kStop = "停止";
// A reference list line after a report: the line's path and its count.
inline constexpr const char* kRefCountLine = "%s  (%d)";

// The button beside the status box while the last command left failures: their number.
inline constexpr const char* kFailuresButton = "%d个失败";
// The list of the last command's failures.
inline constexpr const char* kFailuresCaption = "未完成的文件";
inline constexpr const char* kCopyAll = "复制";
inline constexpr const char* kOk = "确定";
// Why a file of the list was not done, one text a reason (the system's own words, where it gave some,
// follow in parentheses, as it gave them).
inline constexpr const char* kReasonPermissionDenied = "没有权限";
inline constexpr const char* kReasonVanished = "已不存在";
inline constexpr const char* kReasonReadOnlyTarget = "目标文件只读";
inline constexpr const char* kReasonTargetExists = "目标已存在";
inline constexpr const char* kReasonPathTooLong = "超出路径长度限制";
inline constexpr const char* kReasonNotRegularFile = "不是普通文件";
inline constexpr const char* kReasonFolderAlreadyWalked = "目录已通过另一个链接遍历过";
inline constexpr const char* kReasonChangedByBatch = "已被本批次的前一步改动";
inline constexpr const char* kReasonBatchResult = "是本批次自己的文件";
inline constexpr const char* kReasonNameUnchanged = "系统保留了旧文件名";
inline constexpr const char* kReasonCopiedByBatch = "本批次的另一个文件已拷贝到此处";
inline constexpr const char* kReasonTrashUnavailable = "无法将被替换的文件移到回收站";
inline constexpr const char* kReasonJournalUnwritable = "无法写入撤销记录";
inline constexpr const char* kReasonMovedSinceBatch = "已不是批次留下的文件";
inline constexpr const char* kReasonChangedSinceBatch = "批次之后已被修改";
inline constexpr const char* kReasonNotInTrash = "已不在回收站中";
inline constexpr const char* kReasonUnfinishedStep = "该步骤未完成,无法核对";
inline constexpr const char* kReasonUnknown = "未知错误";

// The caption of every message box.
inline constexpr const char* kBadCopyPathCaption = "提示";
// Message boxes: the folder named on the command line, or the output folder to open, is none; the desktop
// has no program for a file.
inline constexpr const char* kNotAFolder = "不是目录:%s.";
inline constexpr const char* kCannotOpen = "无法打开:%s.";

// Tooltips of the two copy path boxes.
inline constexpr const char* kPathPrefixTip = "拷贝时从每个文件的路径中去掉的开头部分, 路径的其余部分保留在输出目录下.";
inline constexpr const char* kCopyOutputTip = "拷贝的文件放到此目录下, 各自保留路径前缀之后的目录.";

// The preview of a rename: its caption, buttons and count, and why a file whose name holds the old text
// would keep its name.
inline constexpr const char* kPreviewCaption = "批量修改预览";
inline constexpr const char* kPreviewRun = "立即修改";
inline constexpr const char* kPreviewClose = "关闭";
inline constexpr const char* kPreviewCount = "将修改%d个文件, %d个文件不能修改.";
inline constexpr const char* kPreviewSameName = "新文件名与旧文件名相同";
inline constexpr const char* kPreviewBadName = "新文件名不可用";
// A preview stopped before its end shows nothing.
inline constexpr const char* kPreviewStopped = "预览未完成.";

// The undo button's tooltip, naming the batch it takes back (its files, and when it ran); the status after
// an undo.
inline constexpr const char* kUndoRenameTip = "撤销修改%d个文件名, %s";
inline constexpr const char* kUndoCopyTip = "撤销拷贝%d个文件, %s";
inline constexpr const char* kUndoSummary = "撤销完成, 恢复了%d个文件, %d个无法恢复.";
inline constexpr const char* kUndoNothing = "没有可撤销的批次.";

// Context menu of the result and reference lists.
inline constexpr const char* kMenuOpen = "打开";
inline constexpr const char* kMenuOpenFolder = "打开所在目录";
inline constexpr const char* kMenuCopyPath = "复制完整路径";
// The result list's own entries of its menu, and the save dialog of the export.
inline constexpr const char* kMenuCopySelected = "复制选中的路径";
inline constexpr const char* kMenuCopyAll = "复制全部路径";
inline constexpr const char* kMenuExport = "导出列表…";
inline constexpr const char* kExportTitle = "导出列表";
inline constexpr const char* kExportFailed = "无法写入:%s.";

// The matches pane: the count above its list, and the last line of a list cut at its length. A count
// that is "at least" stopped reading a huge file before its end.
inline constexpr const char* kMatchCount = "%d行匹配";
inline constexpr const char* kMatchCountAtLeast = "至少%d行匹配";
inline constexpr const char* kMatchMore = "还有%d行匹配未列出";
inline constexpr const char* kMatchMoreAtLeast = "还有至少%d行匹配未列出";
// The pane of a search without a content text: the file's first lines.
inline constexpr const char* kFirstLines = "文件的前%d行";
// The pane or the preview could not read the file: why.
inline constexpr const char* kCannotRead = "无法读取:%s";
// The preview of a reference file: an image's size in pixels and bytes, or the bytes alone.
inline constexpr const char* kPictureSize = "%d×%d像素, %d字节";
inline constexpr const char* kFileSize = "%d字节";

// Name of the per-user settings store the framework is given: the Windows build keeps the folders last
// chosen in the two folder browsers below it.
inline constexpr const char* kRegistryKey = "应用程序向导生成的本地应用程序";

}  // namespace kestrin::text
