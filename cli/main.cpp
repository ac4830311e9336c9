// kestrin-cli: the window's search, reference report, batch rename and copy as a console program, for
// build scripts and continuous integration. Options mirror the window's controls; the commands are the
// same core commands the window runs.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/copy.h"
#include "fileops/default_paths.h"
#include "fileops/planning_fs.h"
#include "fileops/rename.h"
#include "fileops/resource_names.h"
#include "platform/console.h"
#include "platform/filesystem.h"
#include "platform/path_style.h"
#include "platform/user_folders.h"
#include "primitives/command.h"
#include "primitives/command_sink.h"
#include "primitives/fs_query.h"
#include "search/reference_report.h"
#include "search/search.h"
#include "search/walk.h"

#ifndef KESTRIN_VERSION
#define KESTRIN_VERSION "unknown"
#endif

namespace kestrin::cli {
namespace {

constexpr char kProgram[] = "kestrin-cli";
constexpr int kSuccess = 0;
constexpr int kNothingOrFailed = 1;
constexpr int kUsage = 2;

constexpr char kHelp[] =
    "Usage:\n"
    "  kestrin-cli search [--name TEXT] [--ext EXT] [--content TEXT] [--ignore-case] [--hidden]\n"
    "                     [--no-recursive] [-0] FOLDER\n"
    "  kestrin-cli refs   [--with-dir] [--with-ext] [--ignore-case] [--hidden] [--no-recursive]\n"
    "                     [--unused] [-0] REF_FOLDER INPUT_FOLDER\n"
    "  kestrin-cli rename --old OLD [--new NEW] [--force] [--dry-run] [--hidden] [--no-recursive]\n"
    "                     [-0] FOLDER\n"
    "  kestrin-cli copy   --output DIR [--prefix PREFIX] [--dry-run] [--name TEXT] [--ext EXT]\n"
    "                     [--content TEXT] [--ignore-case] [--hidden] [--no-recursive] [-0] FOLDER\n"
    "  kestrin-cli --help | --version\n"
    "\n"
    "search  prints the paths of the files below FOLDER that pass every filter given: --name, a part of\n"
    "        the path; --ext, the extension (leading dots skipped); --content, a text the file holds.\n"
    "refs    prints COUNT<TAB>PATH for each file below REF_FOLDER (PATH relative to it): how many files\n"
    "        below INPUT_FOLDER hold its name (from a PublicRes or PlugApp folder on with --with-dir,\n"
    "        with its extension with --with-ext); --unused prints only the files that none holds.\n"
    "rename  replaces the first OLD in each file name below FOLDER (ASCII letters in either case) by\n"
    "        NEW; --force replaces another file that has the new name.\n"
    "copy    copies the files the search options select into a mirror tree below DIR, the part of\n"
    "        each path after PREFIX (by default the one the window proposes for FOLDER) kept.\n"
    "rename and copy print SOURCE<TAB>TARGET for each file renamed or copied; with --dry-run, for each\n"
    "file that would be, changing nothing. Sub-folders are searched unless --no-recursive; hidden\n"
    "entries only with --hidden; --ignore-case folds ASCII letters. -0 ends lines with NUL, and\n"
    "separates SOURCE and TARGET with NUL too.\n"
    "\n"
    "Each file that fails is reported on standard error with its reason. Exit status: 0 success (for\n"
    "search, at least one result); 1 no result, or at least one file failed; 2 a usage error or a folder\n"
    "that cannot be used. Ctrl-C or a termination request stops the command after the file in hand\n"
    "(status 130 or 143); so does a closed standard output, quietly (status 141).\n";

// A command line that cannot be run: reported in one line, exit status 2.
struct UsageError {
  std::string message;
};

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::optional<std::string> name;
  std::optional<std::string> ext;
  std::optional<std::string> content;
  std::optional<std::string> oldText;
  std::optional<std::string> newText;
  std::optional<std::string> output;
  std::optional<std::string> prefix;
  bool ignoreCase = false;
  bool hidden = false;
  bool recursive = true;
  bool withDir = false;
  bool withExt = false;
  bool unused = false;
  bool force = false;
  bool dryRun = false;
  bool nul = false;
};

// The options each command takes: a name, whether a value follows it, and where it goes.
struct OptionSpec {
  std::string_view name;
  std::string_view commands;  // the commands that take it, separated by spaces
  std::optional<std::string> Options::*text = nullptr;
  bool Options::*flag = nullptr;
  bool flagValue = true;
};

constexpr std::string_view kSearchLike = "search copy";
const OptionSpec kOptions[] = {
    {"--name", kSearchLike, &Options::name},
    {"--ext", kSearchLike, &Options::ext},
    {"--content", kSearchLike, &Options::content},
    {"--ignore-case", "search refs copy", nullptr, &Options::ignoreCase},
    {"--hidden", "search refs rename copy", nullptr, &Options::hidden},
    {"--no-recursive", "search refs rename copy", nullptr, &Options::recursive, false},
    {"--with-dir", "refs", nullptr, &Options::withDir},
    {"--with-ext", "refs", nullptr, &Options::withExt},
    {"--unused", "refs", nullptr, &Options::unused},
    {"--old", "rename", &Options::oldText},
    {"--new", "rename", &Options::newText},
    {"--force", "rename", nullptr, &Options::force},
    {"--dry-run", "rename copy", nullptr, &Options::dryRun},
    {"--output", "copy", &Options::output},
    {"--prefix", "copy", &Options::prefix},
    {"-0", "search refs rename copy", nullptr, &Options::nul},
};

bool Takes(std::string_view commands, std::string_view command) {
  for (std::size_t at = 0; at <= commands.size();) {
    const std::size_t end = std::min(commands.find(' ', at), commands.size());
    if (commands.substr(at, end - at) == command) return true;
    at = end + 1;
  }
  return false;
}

// The option an argument names (its text up to an '='), or null.
const OptionSpec* FindOption(std::string_view arg) {
  const std::string_view name = arg.substr(0, arg.find('='));
  for (const OptionSpec& spec : kOptions) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

// What the command line asks for instead of a command: --help, -h or --version where an option may
// stand. The value of an option that takes one is a value, whatever its text, and "--" ends the options.
enum class Request : unsigned char { Run, Help, Version };
Request RequestOf(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") return Request::Help;
    if (arg == "--version") return Request::Version;
    const OptionSpec* spec = i == 0 ? nullptr : FindOption(arg);
    if (spec != nullptr && spec->text != nullptr && arg.find('=') == std::string::npos) ++i;  // its value
  }
  return Request::Run;
}

Options Parse(const std::vector<std::string>& args) {
  Options options;
  options.command = args.front();
  bool operandsOnly = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (operandsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      options.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      operandsOnly = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equals);
    const OptionSpec* spec = FindOption(arg);
    if (spec == nullptr) throw UsageError{"unknown option " + std::string(name)};
    if (!Takes(spec->commands, options.command)) {
      throw UsageError{options.command + " does not take " + std::string(name)};
    }
    if (spec->text != nullptr) {
      if (equals != std::string::npos) {
        options.*(spec->text) = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        options.*(spec->text) = args[++i];
      } else {
        throw UsageError{std::string(name) + " needs a value"};
      }
    } else {
      if (equals != std::string::npos) throw UsageError{std::string(name) + " takes no value"};
      options.*(spec->flag) = spec->flagValue;
    }
  }
  return options;
}

