// kestrin-cli: the window's search, reference report, batch rename and copy as a console program, for
// build scripts and continuous integration. Options mirror the window's controls; the commands are the
// same core commands the window runs.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/output.h"
#include "cli/run.h"
#include "cli/undo_command.h"
#include "fileops/copy.h"
#include "fileops/default_paths.h"
#include "fileops/planning_fs.h"
#include "fileops/rename.h"
#include "fileops/resource_names.h"
#include "platform/console.h"
#include "platform/user_folders.h"
#include "search/reference_report.h"

#ifndef KESTRIN_VERSION
#define KESTRIN_VERSION "unknown"
#endif

namespace kestrin::cli {
namespace {

int RefsCommand(const Options& options) {
  ExpectOperands(options, 2);
  Run run(options, false);
  const std::string refFolder = FolderOperand(options.operands[0], run.style);
  FolderOperand(options.operands[1], run.style);  // both are folders before either is walked
  const FileList refFiles = run.Collect(options.operands[0], options);
  const FileList files = run.Collect(options.operands[1], options);
  const std::vector<std::string> names = ReferenceNames(refFiles, options.withDir, options.withExt, run.style);
  run.reports.Begin("refs", files.size());
  const std::vector<std::size_t> counts = CountReferences(run.Env(run.fs), files, names, options.ignoreCase);
  // Stopped, the counts are those of part of the files: no line, rather than a resource said unused.
  for (std::size_t i = 0; i < refFiles.size() && !g_stop.Requested(); ++i) {
    if (options.unused && counts[i] != 0) continue;
    // As the reference list shows it: the path below the reference folder.
    run.output.Line(std::to_string(counts[i]) + '\t' + std::string(refFiles[i].substr(refFolder.size())));
  }
  return run.Status(run.output.lines() != 0, true);
}

int RenameCommand(const Options& options) {
  ExpectOperands(options, 1);
  if (!options.oldText || options.oldText->empty()) throw UsageError{"rename: --old is missing or empty"};
  const std::string newText = options.newText.value_or("");
  if (options.oldText->size() > kRenameTextLimit || newText.size() > kRenameTextLimit) {
    throw UsageError{"rename: --old and --new take at most " + std::to_string(kRenameTextLimit) + " bytes"};
  }
  Run run(options, true);
  // A file is renamed within its folder: a new name with a separator is none it could take.
  if (run.style.LastSeparator(newText) != std::string_view::npos) {
    throw UsageError{"rename: --new cannot hold a path separator"};
  }
  FileList files = run.Collect(options.operands[0], options);
  // The search options narrow the files renamed to those they select.
  if (const Selection selection(options, FolderOperand(options.operands[0], run.style)); selection.narrows()) {
    run.reports.Begin(nullptr, files.size());
    files = FilterSelection(run.Env(run.fs), files, selection.filters());
    if (g_stop.Requested()) return run.Status(false);
  }
  // A dry run plans the batch: the same decisions, reported the same way, and nothing changed.
  PlanningFileSystem plan(run.fs, run.style);
  FileSystem& on = options.dryRun ? plan : run.fs;
  run.reports.Begin("rename", files.size());
  const BatchJournalScope journal(BatchKind::Rename, !options.dryRun);
  CommandEnv env = run.Env(on);
  env.journal = journal.get();
  RenameFiles(env, files, *options.oldText, newText, options.force, run.style);
  return run.Status(run.reports.done() != 0);
}

int CopyCommand(const Options& options) {
  ExpectOperands(options, 1);
  if (!options.output) throw UsageError{"copy: --output is missing"};
  Run run(options, true);
  if (OutputFolderFromText(*options.output, run.style).empty()) throw UsageError{"copy: --output names no folder"};
  const std::string folder = FolderOperand(options.operands[0], run.style);
  const FileList results = run.Search(run.Collect(options.operands[0], options), options, folder, false);
  if (g_stop.Requested()) return run.Status(false);
  if (results.empty()) {
    std::fprintf(stderr, "%s: no files to copy\n", kProgram);
    return kNothingOrFailed;
  }
  // The prefix the window proposes for the folder.
  const std::string prefix =
      options.prefix ? *options.prefix : ComputeDefaultCopyPaths(folder, true, run.style, HomeFolder()).prefix;
  PlanningFileSystem plan(run.fs, run.style);
  FileSystem& on = options.dryRun ? plan : run.fs;
  PreparedFolder output = PrepareOutputFolder(on, *options.output, run.style);
  if (!output.created && IsRelative(*options.output, run.style)) {
    // A relative folder none of whose folders exists yet: below the working folder, as "./" says.
    output = PrepareOutputFolder(on, std::string(".") + run.style.Separator() + *options.output, run.style);
  }
  if (!output.created) throw UsageError{output.path + ": cannot create the output folder"};
  // An output folder the user may not write to is named once, rather than each source as failing.
  if (!on.MayChangeFolder(output.path)) {
    throw UsageError{output.path + ": " + ReasonText(Failure{output.path, FailureReason::PermissionDenied, {}})};
  }
  run.reports.Begin("copy", results.size());
  const BatchJournalScope journal(BatchKind::Copy, !options.dryRun);
  CommandEnv env = run.Env(on);
  env.journal = journal.get();
  CopyFiles(env, results, prefix, output.path, run.style);
  return run.Status(run.reports.done() != 0);
}

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fprintf(stderr, "%s: a command is missing (see %s --help)\n", kProgram, kProgram);
    return kUsage;
  }
  switch (RequestOf(args)) {
    case Request::Help:
      std::fputs(kHelp, stdout);
      return kSuccess;
    case Request::Version:
      std::printf("%s %s\n", kProgram, KESTRIN_VERSION);
      return kSuccess;
    case Request::Run:
      break;
  }
  try {
    const Options options = Parse(args);
    IgnoreBrokenPipe();
    CallOnInterrupt(RaiseStop);
    if (options.command == "search") return SearchCommand(options);
    if (options.command == "refs") return RefsCommand(options);
    if (options.command == "rename") return RenameCommand(options);
    if (options.command == "copy") return CopyCommand(options);
    if (options.command == "undo") return UndoCommand(options);
    throw UsageError{"unknown command " + options.command};
  } catch (const UsageError& error) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", kProgram, error.message.c_str(), kProgram);
    return kUsage;
  }
}

}  // namespace
}  // namespace kestrin::cli

int main(int argc, char** argv) { return kestrin::cli::Main(argc, argv); }
