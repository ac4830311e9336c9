// Prints, when the run ends, how many fault cases ran and how many files were compared after them.
#include <cstdio>

#include "faults/fault_fixture.h"

namespace kestrin::faults {
namespace {

class TotalsPrinter : public ::testing::Environment {
 public:
  void TearDown() override {
    if (Totals::faultCases == 0) return;
    std::printf("fault cases: %zu, files compared afterwards: %zu (%zu bytes)\n", Totals::faultCases,
                Totals::filesChecked, Totals::bytesChecked);
  }
};

[[maybe_unused]] ::testing::Environment* const kTotals = ::testing::AddGlobalTestEnvironment(new TotalsPrinter);

}  // namespace
}  // namespace kestrin::faults
