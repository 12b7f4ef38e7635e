// Set-up shared by the control library's tests: DPI awareness as the setup declares it, and a
// watchdog, since a window test must never wait for a person.
#include <gtest/gtest.h>

#include "tests/lib/ui/ui_test_support.h"

namespace {

class TUiEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    uitest::MakeDpiAware();
    uitest::StartWatchdog(240000);
  }
};

const testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new TUiEnvironment);

}  // namespace
