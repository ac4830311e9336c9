#pragma once
// The failure list as the window shows it: each file's path and why it was not done, in the window's
// language (kestrin-cli gives the same reasons in English).

#include <string>
#include <vector>

#include "primitives/command.h"
#include "ui/host.h"

namespace kestrin {

// The window's text of a reason (ui/texts.h), before translation; FailureReason::System: the text for a
// failure the system gave no words for.
const char* ReasonSourceText(FailureReason reason);

// The failures as the window lists them: the reasons' words translated by the host, the system's own
// words kept as it gave them.
std::vector<FailureLine> WindowFailureLines(DialogHost& host, const FailureList& failures);

}  // namespace kestrin
