#pragma once
// Reading many files in a row, as a search reads the files of a list: a reader belongs to one thread (a
// worker of a scan), and owns whatever makes its reads cheaper (the folder of its last file kept open,
// files opened and read ahead together, the sizes of its open files). Nothing of it is shared with other
// readers or threads, and everything it holds is given back when it is destroyed.
//
//   std::unique_ptr<FileReader> reader = fs.NewReader(options);    // on the worker that uses it
//   reader->Announce(paths, 4096);                                  // a hint: the files it opens next
//   FsResult<ReadHandle> file = reader->Open(paths[0]);             // the failure and its reason, or a handle
//   FsResult<std::size_t> n = reader->Read(file.value, buffer, size);
//   reader->Close(file.value);

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/failure_reason.h"

namespace kestrin {

// A handle of a file opened for reading; negative means none.
using ReadHandle = std::intptr_t;

struct ReaderOptions {
  // How many readers read at the same time (a scan's workers, each with its own): the descriptors a
  // reader may hold open for reading ahead are a share of what the process may open.
  unsigned readers = 1;
  // False: every file is opened and read on its own, as the system is asked for one file at a time; the
  // same bytes and the same failures either way.
  bool readAhead = true;
};

class FileReader {
 public:
  virtual ~FileReader() = default;

  // The files Open will be asked for next, in that order, and how many bytes of each are read first. A
  // reader may open them and read those bytes ahead, all together, in a few calls to the system; Open then
  // hands them out with the same checks and failures as if it had opened them itself. A hint only: files
  // opened in another order, or never announced, are opened and read all the same.
  virtual void Announce(const std::vector<std::string>& paths, std::size_t bytes) {
    static_cast<void>(paths);
    static_cast<void>(bytes);
  }

  // Opens a regular file for reading without ever blocking. What was actually opened is checked, whatever
  // a listing said of the path before: a FIFO, a device or a folder (put in the file's place since) is
  // never read, and fails with FailureReason::NotRegularFile.
  virtual FsResult<ReadHandle> Open(const std::string& path) = 0;

  // Reads up to size bytes: the count read, 0 at the end of the file.
  virtual FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) = 0;

  // Read without the copy, where the reader holds the next bytes of the file in memory already (as those
  // read ahead): points data at up to size of them and returns how many, moving on in the file exactly as
  // Read would, so that the two may take turns on one handle and see the file's bytes in order. The bytes
  // stay as they are until the handle is closed. 0, with nothing changed, where it holds none: the caller
  // reads with Read, which also tells the end of the file and errors.
  virtual std::size_t ReadInPlace(ReadHandle handle, const unsigned char*& data, std::size_t size) {
    static_cast<void>(handle);
    static_cast<void>(data);
    static_cast<void>(size);
    return 0;
  }

  virtual void Close(ReadHandle handle) = 0;

  // Whether announced files are read ahead together (with the system's help where it offers it).
  virtual bool ReadsAhead() const { return false; }
};

}  // namespace kestrin
