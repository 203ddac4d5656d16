// AravisSettings: the USB mode the Aravis backend gives USB3 Vision devices, read from the
// environment. Only the two mode names count (without regard to case or surrounding blanks);
// anything else keeps the default and is kept, cut to a bound, for the report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "AravisSettings.h"

namespace {

using Zazod::Aravis::AravisSettings;

struct UsbModeCase {
  const char* name;
  std::optional<std::string> value;  // unset when empty
  AravisSettings::UsbMode mode;
  std::string rejected;
};

class AravisUsbMode : public ::testing::TestWithParam<UsbModeCase> {
 protected:
  void TearDown() override { unsetenv("ZAZOD_SDK_ARAVIS_USB_MODE"); }
};

TEST_P(AravisUsbMode, OnlyTheTwoModeNamesCount) {
  const UsbModeCase& c = GetParam();
  if (c.value) {
    setenv("ZAZOD_SDK_ARAVIS_USB_MODE", c.value->c_str(), 1);
  } else {
    unsetenv("ZAZOD_SDK_ARAVIS_USB_MODE");
  }
  const AravisSettings settings = AravisSettings::fromEnvironment();
  EXPECT_EQ(settings.usbMode(), c.mode);
  EXPECT_EQ(settings.rejectedUsbMode(), c.rejected);
}

const std::string kLong(200, 'x');

INSTANTIATE_TEST_SUITE_P(
    Values, AravisUsbMode,
    ::testing::Values(UsbModeCase{"Unset", std::nullopt, AravisSettings::UsbMode::Sync, ""},
                      UsbModeCase{"Empty", "", AravisSettings::UsbMode::Sync, ""},
                      UsbModeCase{"Sync", "sync", AravisSettings::UsbMode::Sync, ""},
                      UsbModeCase{"Async", "async", AravisSettings::UsbMode::Async, ""},
                      UsbModeCase{"BlanksAndCase", " ASYNC ", AravisSettings::UsbMode::Async, ""},
                      UsbModeCase{"OtherWord", "asynchronous", AravisSettings::UsbMode::Sync, "asynchronous"},
                      UsbModeCase{"TwoItems", "sync,async", AravisSettings::UsbMode::Sync, "sync,async"},
                      UsbModeCase{"LongValueCut", kLong, AravisSettings::UsbMode::Sync,
                                  std::string(64, 'x')}),
    [](const ::testing::TestParamInfo<UsbModeCase>& info) { return std::string(info.param.name); });

}  // namespace