// An empty text is no filter, as an empty box in the window.
std::optional<std::string> Filter(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  return text;
}

SearchFilters FiltersOf(const Options& options) {
  SearchFilters filters;
  filters.path = Filter(options.name);
  if (std::optional<std::string> ext = Filter(options.ext)) filters.extension = ExtensionFilterFromText(*ext);
  filters.content = Filter(options.content);
  filters.ignoreCase = options.ignoreCase;
  return filters;
}

// Raised by Ctrl-C, a termination request, or a write to standard output that failed: the command
// stops between files, as the window's stop button stops it.
StopFlag g_stop;
void RaiseStop() { g_stop.Request(); }

// Standard output, one line per result, each ended by a newline or, with -0, a NUL. A write that fails
// (the reader of a pipe went away, a full disk) raises the stop, and nothing more is written.
class Output {
 public:
  // eachLine: every line reaches the system as it is written, not when a buffer fills (a rename or copy
  // says at once what it did, whatever ends the process after).
  Output(bool nul, bool eachLine) : nul_(nul), eachLine_(eachLine) {}
  void Line(std::string_view text) { Write(text, nullptr); }
  // SOURCE and TARGET, separated by a TAB, or with -0 by a NUL.
  void Pair(std::string_view source, std::string_view target) { Write(source, &target); }
  std::size_t lines() const { return lines_; }

