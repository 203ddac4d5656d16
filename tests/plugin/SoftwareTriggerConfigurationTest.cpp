// The software-trigger configuration over emulated node maps (writes, order, availability, missing
// nodes) and over a hand-made node map for what no device offers (an empty entry list, foreign
// exceptions), with the exact wrapped exceptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <stdexcept>

#include "PluginTestSupport.h"
#include "pylon/SoftwareTriggerConfiguration.h"

namespace {

using Pylon::CSoftwareTriggerConfiguration;

emu::NodeDescription* findNode(emu::NodeMapDescription& nodes, const std::string& name) {
  auto it =
      std::find_if(nodes.begin(), nodes.end(), [&](const emu::NodeDescription& n) { return n.name == name; });
  return it == nodes.end() ? nullptr : &*it;
}

void removeNode(emu::NodeMapDescription& nodes, const std::string& name) {
  nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                             [&](const emu::NodeDescription& n) { return n.name == name; }),
              nodes.end());
}

// A selector with these entries (name, access mode), in this order.
emu::NodeMapDescription withSelector(std::vector<emu::EntryDescription> entries) {
  emu::NodeMapDescription nodes = emu::DefaultNodeMap();
  emu::NodeDescription* selector = findNode(nodes, "TriggerSelector");
  selector->entries = std::move(entries);
  selector->value = selector->entries.empty() ? "" : selector->entries.front().name;
  return nodes;
}

std::string wrappedGeneric(const char* innerWhat) {
  return std::string(
             "Could not apply configuration. Pylon::GenericException caught in OnOpened method msg=") +
         innerWhat;
}

std::string nullPointerWhat() {
  return GenICam::LogicalErrorException("NULL pointer dereferenced", "genapi/pointer", 105,
                                        "LogicalErrorException")
      .what();
}

// Opens an emulated camera directly through the SDK, with no handler registered.
class ConfigurationTest : public PluginTest {
 protected:
  void openDirect(const emu::NodeMapDescription& nodes) {
    emu::CameraDescription description;
    description.nodes = nodes;
    device = std::make_unique<emu::EmulatedCamera>(addCamera(description));
    Pylon::PylonInitialize();
    Pylon::DeviceInfoList_t infos;
    ASSERT_EQ(Pylon::CTlFactory::GetInstance().EnumerateDevices(infos), 1);
    sdkCamera =
        std::make_unique<Pylon::CInstantCamera>(Pylon::CTlFactory::GetInstance().CreateDevice(infos[0]));
    sdkCamera->Open();
    device->ClearJournal();
  }
  void TearDown() override {
    sdkCamera.reset();
    Pylon::PylonTerminate();
    PluginTest::TearDown();
  }
  std::vector<std::string> writes() const { return nodeWrites(device->Journal()); }
  // Opens the camera again with the handler registered; the open must fail with the handler's
  // wrapped exception, which is returned.
  GenICam::RuntimeException reopenWithHandler() {
    sdkCamera->Close();
    device->ClearJournal();
    sdkCamera->RegisterConfiguration(new CSoftwareTriggerConfiguration, Pylon::RegistrationMode_ReplaceAll,
                                     Pylon::Cleanup_Delete);
    try {
      sdkCamera->Open();
    } catch (const GenICam::RuntimeException& e) {
      return e;
    }
    ADD_FAILURE() << "expected the wrapped failure";
    return GenICam::RuntimeException("", "", 0, "");
  }

  std::unique_ptr<emu::EmulatedCamera> device;
  std::unique_ptr<Pylon::CInstantCamera> sdkCamera;
};

struct WriteCase {
  const char* name;
  std::vector<emu::EntryDescription> entries;
  std::vector<std::string> writes;
};

class ConfigurationWrites : public ConfigurationTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ConfigurationWrites, ChoosesTheTriggerAndSwitchesTheOthersOff) {
  openDirect(withSelector(GetParam().entries));
  CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(sdkCamera->GetNodeMap());
  EXPECT_EQ(writes(), GetParam().writes);
  EXPECT_TRUE(log.lines().empty());
}

