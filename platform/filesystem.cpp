#include "platform/filesystem.h"

namespace kestrin {

namespace {
// The double a test has put in place, or null for the native implementation. The program runs its file
// operations on one thread; tests swap the implementation only between operations.
FileSystem* g_replacement = nullptr;
}  // namespace

FileSystem& Fs() { return g_replacement != nullptr ? *g_replacement : NativeFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(g_replacement) {
  g_replacement = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { g_replacement = previous_; }

}  // namespace kestrin
