#pragma once
// What every kestrin-cli command runs with: its folder operands, the file system, and the reports.

#include <cstddef>
#include <string>
#include <string_view>

#include <cstdio>
#include <cstring>

#include "cli/options.h"
#include "cli/output.h"
#include "platform/console.h"
#include "platform/filesystem.h"
#include "platform/path_style.h"
#include "primitives/file_list.h"
#include "search/search.h"
#include "search/walk.h"

namespace kestrin::cli {

// A folder operand as the window stores a chosen folder: ending in a separator. Not a folder: a usage
// error.
std::string FolderOperand(const std::string& text, const PathStyle& style);

// A path taken from the working folder: neither from the root nor (Windows) from a drive.
bool IsRelative(std::string_view path, const PathStyle& style);

// The command takes count operands: fewer or more are a usage error.
void ExpectOperands(const Options& options, std::size_t count);

// Runs commands on the native file system (or, for a dry run, on a plan over it) that stop when the
// stop flag is raised, with everything they report printed as it comes.
struct Run {
  const PathStyle& style = NativePathStyle();
  Messages messages;
  Output output;
  Reports reports{messages, output};
  FileSystem& fs = Fs();

  // eachLine: as Output takes it.
  Run(const Options& options, bool eachLine) : messages(options.verbose), output(options.nul, eachLine) {}

  CommandEnv Env(FileSystem& on) { return CommandEnv{on, &g_stop, reports}; }

  // The files below the folder operand text. A top folder that cannot be listed is a folder that cannot
  // be used, as one that is not a folder.
  FileList Collect(const std::string& text, const Options& options) {
    const std::string folder = FolderOperand(text, style);
    FileList files;
    FailureList failures;
    FailureCollector collector(failures);
    CollectFiles(CommandEnv{fs, &g_stop, collector}, folder, files, WalkOf(options), style);
    for (const Failure& failure : failures.items()) {
      if (failure.path == folder) throw UsageError{text + ": " + ReasonText(failure)};
    }
    for (const Failure& failure : failures.items()) messages.Failed(failure);
    return files;
  }
  // The files that pass the search options; printed as they are found when printMatches.
  FileList Search(const FileList& files, const Options& options, const std::string& folder, bool printMatches) {
    reports.Begin("search", files.size(), printMatches);
    const Selection selection(options, folder);
    return FilterSelection(Env(fs), files, selection.filters());
  }
  // The exit status: that of an interrupt when one came, then that of a closed output; otherwise 0 when
  // the command had a result and no file failed, else 1.
  // quietPipe: a closed output after something was printed is a success (search and refs, whose reader
  // may well have seen all it wanted).
  int Status(bool haveResult, bool quietPipe = false) {
    const int error = output.Finish();
    if (const int interrupted = InterruptExitStatus(); interrupted != 0) return interrupted;
    if (output.brokenPipe()) return quietPipe && output.lines() != 0 ? kSuccess : kBrokenPipeExitStatus;
    if (error != 0) {
      messages.ClearProgress();
      std::fprintf(stderr, "%s: standard output: %s\n", kProgram, std::strerror(error));
      return kNothingOrFailed;
    }
    return haveResult && messages.failed() == 0 ? kSuccess : kNothingOrFailed;
  }
};

// The commands, each in a file of its own where it is long.
int SearchCommand(const Options& options);

}  // namespace kestrin::cli