const std::vector<WriteCase> kWriteCases = {
    {"BothTriggersChooseFrameStart",
     {{"FrameStart", GenApi::RW}, {"AcquisitionStart", GenApi::RW}},
     {"TriggerSelector=FrameStart", "TriggerMode=On", "TriggerSource=Software",
      "TriggerSelector=AcquisitionStart", "TriggerMode=Off", "TriggerSelector=FrameStart",
      "AcquisitionMode=Continuous"}},
    {"OnlyAcquisitionStart",
     {{"AcquisitionStart", GenApi::RW}},
     {"TriggerSelector=AcquisitionStart", "TriggerMode=On", "TriggerSource=Software",
      "TriggerSelector=AcquisitionStart", "AcquisitionMode=Continuous"}},
    {"FrameStartNotImplementedCountsAsMissing",
     {{"FrameStart", GenApi::NI}, {"AcquisitionStart", GenApi::RW}},
     {"TriggerSelector=AcquisitionStart", "TriggerMode=On", "TriggerSource=Software",
      "TriggerSelector=AcquisitionStart", "AcquisitionMode=Continuous"}},
    {"FrameStartNotAvailableCountsAsMissing",
     {{"FrameStart", GenApi::NA}, {"AcquisitionStart", GenApi::RW}, {"LineStart", GenApi::RW}},
     {"TriggerSelector=AcquisitionStart", "TriggerMode=On", "TriggerSource=Software",
      "TriggerSelector=LineStart", "TriggerMode=Off", "TriggerSelector=AcquisitionStart",
      "AcquisitionMode=Continuous"}},
    {"EndsOnTheChosenTriggerWhateverTheOrder",
     {{"AcquisitionStart", GenApi::RW}, {"FrameStart", GenApi::RW}, {"FrameEnd", GenApi::RW}},
     {"TriggerSelector=AcquisitionStart", "TriggerMode=Off", "TriggerSelector=FrameStart", "TriggerMode=On",
      "TriggerSource=Software", "TriggerSelector=FrameEnd", "TriggerMode=Off", "TriggerSelector=FrameStart",
      "AcquisitionMode=Continuous"}},
    {"UnavailableEntriesAreNeitherSelectedNorSwitchedOff",
     {{"FrameStart", GenApi::RO},
      {"FrameBurstStart", GenApi::NI},
      {"AcquisitionStart", GenApi::NA},
      {"LineStart", static_cast<GenApi::EAccessMode>(7)}},
     {"TriggerSelector=FrameStart", "TriggerMode=On", "TriggerSource=Software", "TriggerSelector=LineStart",
      "TriggerMode=Off", "TriggerSelector=FrameStart", "AcquisitionMode=Continuous"}},
};

INSTANTIATE_TEST_SUITE_P(Selectors, ConfigurationWrites, ::testing::ValuesIn(kWriteCases),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ConfigurationTest, LeavesTheDeviceWaitingForSoftwareTriggers) {
  emu::NodeMapDescription nodes = emu::DefaultNodeMap();
  openDirect(nodes);
  device->SetNodeValue("TriggerMode", "On", "AcquisitionStart");
  device->SetNodeValue("TriggerSource", "Line1", "FrameStart");
  CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(sdkCamera->GetNodeMap());
  EXPECT_EQ(device->NodeValue("TriggerSelector"), "FrameStart");
  EXPECT_EQ(device->NodeValue("TriggerMode", "FrameStart"), "On");
  EXPECT_EQ(device->NodeValue("TriggerSource", "FrameStart"), "Software");
  EXPECT_EQ(device->NodeValue("TriggerMode", "AcquisitionStart"), "Off");
  EXPECT_EQ(device->NodeValue("AcquisitionMode"), "Continuous");
}

TEST_F(ConfigurationTest, NeitherTriggerAvailableRaisesBeforeAnyWrite) {
  openDirect(withSelector(
      {{"FrameStart", GenApi::NA}, {"AcquisitionStart", GenApi::NI}, {"LineStart", GenApi::RW}}));
  try {
    CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(sdkCamera->GetNodeMap());
    FAIL() << "expected a RuntimeException";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_STREQ(e.GetDescription(),
                 "Could not select trigger. Neither FrameStart nor AcquisitionStart is available.");
    EXPECT_STREQ(e.GetSourceFileName(), "pylon/softwaretriggerconfiguration");
    EXPECT_EQ(e.GetSourceLine(), 66U);
    EXPECT_STREQ(e.GetExceptionType(), "RuntimeException");
  }
  EXPECT_TRUE(writes().empty());
}

struct FailureCase {
  const char* name;
  std::function<void(emu::NodeMapDescription&)> change;
  std::vector<std::string> writesBeforeFailure;
};

class ConfigurationFailures : public ConfigurationTest, public ::testing::WithParamInterface<FailureCase> {};