  // Flushes what is buffered. The errno of the first write that failed, or 0.
  int Finish() {
    errno = 0;
    if (error_ == 0 && std::fflush(stdout) != 0) Fail();
    return error_;
  }
  // The first write that failed did because the reader went away.
  bool brokenPipe() const { return brokenPipe_; }

 private:
  void Write(std::string_view first, const std::string_view* second) {
    if (error_ != 0) return;
    errno = 0;
    const char end = nul_ ? '\0' : '\n';
    bool ok = std::fwrite(first.data(), 1, first.size(), stdout) == first.size();
    if (ok && second != nullptr) {
      ok = std::fputc(nul_ ? '\0' : '\t', stdout) != EOF &&
           std::fwrite(second->data(), 1, second->size(), stdout) == second->size();
    }
    ok = ok && std::fputc(end, stdout) != EOF && (!eachLine_ || std::fflush(stdout) == 0);
    if (!ok) {
      Fail();
      return;
    }
    ++lines_;
  }
  void Fail() {
    const int error = errno;
    brokenPipe_ = BrokenPipe(error);
    error_ = error != 0 ? error : EIO;
    RaiseStop();
  }

  bool nul_;
  bool eachLine_;
  int error_ = 0;
  bool brokenPipe_ = false;
  std::size_t lines_ = 0;
};

// Standard error: the failures of a command as it meets them, and its progress while standard error is
// a terminal.
class Messages {
 public:
  Messages() : terminal_(StandardErrorIsTerminal()) {}
  ~Messages() { ClearProgress(); }

  void Failed(const Failure& failure) {
    ClearProgress();
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, failure.path.c_str(), ReasonText(failure).c_str());
    ++failed_;
  }
  std::size_t failed() const { return failed_; }

  // Shows "what i/n", at most a few hundred times a run.
  void Progress(const char* what, std::size_t i, std::size_t n) {
    if (!terminal_ || n == 0) return;
    const std::size_t step = n / 200 + 1;
    if (i % step != 0 && i + 1 != n) return;
    std::fprintf(stderr, "\r%s %s/%s", what, std::to_string(i + 1).c_str(), std::to_string(n).c_str());
    shown_ = true;
  }
  void ClearProgress() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%*s\r", 40, "");
    shown_ = false;
  }

 private:
  bool terminal_;
  bool shown_ = false;
  std::size_t failed_ = 0;
};

// A folder operand as the window stores a chosen folder: ending in a separator. Not a folder: a usage
// error.
std::string FolderOperand(const std::string& text, const PathStyle& style) {
  if (text.empty() || !IsDirectory(Fs(), text)) throw UsageError{text + ": not a folder"};
  std::string folder = text;
  if (!style.EndsWithSeparator(folder)) folder.push_back(style.Separator());
  return folder;
}

// A path taken from the working folder: neither from the root nor (Windows) from a drive.
bool IsRelative(std::string_view path, const PathStyle& style) {
  if (path.empty() || style.IsSeparator(static_cast<unsigned char>(path[0]))) return false;
  return !(style.windows && path.size() >= 2 && path[1] == ':');
}

void ExpectOperands(const Options& options, std::size_t count) {
  if (options.operands.size() < count) throw UsageError{options.command + ": a folder is missing"};
  if (options.operands.size() > count) {
    throw UsageError{options.command + ": unexpected operand " + options.operands[count]};
  }
}

// What the commands report: each failure on standard error as it comes, the progress of the command
// under way while standard error is a terminal, and each file a batch renamed or copied on standard
// output, as it is done.
class Reports : public CommandSink {
 public:
  Reports(Messages& messages, Output& output) : messages_(messages), output_(output) {}

  // The command about to run: its name in the progress line (none: no progress), its file count, and
  // whether the files it matches are results to print.
  void Begin(const char* what, std::size_t total, bool printMatches = false) {
    what_ = what;
    total_ = total;
    printMatches_ = printMatches;
  }
  std::size_t done() const { return done_; }

  void Progress(std::size_t index) override {
    if (what_ != nullptr) messages_.Progress(what_, index, total_);
  }
  void Outcome(const FileOutcome& outcome) override {
    switch (outcome.kind) {
      case FileOutcome::Kind::Failed:
        messages_.Failed(Failure{std::string(outcome.source), outcome.reason, std::string(outcome.detail)});
        break;
      case FileOutcome::Kind::Renamed:
      case FileOutcome::Kind::Copied:
        messages_.ClearProgress();
        output_.Pair(outcome.source, outcome.target);
        ++done_;
        break;
      case FileOutcome::Kind::Matched:
        if (printMatches_) {
          messages_.ClearProgress();
          output_.Line(outcome.source);
        }
        break;
      case FileOutcome::Kind::Skipped: break;
    }
  }
  void End() override {
    messages_.ClearProgress();
    what_ = nullptr;
  }

