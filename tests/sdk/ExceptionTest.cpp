// GenICam exceptions and their formatting, and the GenApi node pointer's conversions and failure.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>

#include <ostream>
#include <string>

#include "SdkTestSupport.h"

namespace {

TEST(GenericException, CarriesItsFourValuesAndAFullWhatText) {
  const GenICam::RuntimeException e("camera gone", "pylon/somewhere", 42);
  EXPECT_STREQ(e.GetDescription(), "camera gone");
  EXPECT_STREQ(e.GetSourceFileName(), "pylon/somewhere");
  EXPECT_EQ(e.GetSourceLine(), 42U);
  EXPECT_STREQ(e.GetExceptionType(), "RuntimeException");
  EXPECT_STREQ(e.what(), "camera gone : RuntimeException thrown (file 'pylon/somewhere', line 42)");
  const GenICam::GenericException copy = e;  // sliced copy keeps every value
  EXPECT_STREQ(copy.what(), e.what());
}

TEST(GenericException, KindsAreCaughtAsTheBaseAndAreNoStdException) {
  static_assert(!std::is_base_of<std::exception, GenICam::GenericException>::value);
  try {
    throw LOGICAL_ERROR_EXCEPTION("bad %d", 7);
  } catch (const GenICam::GenericException& e) {
    EXPECT_STREQ(e.GetDescription(), "bad 7");
    EXPECT_STREQ(e.GetExceptionType(), "LogicalErrorException");
    EXPECT_NE(dynamic_cast<const GenICam::LogicalErrorException*>(&e), nullptr);
    EXPECT_EQ(dynamic_cast<const GenICam::RuntimeException*>(&e), nullptr);
  }
}

struct FormatCase {
  const char* name;
  std::string (*format)();
  std::string expected;
};
void PrintTo(const FormatCase& value, std::ostream* os) { *os << value.name; }

std::string format(const char* text, ...) {
  va_list arguments;
  va_start(arguments, text);
  std::string result = GenICam::FormatExceptionDescription(text, arguments);
  va_end(arguments);
  return result;
}

class Formatting : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formatting, FormatsLikePrintfIntoAtMost255Characters) {
  EXPECT_EQ(GetParam().format(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Formatting,
    ::testing::Values(
        FormatCase{"Plain", [] { return format("no arguments"); }, "no arguments"},
        FormatCase{"HsIsAnEightBitString", [] { return format("msg=%hs!", "inner"); }, "msg=inner!"},
        FormatCase{"HsWithWidth", [] { return format("[%6hs]", "ab"); }, "[    ab]"},
        FormatCase{"PercentLiteralBeforeHs", [] { return format("100%%hs"); }, "100%hs"},
        FormatCase{"OtherConversions", [] { return format("%d %u %s %.2f", -3, 4U, "x", 1.5); },
                   "-3 4 x 1.50"},
        FormatCase{"ShortStaysShort", [] { return format("%hd", static_cast<short>(12)); }, "12"},
        FormatCase{"Exactly255Kept", [] { return format("%s", std::string(255, 'a').c_str()); },
                   std::string(255, 'a')},
        FormatCase{"LongerIsCutAt255", [] { return format("x%hs", std::string(400, 'b').c_str()); },
                   "x" + std::string(254, 'b')}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(ExceptionReporter, RaisesTheNamedKindWithFileLineAndType) {
  const GenICam::RuntimeException e =
      GenICam::ExceptionReporter<GenICam::RuntimeException>("pylon/softwaretriggerconfiguration", 130,
                                                            "RuntimeException")
          .Report("Could not apply configuration. msg=%hs", std::string(300, 'z').c_str());
  EXPECT_EQ(std::string(e.GetDescription()).size(), 255U);
  EXPECT_EQ(std::string(e.GetDescription()).substr(0, 35), "Could not apply configuration. msg=");
  EXPECT_STREQ(e.GetSourceFileName(), "pylon/softwaretriggerconfiguration");
  EXPECT_EQ(e.GetSourceLine(), 130U);
}

struct SourceFileCase {
  const char* name;
  void (*raise)();
  const char* file;
};
void PrintTo(const SourceFileCase& value, std::ostream* os) { *os << value.name; }

class SourceFile : public SdkTest, public ::testing::WithParamInterface<SourceFileCase> {};

// An exception names the file that raised it relative to the source tree, so its text, and where a
// description built from it is cut, is the same from any checkout and any build folder.
TEST_P(SourceFile, IsNamedRelativeToTheSourceTree) {
  try {
    GetParam().raise();
    FAIL() << "expected an exception";
  } catch (const GenICam::GenericException& e) {
    EXPECT_STREQ(e.GetSourceFileName(), GetParam().file);
    EXPECT_NE(std::string(e.what()).find(std::string("(file '") + GetParam().file + "', line "),
              std::string::npos)
        << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sites, SourceFile,
    ::testing::Values(
        SourceFileCase{"InstantCamera", [] { Pylon::CInstantCamera().Open(); }, "sdk/src/InstantCamera.cpp"},
        SourceFileCase{
            "EmulatedNode",
            [] {
              emu::AddCamera();
              Pylon::DeviceInfoList_t devices;
              Pylon::CTlFactory::GetInstance().EnumerateDevices(devices);
              Pylon::CInstantCamera camera(Pylon::CTlFactory::GetInstance().CreateDevice(devices.at(0)));
              camera.Open();
              GenApi::CEnumerationPtr(camera.GetNodeMap().GetNode("TriggerMode"))->FromString("Sometimes");
            },
            "sdk/emulation/src/EmulatedEnumeration.cpp"},
        SourceFileCase{"HeaderMacroInAClient", [] { throw RUNTIME_EXCEPTION("client"); },
                       "tests/sdk/ExceptionTest.cpp"}),
    [](const ::testing::TestParamInfo<SourceFileCase>& info) { return std::string(info.param.name); });

// Node pointers over an emulated node map: dynamic conversion and the empty pointer's failure.
class NodePointer : public SdkTest {};

TEST_F(NodePointer, ConvertsByTypeAndFailsOnlyWhenAnEmptyPointerIsUsed) {
  emu::AddCamera();
  Pylon::CInstantCamera camera(createDevice());
  camera.Open();
  GenApi::INodeMap& nodes = camera.GetNodeMap();

  GenApi::CEnumerationPtr selector = nodes.GetNode("TriggerSelector");
  ASSERT_TRUE(selector.IsValid());
  EXPECT_EQ(selector->ToString(), "FrameStart");
  GenApi::CPointer<GenApi::IEnumEntry> entry = selector->GetEntryByName("AcquisitionStart");
  ASSERT_TRUE(entry.IsValid());
  EXPECT_EQ(entry->GetSymbolic(), "AcquisitionStart");

  struct Case {
    const char* node;
    bool asEnumeration;
    bool asCommand;
    bool asInteger;
  };
  for (const Case& c : {Case{"TriggerMode", true, false, false}, Case{"TriggerSoftware", false, true, false},
                        Case{"Width", false, false, true}, Case{"NoSuchNode", false, false, false}}) {
    SCOPED_TRACE(c.node);
    EXPECT_EQ(GenApi::CEnumerationPtr(nodes.GetNode(c.node)).IsValid(), c.asEnumeration);
    EXPECT_EQ(GenApi::CCommandPtr(nodes.GetNode(c.node)).IsValid(), c.asCommand);
    EXPECT_EQ(GenApi::CIntegerPtr(nodes.GetNode(c.node)).IsValid(), c.asInteger);
  }

  GenApi::CEnumerationPtr missing = nodes.GetNode("Width");  // an integer is no enumeration
  try {
    missing->FromString("On");
    FAIL() << "an empty pointer must raise";
  } catch (const GenICam::LogicalErrorException& e) {
    EXPECT_STREQ(e.GetDescription(), "NULL pointer dereferenced");
    EXPECT_STREQ(e.GetSourceFileName(), "genapi/pointer");
    EXPECT_EQ(e.GetSourceLine(), 105U);
    EXPECT_STREQ(e.GetExceptionType(), "LogicalErrorException");
  }
}

}  // namespace