// Each failure ends the configuration where it arises; what was written stays written, and opening
// the camera with the handler registered fails with the wrapped null-pointer failure.
TEST_P(ConfigurationFailures, MissingNodeFailsWhereItIsUsed) {
  emu::NodeMapDescription nodes = emu::DefaultNodeMap();
  GetParam().change(nodes);
  openDirect(nodes);
  EXPECT_THROW(CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(sdkCamera->GetNodeMap()),
               GenICam::LogicalErrorException);
  EXPECT_EQ(writes(), GetParam().writesBeforeFailure);

  const GenICam::RuntimeException e = reopenWithHandler();
  EXPECT_EQ(std::string(e.GetDescription()), wrappedGeneric(nullPointerWhat().c_str()).substr(0, 255));
  EXPECT_STREQ(e.GetSourceFileName(), "pylon/softwaretriggerconfiguration");
  EXPECT_EQ(e.GetSourceLine(), 130U);
  EXPECT_STREQ(e.GetExceptionType(), "RuntimeException");
  EXPECT_FALSE(sdkCamera->IsOpen());
}

const std::vector<FailureCase> kFailureCases = {
    {"NoSelector", [](emu::NodeMapDescription& n) { removeNode(n, "TriggerSelector"); }, {}},
    {"SelectorIsNoEnumeration",
     [](emu::NodeMapDescription& n) {
       emu::NodeDescription* selector = findNode(n, "TriggerSelector");
       selector->kind = emu::NodeKind::Integer;
       selector->entries.clear();
       selector->value = "0";
     },
     {}},
    {"NoTriggerMode",
     [](emu::NodeMapDescription& n) { removeNode(n, "TriggerMode"); },
     {"TriggerSelector=FrameStart"}},
    {"NoTriggerSource",
     [](emu::NodeMapDescription& n) { removeNode(n, "TriggerSource"); },
     {"TriggerSelector=FrameStart", "TriggerMode=On"}},
    {"NoAcquisitionMode",
     [](emu::NodeMapDescription& n) { removeNode(n, "AcquisitionMode"); },
     {"TriggerSelector=FrameStart", "TriggerMode=On", "TriggerSource=Software",
      "TriggerSelector=AcquisitionStart", "TriggerMode=Off", "TriggerSelector=FrameStart"}},
};

INSTANTIATE_TEST_SUITE_P(Nodes, ConfigurationFailures, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ConfigurationTest, RefusedValueIsWrappedWithTheSdkText) {
  emu::NodeMapDescription nodes = emu::DefaultNodeMap();
  findNode(nodes, "TriggerSource")->refusedValues = {"Software"};
  openDirect(nodes);
  std::string innerWhat;
  try {
    CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(sdkCamera->GetNodeMap());
  } catch (const GenICam::GenericException& e) {
    innerWhat = e.what();
  }
  ASSERT_FALSE(innerWhat.empty());
  EXPECT_EQ(std::string(reopenWithHandler().GetDescription()),
            wrappedGeneric(innerWhat.c_str()).substr(0, 255));
}

struct VerifiedWriteCase {
  const char* name;
  const char* node;
  const char* value;  // an entry the device lists but reports as not available
  std::vector<std::string> writesBeforeFailure;
};
void PrintTo(const VerifiedWriteCase& value, std::ostream* os) { *os << value.name; }

class VerifiedWrites : public ConfigurationTest, public ::testing::WithParamInterface<VerifiedWriteCase> {};

