#include "platform/filesystem.h"

namespace kestrin {

namespace {
// The double a test has put in place, or null for the native implementation. Commands may call it from
// several threads at once (the search reads files on workers); tests swap it only while no command runs,
// and a command's threads are started after the swap, so they all see the same one.
FileSystem* g_replacement = nullptr;
}  // namespace

FileSystem& Fs() { return g_replacement != nullptr ? *g_replacement : NativeFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(g_replacement) {
  g_replacement = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { g_replacement = previous_; }

}  // namespace kestrin
