// kestrin-cli search: the walk and the search streamed together, each result printed as it is found, as
// paths, matching lines or counts, in colour on a terminal, or as JSON objects.

#include <charconv>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/options.h"
#include "cli/output.h"
#include "cli/run.h"
#include "platform/console.h"
#include "search/substring_search.h"
#include "search/tree_search.h"

namespace kestrin::cli {

namespace {

// The colours a terminal shows paths, line numbers and matches in.
constexpr std::string_view kPathColour = "\x1b[35m";
constexpr std::string_view kLineColour = "\x1b[32m";
constexpr std::string_view kMatchColour = "\x1b[1m\x1b[31m";
constexpr std::string_view kPlain = "\x1b[0m";

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0U);
    }
    for (std::size_t k = 0; k < 4; ++k) out.push_back(k <= n ? kDigits[(group >> (18 - 6 * k)) & 63U] : '=');
  }
  return out;
}

// A path or a line in JSON: {"text": ...} when its bytes are UTF-8, else {"bytes": base64}.
nlohmann::json TextOrBytes(std::string_view bytes) {
  nlohmann::json text = std::string(bytes);
  try {
    static_cast<void>(text.dump());  // strict: throws on bytes that are not UTF-8
  } catch (const nlohmann::json::type_error&) {
    return {{"bytes", Base64(bytes)}};
  }
  return {{"text", std::move(text)}};
}

// Prints what the search finds in the form the options ask for.
class SearchPrinter {
 public:
  SearchPrinter(const Options& options, Output& output)
      : output_(output),
        json_(options.json),
        colour_(!options.json && (options.color.value_or("auto") == "always" ||
                                  (options.color.value_or("auto") == "auto" && StandardOutputTakesColour()))),
        pattern_(options.content.value_or(std::string())),
        highlight_(pattern_, options.ignoreCase) {}

  std::size_t matched() const { return matched_; }

  void Path(std::string_view path) {
    ++matched_;
    if (json_) {
      Json({{"type", "match"}, {"path", TextOrBytes(path)}});
    } else if (colour_) {
      output_.Line(Coloured(kPathColour, path));
    } else {
      output_.Line(path);
    }
  }

  // What a matching line of the file at path becomes, appended to out: the line as the options show it,
  // and its end. Made on the workers of the search, so it changes nothing here.
  void FormatLine(std::string_view path, const MatchedLine& line, std::string& out) const {
    if (json_) {
      out += nlohmann::json{{"type", "match"},
                            {"path", TextOrBytes(path)},
                            {"line", line.number},
                            {"text", TextOrBytes(line.text)}}
                 .dump();
    } else {
      AppendPath(path, out);
      out += ':';
      if (colour_) out += kLineColour;
      AppendNumber(line.number, out);
      if (colour_) out += kPlain;
      out += ':';
      if (colour_) {
        AppendHighlighted(line.text, out);
      } else {
        out += line.text;
      }
    }
    out += output_.LineEnd();
  }

  // A file's matching lines, as FormatLine made them, or their count.
  void Lines(std::string_view path, std::uint64_t matching, std::string_view text, bool countOnly) {
    ++matched_;
    if (!countOnly) {
      output_.Lines(text, matching);
    } else if (json_) {
      Json({{"type", "match"}, {"path", TextOrBytes(path)}, {"count", matching}});
    } else {
      std::string line;
      AppendPath(path, line);
      line += ':';
      AppendNumber(matching, line);
      output_.Line(line);
    }
  }

  void Failed(const Failure& failure) {
    if (json_) Json({{"type", "failure"}, {"path", TextOrBytes(failure.path)}, {"reason", ReasonText(failure)}});
  }

  void Summary(std::size_t searched, std::size_t failed, bool stopped) {
    if (!json_) return;
    Json({{"type", "summary"}, {"searched", searched}, {"matched", matched_}, {"failed", failed}, {"stopped", stopped}});
  }

 private:
  void Json(const nlohmann::json& object) { output_.Line(object.dump()); }

  void AppendPath(std::string_view path, std::string& out) const {
    if (colour_) out += kPathColour;
    out += path;
    if (colour_) out += kPlain;
  }
  static void AppendNumber(std::uint64_t number, std::string& out) {
    char digits[20];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    out.append(std::begin(digits), end);
  }
  static std::string Coloured(std::string_view colour, std::string_view text) {
    std::string out(colour);
    out.append(text);
    out.append(kPlain);
    return out;
  }
  // The line with every occurrence of the pattern in the match colour.
  void AppendHighlighted(std::string_view line, std::string& out) const {
    std::size_t from = 0;
    const std::size_t size = highlight_.PatternSize();
    while (size != 0 && from < line.size()) {
      const std::size_t at = highlight_.Find(line.data() + from, line.size() - from);
      if (at == SubstringSearcher::npos) break;
      out.append(line.substr(from, at));
      out.append(kMatchColour);
      out.append(line.substr(from + at, size));
      out.append(kPlain);
      from += at + size;
    }
    out.append(line.substr(std::min(from, line.size())));
  }

  Output& output_;
  bool json_;
  bool colour_;
  std::string pattern_;
  SubstringSearcher highlight_;  // refers to pattern_
  std::size_t matched_ = 0;
};

}  // namespace

int SearchCommand(const Options& options) {
  ExpectOperands(options, 1);
  Run run(options, false);
  const std::string folder = FolderOperand(options.operands[0], run.style);
  const Selection selection(options, folder);
  SearchPrinter printer(options, run.output);

  TreeSearchOptions search;
  search.walk = WalkOf(options);
  search.walk.linkNotices = true;  // links are no failures of a search
  search.filters = selection.filters();
  LineOutput lines;
  if (!options.count) {
    lines.format = [&](std::string_view path, const MatchedLine& line, std::string& out) {
      printer.FormatLine(path, line, out);
    };
  }
  lines.deliver = [&](std::size_t, std::string_view path, std::uint64_t matching, std::string_view text) {
    run.messages.ClearProgress();
    printer.Lines(path, matching, text, options.count);
  };
  if (options.count || options.lines) search.lines = &lines;

  // Each result is printed as it is found, while the walk goes on, so that a reader that has seen enough
  // can stop the search; a stop leaves those found so far, each of which holds what was asked for.
  run.reports.Begin("search", 0, search.lines == nullptr);
  run.reports.topFolder = folder;
  run.reports.onMatch = [&](std::string_view path) { printer.Path(path); };
  run.reports.onFailure = [&](const Failure& failure) { printer.Failed(failure); };
  const std::size_t searched = SearchTree(run.Env(run.fs), folder, search, run.style);
  if (run.reports.topFailure) throw UsageError{options.operands[0] + ": " + ReasonText(*run.reports.topFailure)};
  printer.Summary(searched, run.messages.failed(), g_stop.Requested());
  return run.Status(printer.matched() != 0, true);
}

}  // namespace kestrin::cli