// Every write asks the device to verify the value: an entry it lists but cannot take now is refused
// at that write, instead of being written unchecked, and the open fails with that refusal wrapped.
TEST_P(VerifiedWrites, RefuseAnEntryTheDeviceCannotTake) {
  const VerifiedWriteCase& c = GetParam();
  emu::NodeMapDescription nodes = emu::DefaultNodeMap();
  for (emu::EntryDescription& entry : findNode(nodes, c.node)->entries) {
    if (entry.name == c.value) {
      entry.access = GenApi::NA;
    }
  }
  openDirect(nodes);
  std::string innerWhat;
  try {
    CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(sdkCamera->GetNodeMap());
    ADD_FAILURE() << "the write of " << c.value << " to " << c.node << " was not verified";
  } catch (const GenICam::AccessException& e) {
    EXPECT_EQ(std::string(e.GetDescription()),
              std::string("Entry '") + c.value + "' of node '" + c.node + "' is not available.");
    innerWhat = e.what();
  }
  EXPECT_EQ(writes(), c.writesBeforeFailure);
  EXPECT_EQ(std::string(reopenWithHandler().GetDescription()),
            wrappedGeneric(innerWhat.c_str()).substr(0, 255));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, VerifiedWrites,
    ::testing::Values(VerifiedWriteCase{"ModeOn", "TriggerMode", "On", {"TriggerSelector=FrameStart"}},
                      VerifiedWriteCase{"ModeOff",
                                        "TriggerMode",
                                        "Off",
                                        {"TriggerSelector=FrameStart", "TriggerMode=On",
                                         "TriggerSource=Software", "TriggerSelector=AcquisitionStart"}},
                      VerifiedWriteCase{"SourceSoftware",
                                        "TriggerSource",
                                        "Software",
                                        {"TriggerSelector=FrameStart", "TriggerMode=On"}},
                      VerifiedWriteCase{"AcquisitionContinuous",
                                        "AcquisitionMode",
                                        "Continuous",
                                        {"TriggerSelector=FrameStart", "TriggerMode=On",
                                         "TriggerSource=Software", "TriggerSelector=AcquisitionStart",
                                         "TriggerMode=Off", "TriggerSelector=FrameStart"}}),
    [](const ::testing::TestParamInfo<VerifiedWriteCase>& info) { return std::string(info.param.name); });

TEST_F(ConfigurationTest, LongInnerTextIsCutTo255CharactersInAll) {
  openDirect(emu::DefaultNodeMap());
  const std::string longText(400, 'x');
  device->FailNext("FromString:TriggerSelector", emu::Fault{"AccessException", longText});
  const std::string description = reopenWithHandler().GetDescription();
  EXPECT_EQ(description.size(), 255U);
  EXPECT_EQ(description, wrappedGeneric(std::string(170, 'x').c_str()));
}

// A node map made by hand, for entry lists and exceptions that no device produces.
class HandMadeEntry : public GenApi::IEnumEntry {
 public:
  HandMadeEntry(const char* name, GenApi::EAccessMode access) : m_name(name), m_access(access) {}
  GenApi::EAccessMode GetAccessMode() const override { return m_access; }
  GenICam::gcstring GetName() const override { return m_name; }
  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfIEnumEntry; }
  GenICam::gcstring GetSymbolic() const override { return m_name; }
  int64_t GetValue() const override { return 0; }

 private:
  GenICam::gcstring m_name;
  GenApi::EAccessMode m_access;
};

class HandMadeEnumeration : public GenApi::IEnumeration {
 public:
  explicit HandMadeEnumeration(const char* name) : m_name(name) {}
  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
  GenICam::gcstring GetName() const override { return m_name; }
  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfIEnumeration; }
  GenApi::IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) override {
    for (HandMadeEntry* entry : lookup) {
      if (entry->GetSymbolic() == symbolic) {
        return entry;
      }
    }
    return nullptr;
  }
  void GetEntries(GenApi::NodeList_t& entries) override {
    entries.insert(entries.end(), listed.begin(), listed.end());
  }
  void FromString(const GenICam::gcstring& value, bool /*verify*/) override {
    if (onWrite) {
      onWrite();
    }
    written->push_back(m_name.str() + "=" + value.str());
  }
  GenICam::gcstring ToString(bool, bool) override { return ""; }
  GenApi::IEnumEntry* GetCurrentEntry(bool, bool) override { return nullptr; }

  std::vector<HandMadeEntry*> lookup;
  std::vector<GenApi::INode*> listed;
  std::vector<std::string>* written = nullptr;
  std::function<void()> onWrite;

 private:
  GenICam::gcstring m_name;
};

class HandMadeNodeMap : public GenApi::INodeMap {
 public:
  HandMadeNodeMap() {
    for (HandMadeEnumeration* node : {&selector, &mode, &source, &acquisition}) {
      node->written = &written;
    }
    selector.lookup = {&frameStart};
  }
  GenApi::INode* GetNode(const GenICam::gcstring& name) const override {
    for (HandMadeEnumeration* node : {&selector, &mode, &source, &acquisition}) {
      if (node->GetName() == name) {
        return node;
      }
    }
    return nullptr;
  }
  void GetNodes(GenApi::NodeList_t& nodes) const override { nodes.push_back(&selector); }

