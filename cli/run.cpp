#include "cli/run.h"

#include "primitives/fs_query.h"

namespace kestrin::cli {

std::string FolderOperand(const std::string& text, const PathStyle& style) {
  if (text.empty() || !IsDirectory(Fs(), text)) throw UsageError{text + ": not a folder"};
  std::string folder = text;
  if (!style.EndsWithSeparator(folder)) folder.push_back(style.Separator());
  return folder;
}

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

}  // namespace kestrin::cli
