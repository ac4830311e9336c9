#include "cli/output.h"

namespace kestrin::cli {

StopFlag g_stop;
void RaiseStop() { g_stop.Request(); }

}  // namespace kestrin::cli
