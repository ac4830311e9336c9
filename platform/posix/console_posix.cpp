#include <unistd.h>

#include "platform/console.h"

namespace kestrin {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace kestrin