  mutable HandMadeEnumeration selector{"TriggerSelector"};
  mutable HandMadeEnumeration mode{"TriggerMode"};
  mutable HandMadeEnumeration source{"TriggerSource"};
  mutable HandMadeEnumeration acquisition{"AcquisitionMode"};
  HandMadeEntry frameStart{"FrameStart", GenApi::RW};
  HandMadeEntry lineStart{"LineStart", GenApi::RW};
  std::vector<std::string> written;
};

// A camera whose node map is the hand-made one; it never needs a device.
class HandMadeCamera : public Pylon::CInstantCamera {
 public:
  GenApi::INodeMap& GetNodeMap() override { return nodeMap; }
  HandMadeNodeMap nodeMap;
};

TEST(HandMadeConfiguration, EmptyEntryListWritesOnlyTheSelectorAndAcquisitionMode) {
  HandMadeNodeMap nodeMap;
  CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(nodeMap);
  EXPECT_EQ(nodeMap.written,
            (std::vector<std::string>{"TriggerSelector=FrameStart", "AcquisitionMode=Continuous"}));
}

TEST(HandMadeConfiguration, NullAndForeignListNodesAreSkipped) {
  HandMadeNodeMap nodeMap;
  nodeMap.selector.listed = {nullptr, &nodeMap.mode, &nodeMap.lineStart, &nodeMap.frameStart};
  CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(nodeMap);
  EXPECT_EQ(nodeMap.written, (std::vector<std::string>{"TriggerSelector=LineStart", "TriggerMode=Off",
                                                       "TriggerSelector=FrameStart", "TriggerMode=On",
                                                       "TriggerSource=Software", "TriggerSelector=FrameStart",
                                                       "AcquisitionMode=Continuous"}));
}

struct ForeignCase {
  const char* name;
  std::function<void()> thrower;
  std::string description;
  unsigned int line;
};

class ForeignExceptions : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignExceptions, AreWrappedIntoOneRuntimeException) {
  HandMadeCamera camera;
  camera.nodeMap.acquisition.onWrite = GetParam().thrower;
  CSoftwareTriggerConfiguration handler;
  try {
    handler.OnOpened(camera);
    FAIL() << "expected a RuntimeException";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_EQ(std::string(e.GetDescription()), GetParam().description);
    EXPECT_STREQ(e.GetSourceFileName(), "pylon/softwaretriggerconfiguration");
    EXPECT_EQ(e.GetSourceLine(), GetParam().line);
    EXPECT_STREQ(e.GetExceptionType(), "RuntimeException");
  }
}

const std::string kStdPrefix = "Could not apply configuration. std::exception caught in OnOpened method msg=";
const std::string kGenericPrefix =
    "Could not apply configuration. Pylon::GenericException caught in OnOpened method msg=";

// A GenICam exception that is a standard exception as well, each part with a text of its own.
class DeviceFailure : public GenICam::RuntimeException, public std::runtime_error {
 public:
  DeviceFailure()
      : GenICam::RuntimeException("firmware refused", "camera/firmware", 7), std::runtime_error("std part") {}
};

INSTANTIATE_TEST_SUITE_P(
    Kinds, ForeignExceptions,
    ::testing::Values(
        ForeignCase{"StdException", [] { throw std::runtime_error("device gone"); },
                    kStdPrefix + "device gone", 134},
        ForeignCase{"LongStdExceptionIsCut", [] { throw std::runtime_error(std::string(300, 'y')); },
                    kStdPrefix + std::string(179, 'y'), 134},
        ForeignCase{"BadAlloc", [] { throw std::bad_alloc(); }, kStdPrefix + std::bad_alloc().what(), 134},
        // Both hierarchies: the GenICam handler comes first, with the GenICam text.
        ForeignCase{
            "GenICamAndStd", [] { throw DeviceFailure(); },
            kGenericPrefix + "firmware refused : RuntimeException thrown (file 'camera/firmware', line 7)",
            130},
        // GenICam's own allocation failure is no std::bad_alloc.
        ForeignCase{
            "GenICamBadAlloc", [] { throw GenICam::BadAllocException("out of buffers", "camera/pool", 3); },
            kGenericPrefix + "out of buffers : BadAllocException thrown (file 'camera/pool', line 3)", 130},
        ForeignCase{"Unknown", [] { throw 42; },
                    "Could not apply configuration. Unknown exception caught in OnOpened method.", 138}),
    [](const ::testing::TestParamInfo<ForeignCase>& info) { return std::string(info.param.name); });

}  // namespace
