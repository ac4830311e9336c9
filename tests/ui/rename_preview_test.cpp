// The rename's preview and the rename of the results only, on a headless window over an in-memory disk:
// what the preview lists is what the rename then does, and the results-only rename touches the listed
// files alone and lists them under their new names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/rename.h"
#include "support/memory_fs.h"
#include "ui/failure_text.h"
#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/resource_ids.h"

namespace kestrin::testing {
namespace {

using Lines = std::vector<std::string>;

// Names taken by files and by a folder, a later entry that still holds the old text, a file without it
// and a name in other case: every outcome a rename has, with force and without.
void MakeTree(MemoryFileSystem& fs) {
  fs.AddFile("/in/a_old.txt", "A").AddFile("/in/a_new.txt", "older A");
  fs.AddFile("/in/b_old.txt", "B").AddFile("/in/c.txt", "C").AddFile("/in/d_OLD.txt", "D");
  fs.AddFile("/in/h_old_old.txt", "H1").AddFile("/in/h_new_old.txt", "H2");
  fs.AddFile("/in/sub/e_old.txt", "E").AddFolder("/in/sub/e_new.txt");
}

// Every path of the disk with a file's content.
Lines Snapshot(const MemoryFileSystem& fs) {
  Lines lines;
  for (const std::string& path : fs.Paths()) lines.push_back(path + " " + fs.Content(path).value_or("(folder)"));
  return lines;
}

// What the rename itself reports on a disk: each rename as "SOURCE\tTARGET", each failure as the window
// lists it.
struct RealRun : CommandSink {
  Lines renames;
  void Outcome(const FileOutcome& outcome) override {
    if (outcome.kind == FileOutcome::Kind::Renamed) {
      renames.push_back(std::string(outcome.source) + "\t" + std::string(outcome.target));
    }
  }
};

Lines PreviewRenames(const RenamePreview& preview) {
  Lines lines;
  for (const RenamePreview::Rename& r : preview.renames) lines.push_back(r.source + "\t" + r.target);
  return lines;
}

Lines Joined(const std::vector<FailureLine>& lines) {
  Lines out;
  for (const FailureLine& line : lines) out.push_back(line.path + ": " + line.reason);
  return out;
}

struct Window {
  Window() : fs(PathStyle::Posix()), use(fs), dlg(host, PathStyle::Posix()) {
    dlg.OnInitDialog();
    MakeTree(fs);
    host.QueueBrowseAnswer("/in");
    dlg.OnOpenInputFolder();
  }
  void Type(const char* oldText, const char* newText, bool force) {
    host.Type(IDC_RENAME_OLD, oldText);
    host.Type(IDC_RENAME_NEW, newText);
    host.SetChecked(IDC_FORCE_RENAME, force);
  }
  headless::HeadlessHost host;
  MemoryFileSystem fs;
  ScopedFileSystem use;
  CKestrinDlg dlg;
};

TEST(RenamePreview, ListsWhatTheRenameThenDoesAndChangesNothing) {
  struct Case {
    const char* oldText;
    const char* newText;
    bool force;
    Lines skipped;  // the files whose name holds the old text that keep it for their new name's sake
  };
  const Case cases[] = {
      {"_old", "_new", false, {}},
      {"_old", "_new", true, {}},
      {"old", "OLD", false, {"/in/d_OLD.txt: 新文件名与旧文件名相同"}},
      {"_old", "/x", false,
       {"/in/a_old.txt: 新文件名不可用", "/in/b_old.txt: 新文件名不可用", "/in/d_OLD.txt: 新文件名不可用",
        "/in/h_old_old.txt: 新文件名不可用", "/in/h_new_old.txt: 新文件名不可用", "/in/sub/e_old.txt: 新文件名不可用"}},
      {"_old.", "_old.", false,
       {"/in/a_old.txt: 新文件名与旧文件名相同", "/in/b_old.txt: 新文件名与旧文件名相同",
        "/in/h_old_old.txt: 新文件名与旧文件名相同", "/in/h_new_old.txt: 新文件名与旧文件名相同",
        "/in/sub/e_old.txt: 新文件名与旧文件名相同"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.oldText) + " -> " + c.newText + (c.force ? ", force" : ""));
    Window w;
    w.Type(c.oldText, c.newText, c.force);
    const Lines before = Snapshot(w.fs);
    w.dlg.OnCommand(IDC_RENAME_PREVIEW, Notify::Clicked);
    const RenamePreview* preview = w.host.Preview();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(Snapshot(w.fs), before);
    EXPECT_TRUE(w.dlg.Failures().empty()) << "a preview is no run: it leaves no failures";

    // The same rename on a disk of its own.
    MemoryFileSystem reference(PathStyle::Posix());
    MakeTree(reference);
    RealRun real;
    FailureList failures;
    FailureCollector collector(failures, real);
    RenameFiles(CommandEnv{reference, nullptr, collector}, w.dlg.Files(), c.oldText, c.newText, c.force,
                PathStyle::Posix());
    EXPECT_EQ(PreviewRenames(*preview), real.renames);
    Lines expectedKept = Joined(WindowFailureLines(w.host, failures));
    Lines kept = Joined(preview->kept);
    Lines skipped;
    std::erase_if(kept, [&](const std::string& line) {
      const bool skip = line.ends_with(": 新文件名不可用") || line.ends_with(": 新文件名与旧文件名相同");
      if (skip) skipped.push_back(line);
      return skip;
    });
    EXPECT_EQ(kept, expectedKept);
    EXPECT_EQ(skipped, c.skipped);
    EXPECT_EQ(preview->count, "将修改" + std::to_string(real.renames.size()) + "个文件, " +
                                  std::to_string(preview->kept.size()) + "个文件不能修改.");

    // Its run button is the rename: the disk ends as the reference's, with the same failures.
    w.host.ClosePreview();
    EXPECT_TRUE(w.dlg.OnCommand(IDC_PREVIEW_RUN, Notify::Clicked));
    EXPECT_EQ(Snapshot(w.fs), Snapshot(reference));
    EXPECT_EQ(Joined(w.dlg.FailureLines()), expectedKept);
    // Answered once: a second answer finds no preview.
    EXPECT_FALSE(w.dlg.OnCommand(IDC_PREVIEW_RUN, Notify::Clicked));
  }
}

TEST(RenamePreview, CloseRenamesNothingAndAStopShowsNoPreview) {
  Window w;
  w.Type("_old", "_new", false);
  const Lines before = Snapshot(w.fs);
  w.dlg.OnRenamePreview();
  ASSERT_NE(w.host.Preview(), nullptr);
  w.host.ClosePreview();
  EXPECT_TRUE(w.dlg.OnCommand(IDC_PREVIEW_CLOSE, Notify::Clicked));
  EXPECT_FALSE(w.dlg.OnCommand(IDC_PREVIEW_RUN, Notify::Clicked));
  EXPECT_EQ(Snapshot(w.fs), before);

  // Nothing to preview: the rename's own texts.
  w.host.Type(IDC_RENAME_OLD, "");
  w.dlg.OnRenamePreview();
  EXPECT_EQ(w.host.Text(IDC_STATUS), "没有输入旧的文件名,以进行修改.");
  EXPECT_EQ(w.host.PreviewsShown(), 1u);
}

// The files of the list are those the search found; the rename of the results only leaves the others and
// lists the results under their new names, in their order. Unchecked, every collected file is renamed.
TEST(RenameResultsOnly, RenamesTheListedFilesAndListsThemUnderTheirNewNames) {
  Window w;
  w.host.Type(IDC_EXT_FILTER, "txt");
  w.host.Type(IDC_NAME_FILTER, "_");
  w.dlg.OnSearch();
  ASSERT_EQ(w.host.Lines(IDC_RESULT_LIST).size(), 7u);
  w.fs.AddFile("/in/z_old.png", "Z");  // a file the results do not hold
  w.dlg.OnRecursiveClicked();  // collected again, the results unchanged
  w.Type("_old", "_new", false);
  w.host.SetChecked(IDC_RENAME_RESULTS_ONLY, true);

  w.dlg.OnRenamePreview();
  ASSERT_NE(w.host.Preview(), nullptr);
  for (const RenamePreview::Rename& r : w.host.Preview()->renames) EXPECT_NE(r.source, "/in/z_old.png");
  w.host.ClosePreview();
  w.dlg.OnCommand(IDC_PREVIEW_RUN, Notify::Clicked);

  EXPECT_EQ(w.host.Text(IDC_STATUS), "搜索7个文件,修改了3个符合条件的文件.");
  EXPECT_TRUE(w.fs.Exists("/in/z_old.png"));
  EXPECT_EQ(w.host.Lines(IDC_RESULT_LIST),
            (Lines{"/in/a_old.txt", "/in/a_new.txt", "/in/b_new.txt", "/in/d_new.txt", "/in/h_old_old.txt",
                   "/in/h_new_new.txt", "/in/sub/e_old.txt"}));
  const FileList& results = w.dlg.Results();
  ASSERT_EQ(results.size(), 7u);
  EXPECT_EQ(results[2], "/in/b_new.txt");
  // The input list is collected anew, as after every rename.
  EXPECT_EQ(w.dlg.Files().size(), 9u);
  for (std::size_t i = 0; i < w.dlg.Files().size(); ++i) EXPECT_NE(w.dlg.Files()[i], "/in/b_old.txt");

  // Unchecked: every collected file, and the list empties.
  w.host.SetChecked(IDC_RENAME_RESULTS_ONLY, false);
  w.dlg.OnBatchRename();
  EXPECT_TRUE(w.fs.Exists("/in/z_new.png"));
  EXPECT_TRUE(w.host.Lines(IDC_RESULT_LIST).empty());
  // The results it no longer shows are none of a rename of the results.
  w.fs.AddFile("/in/y_new.txt");
  w.Type("_new", "_x", false);
  w.host.SetChecked(IDC_RENAME_RESULTS_ONLY, true);
  w.dlg.OnBatchRename();
  EXPECT_EQ(w.host.Text(IDC_STATUS), "没有文件可修改.");
  EXPECT_TRUE(w.fs.Exists("/in/y_new.txt"));
}

}  // namespace
}  // namespace kestrin::testing