 private:
  Messages& messages_;
  Output& output_;
  const char* what_ = nullptr;
  std::size_t total_ = 0;
  bool printMatches_ = false;
  std::size_t done_ = 0;
};

// Runs commands on the native file system (or, for a dry run, on a plan over it) that stop when the
// stop flag is raised, with everything they report printed as it comes.
struct Run {
  const PathStyle& style = NativePathStyle();
  Messages messages;
  Output output;
  Reports reports{messages, output};
  FileSystem& fs = Fs();

  // eachLine: as Output takes it.
  Run(const Options& options, bool eachLine) : output(options.nul, eachLine) {}

  CommandEnv Env(FileSystem& on) { return CommandEnv{on, &g_stop, reports}; }

  // The files below the folder operand text. A top folder that cannot be listed is a folder that cannot
  // be used, as one that is not a folder.
  FileList Collect(const std::string& text, const Options& options) {
    const std::string folder = FolderOperand(text, style);
    FileList files;
    FailureList failures;
    FailureCollector collector(failures);
    CollectFiles(CommandEnv{fs, &g_stop, collector}, folder, files, options.recursive, options.hidden, style);
    for (const Failure& failure : failures.items()) {
      if (failure.path == folder) throw UsageError{text + ": " + ReasonText(failure)};
    }
    for (const Failure& failure : failures.items()) messages.Failed(failure);
    return files;
  }
  // The files that pass the search options; printed as they are found when printMatches.
  FileList Search(const FileList& files, const Options& options, bool printMatches) {
    reports.Begin("search", files.size(), printMatches);
    return FilterFiles(Env(fs), files, FiltersOf(options));
  }
  // The exit status: that of an interrupt when one came, then that of a closed output; otherwise 0 when
  // the command had a result and no file failed, else 1.
  int Status(bool haveResult) {
    const int error = output.Finish();
    if (const int interrupted = InterruptExitStatus(); interrupted != 0) return interrupted;
    if (output.brokenPipe()) return kBrokenPipeExitStatus;
    if (error != 0) {
      messages.ClearProgress();
      std::fprintf(stderr, "%s: standard output: %s\n", kProgram, std::strerror(error));
      return kNothingOrFailed;
    }
    return haveResult && messages.failed() == 0 ? kSuccess : kNothingOrFailed;
  }
};

int SearchCommand(const Options& options) {
  ExpectOperands(options, 1);
  Run run(options, false);
  // Each result is printed as it is found, so that a reader that has seen enough can stop the search; a
  // stop leaves those found so far, each of which holds what was asked for.
  const FileList results = run.Search(run.Collect(options.operands[0], options), options, true);
  return run.Status(!results.empty());
}

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
  return run.Status(run.output.lines() != 0);
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
  const FileList files = run.Collect(options.operands[0], options);
  // A dry run plans the batch: the same decisions, reported the same way, and nothing changed.
  PlanningFileSystem plan(run.fs, run.style);
  FileSystem& on = options.dryRun ? plan : run.fs;
  run.reports.Begin("rename", files.size());
  RenameFiles(run.Env(on), files, *options.oldText, newText, options.force, run.style);
  return run.Status(run.reports.done() != 0);
}

int CopyCommand(const Options& options) {
  ExpectOperands(options, 1);
  if (!options.output) throw UsageError{"copy: --output is missing"};
  Run run(options, true);
  if (OutputFolderFromText(*options.output, run.style).empty()) throw UsageError{"copy: --output names no folder"};
  const std::string folder = FolderOperand(options.operands[0], run.style);
  const FileList results = run.Search(run.Collect(options.operands[0], options), options, false);
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
  CopyFiles(run.Env(on), results, prefix, output.path, run.style);
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
    throw UsageError{"unknown command " + options.command};
  } catch (const UsageError& error) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", kProgram, error.message.c_str(), kProgram);
    return kUsage;
  }
}

}  // namespace
}  // namespace kestrin::cli

int main(int argc, char** argv) { return kestrin::cli::Main(argc, argv); }
