// AravisSettings, read from the environment: the address list and its item asking for USB3 Vision
// devices, and the USB mode the Aravis backend gives those devices. Only the two mode names count
// (without regard to case or surrounding blanks); anything else keeps the default and is kept, cut
// to a bound, for the report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "AravisSettings.h"

namespace {

using Zazod::Aravis::AravisSettings;

struct UsbModeCase {
  const char* name;
  std::optional<std::string> value;  // unset when empty
  AravisSettings::UsbMode mode;
  std::string rejected;
};

// Test names and failure messages show the case's name.
void PrintTo(const UsbModeCase& c, std::ostream* out) { *out << c.name; }

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

struct AddressCase {
  const char* name;
  const char* value;  // null: unset
  bool hasAddresses;
  std::vector<std::string> addresses;
  bool listsUsb;
  std::vector<std::string> rejected;
};

void PrintTo(const AddressCase& c, std::ostream* out) { *out << c.name; }

class AravisAddresses : public ::testing::TestWithParam<AddressCase> {
 protected:
  void TearDown() override { unsetenv("ZAZOD_SDK_ARAVIS_ADDRESSES"); }
};

TEST_P(AravisAddresses, UsbIsAskedForByItsOwnItemOnly) {
  const AddressCase& c = GetParam();
  if (c.value != nullptr) {
    setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", c.value, 1);
  } else {
    unsetenv("ZAZOD_SDK_ARAVIS_ADDRESSES");
  }
  const AravisSettings settings = AravisSettings::fromEnvironment();
  EXPECT_EQ(settings.hasAddresses(), c.hasAddresses);
  EXPECT_EQ(settings.addresses(), c.addresses);
  EXPECT_EQ(settings.listsUsb(), c.listsUsb);
  EXPECT_EQ(settings.rejectedAddresses(), c.rejected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AravisAddresses,
    ::testing::Values(
        AddressCase{"Unset", nullptr, false, {}, false, {}}, AddressCase{"Empty", "", true, {}, false, {}},
        AddressCase{"AddressesOnly", "127.0.0.2, 127.0.0.3", true, {"127.0.0.2", "127.0.0.3"}, false, {}},
        AddressCase{"UsbAlone", "usb", true, {}, true, {}},
        AddressCase{"UsbAfterAddresses", "127.0.0.2,USB", true, {"127.0.0.2"}, true, {}},
        AddressCase{"UsbTwice", "usb,127.0.0.2,usb", true, {"127.0.0.2"}, true, {}},
        AddressCase{"NotQuiteUsb", "usb3,usbx", true, {}, false, {"usb3", "usbx"}}),
    [](const ::testing::TestParamInfo<AddressCase>& info) { return std::string(info.param.name); });

}  // namespace
