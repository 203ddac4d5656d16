// Fault injection at every SDK call the module makes: for each call site, a GenericException and a
// std::bad_alloc thrown there, and what the module's operation returns, logs and leaves in the flags;
// afterwards the object must close, open and deliver a frame again. Leaks show up in the
// AddressSanitizer run of this suite.
#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "PluginTestSupport.h"

namespace {

using std::chrono::seconds;

// The module operation that runs into the fault, from the state it needs.
enum class Scenario {
  Create,             // constructing the object (SDK initialisation)
  Enumerate,          // IEnumCameras
  Open,               // IOpenCamera on a fresh object
  OpenWhileGrabbing,  // IOpenCamera on an object grabbing in mode 2
  Start,              // IStartCamera, request 2, on an open idle object
  Restart,            // IStartCamera, request 3, on an object grabbing in mode 2
  SnapSwitch,         // ISnapCamera on an object grabbing in mode 1
  Snap,               // ISnapCamera on an object grabbing in mode 2
  Stop,               // IStopCamera on an object grabbing in mode 2
  Close,              // ICloseCamera on an object grabbing in mode 2
  Frame,              // two snaps in mode 2; the fault hits the first good result
  FailedFrame,        // two snaps in mode 2; the fault hits the first, failed, result
};

const char* scenarioName(Scenario s) {
  switch (s) {
    case Scenario::Create:
      return "Create";
    case Scenario::Enumerate:
      return "Enumerate";
    case Scenario::Open:
      return "Open";
    case Scenario::OpenWhileGrabbing:
      return "OpenWhileGrabbing";
    case Scenario::Start:
      return "Start";
    case Scenario::Restart:
      return "Restart";
    case Scenario::SnapSwitch:
      return "SnapSwitch";
    case Scenario::Snap:
      return "Snap";
    case Scenario::Stop:
      return "Stop";
    case Scenario::Close:
      return "Close";
    case Scenario::Frame:
      return "Frame";
    case Scenario::FailedFrame:
      return "FailedFrame";
  }
  return "?";
}

constexpr const char* kOpen = "CCameraBasler::IOpenCamera";
constexpr const char* kStart = "CCameraBasler::IStartCamera";
constexpr const char* kSnap = "CCameraBasler::ISnapCamera";
constexpr const char* kStop = "CCameraBasler::IStopCamera";
constexpr const char* kClose = "CCameraBasler::ICloseCamera";
constexpr const char* kFrame = "CCameraBasler::OnImageGrabbed";

// An expected line; "{cfg}" stands for the CameraConfig address item.
enum class Line { StopLine, StartLine, CloseTag, CloseLine, OpenSuccess, Critical, Wrapped, FrameTwo };
struct Expected {
  Line line;
  const char* tag = nullptr;
};
Expected stopLine(const char* tag) { return {Line::StopLine, tag}; }
Expected startLine(const char* tag) { return {Line::StartLine, tag}; }
Expected critical(const char* tag) { return {Line::Critical, tag}; }
const Expected kCloseTagLine{Line::CloseTag};
const Expected kCloseLine{Line::CloseLine};
const Expected kOpenSuccess{Line::OpenSuccess};
const Expected kWrapped{Line::Wrapped, kOpen};  // the configuration's wrapping of the fault
const Expected kFrameTwo{Line::FrameTwo};

// What happens to a std::bad_alloc thrown at the site.
enum class BadAlloc {
  Propagates,  // leaves the operation: the lines up to the first critical one are logged
  Wrapped,     // the configuration wraps it into its RuntimeException: the critical line says so
  Escapes,     // on the grab thread it escapes to the SDK's loop: no critical line, nothing else
};

struct Flags {
  bool opened;
  bool grabbing;
  int32_t mode;
};

constexpr int kThrows = -100;  // the GenericException leaves the operation
constexpr int kNoResult = -1;  // the operation returns nothing

struct Row {
  const char* site;
  Scenario scenario;
  int result;  // for the GenericException
  std::vector<Expected> lines;
  Flags flags;
  BadAlloc badAlloc = BadAlloc::Propagates;
  // The flags a std::bad_alloc leaves, where they differ from the GenericException's: it is not
  // caught, so the operation ends where it was thrown.
  std::optional<Flags> badAllocFlags = std::nullopt;
};

struct Case {
  Row row;
  bool badAlloc;
};

const Flags kClosed{false, false, 0};
const Flags kOpenIdle{true, false, 0};
const Flags kGrabbing2{true, true, 2};
const Flags kOpenGrabbing2{true, true, 2};

// Every call site, by the scenario that reaches it.
std::vector<Row> rows() {
  std::vector<Row> r;
  r.push_back({"PylonInitialize", Scenario::Create, kThrows, {}, kClosed});
  for (const char* site : {"EnumerateDevices", "GetSerialNumber"}) {
    r.push_back({site, Scenario::Enumerate, kThrows, {}, kClosed});
  }
  for (const char* site :
       {"EnumerateDevices", "GetSerialNumber", "CreateDevice", "Attach", "IsPylonDeviceAttached",
        "RegisterConfiguration", "RegisterImageEventHandler", "Open"}) {
    r.push_back({site, Scenario::Open, 0, {critical(kOpen)}, kClosed});
  }
  // Inside Open, the software-trigger configuration writes the nodes; it wraps what it catches.
  for (const char* site : {"GetNodeMap", "FromString:TriggerSelector", "FromString:TriggerMode",
                           "FromString:TriggerSource", "FromString:AcquisitionMode"}) {
    r.push_back({site, Scenario::Open, 0, {kWrapped}, kClosed, BadAlloc::Wrapped});
  }
  // A stop that fails inside the open: the open goes on, and the device it attaches ends the old
  // grab, so the flags must say that nothing grabs.
  r.push_back({"IsGrabbing",
               Scenario::OpenWhileGrabbing,
               1,
               {critical(kStop), kOpenSuccess},
               kOpenIdle,
               BadAlloc::Propagates,
               kOpenGrabbing2});
  r.push_back({"StopGrabbing",
               Scenario::OpenWhileGrabbing,
               1,
               {stopLine(kStop), critical(kStop), kOpenSuccess},
               kOpenIdle,
               BadAlloc::Propagates,
               kOpenGrabbing2});
  // Before a device is found the grab goes on untouched; once it is, the grab is stopped; once the
  // new device has replaced the old one, a failure leaves a camera that is neither open nor grabbing.
  for (const char* site : {"EnumerateDevices", "GetSerialNumber"}) {
    r.push_back({site, Scenario::OpenWhileGrabbing, 0, {critical(kOpen)}, kGrabbing2});
  }
  for (const char* site : {"CreateDevice", "Attach"}) {
    r.push_back({site, Scenario::OpenWhileGrabbing, 0, {stopLine(kStop), critical(kOpen)}, kOpenIdle});
  }
  for (const char* site :
       {"IsPylonDeviceAttached", "RegisterConfiguration", "RegisterImageEventHandler", "Open"}) {
    r.push_back({site, Scenario::OpenWhileGrabbing, 0, {stopLine(kStop), critical(kOpen)}, kClosed});
  }
  for (const char* site : {"GetNodeMap", "FromString:TriggerSelector", "FromString:TriggerMode",
                           "FromString:TriggerSource", "FromString:AcquisitionMode"}) {
    r.push_back(
        {site, Scenario::OpenWhileGrabbing, 0, {stopLine(kStop), kWrapped}, kClosed, BadAlloc::Wrapped});
  }
  for (const char* site : {"IsGrabbing", "GetNodeMap", "FromString:TriggerMode", "FromString:TriggerSource",
                           "CanWaitForFrameTriggerReady", "StartGrabbing"}) {
    r.push_back({site, Scenario::Start, 0, {critical(kStart)}, kOpenIdle});
  }
  // Before the stop the grab goes on unchanged; after it nothing grabs.
  r.push_back({"IsGrabbing", Scenario::Restart, 0, {critical(kStart)}, kGrabbing2});
  r.push_back({"StopGrabbing", Scenario::Restart, 0, {stopLine(kStart), critical(kStart)}, kGrabbing2});
  for (const char* site : {"GetNodeMap", "FromString:TriggerMode", "FromString:TriggerSource",
                           "CanWaitForFrameTriggerReady", "StartGrabbing"}) {
    r.push_back({site, Scenario::Restart, 0, {stopLine(kStart), critical(kStart)}, kOpenIdle});
  }
  r.push_back({"IsGrabbing", Scenario::SnapSwitch, 0, {critical(kSnap)}, {true, true, 1}});
  r.push_back({"StopGrabbing", Scenario::SnapSwitch, 0, {stopLine(kSnap), critical(kSnap)}, {true, true, 1}});
  for (const char* site : {"GetNodeMap", "FromString:TriggerMode", "FromString:TriggerSource",
                           "CanWaitForFrameTriggerReady", "StartGrabbing"}) {
    r.push_back({site, Scenario::SnapSwitch, 0, {stopLine(kSnap), critical(kSnap)}, kOpenIdle});
  }
  r.push_back({"ExecuteSoftwareTrigger",
               Scenario::SnapSwitch,
               0,
               {stopLine(kSnap), startLine(kSnap), critical(kSnap)},
               {true, true, 4}});
  r.push_back({"ExecuteSoftwareTrigger", Scenario::Snap, 0, {critical(kSnap)}, kGrabbing2});
  r.push_back({"IsGrabbing", Scenario::Stop, kNoResult, {critical(kStop)}, kGrabbing2});
  r.push_back({"StopGrabbing", Scenario::Stop, kNoResult, {stopLine(kStop), critical(kStop)}, kGrabbing2});
  // A stop that fails inside the close leaves the stop's flags as they were; the close goes on.
  r.push_back({"IsGrabbing",
               Scenario::Close,
               kNoResult,
               {kCloseTagLine, critical(kStop), kCloseLine},
               {false, true, 2},
               BadAlloc::Propagates,
               kOpenGrabbing2});
  r.push_back({"StopGrabbing",
               Scenario::Close,
               kNoResult,
               {kCloseTagLine, stopLine(kStop), critical(kStop), kCloseLine},
               {false, true, 2},
               BadAlloc::Propagates,
               kOpenGrabbing2});
  // A std::bad_alloc before the device was closed leaves it open, and the flag says so.
  r.push_back({"IsOpen",
               Scenario::Close,
               kNoResult,
               {kCloseTagLine, stopLine(kStop), critical(kClose)},
               kClosed,
               BadAlloc::Propagates,
               kOpenIdle});
  r.push_back({"Close",
               Scenario::Close,
               kNoResult,
               {kCloseTagLine, stopLine(kStop), kCloseLine, critical(kClose)},
               kClosed,
               BadAlloc::Propagates,
               kOpenIdle});
  // On the grab thread: the success test escapes to the SDK; the readers end in the critical line.
  r.push_back({"GrabSucceeded", Scenario::Frame, 1, {kFrameTwo}, kGrabbing2, BadAlloc::Escapes});
  for (const char* site : {"GetBuffer", "GetWidth", "GetHeight", "GetImageNumber"}) {
    r.push_back({site, Scenario::Frame, 1, {critical(kFrame), kFrameTwo}, kGrabbing2, BadAlloc::Escapes});
  }
  for (const char* site : {"GetErrorCode", "GetErrorDescription"}) {
    r.push_back({site, Scenario::FailedFrame, 1, {kFrameTwo}, kGrabbing2, BadAlloc::Escapes});
  }
  return r;
}

void PrintTo(const Case& c, std::ostream* out) {
  *out << scenarioName(c.row.scenario) << " at " << c.row.site << (c.badAlloc ? " (bad_alloc)" : "");
}

std::vector<Case> cases() {
  std::vector<Case> all;
  for (const Row& row : rows()) {
    all.push_back({row, false});
    all.push_back({row, true});
  }
  return all;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = std::string(scenarioName(info.param.row.scenario)) + "_" + info.param.row.site;
  name += info.param.badAlloc ? "_bad_alloc" : "_GenericException";
  for (char& c : name) {
    if (c == ':') {
      c = '_';
    }
  }
  return name;
}

class FaultInjection : public PluginTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    device = std::make_unique<emu::EmulatedCamera>(addCamera());
  }

  void grabbingIn(int32_t mode) {
    createOpen(*device);
    camera->m_requestedGrabMode = mode;
    ASSERT_EQ(camera->IStartCamera(), 1);
    log.clear();
  }

  void prepare(Scenario scenario) {
    switch (scenario) {
      case Scenario::Create:
        break;
      case Scenario::Enumerate:
      case Scenario::Open:
        create();
        break;
      case Scenario::Start:
        createOpen(*device);
        camera->m_requestedGrabMode = 2;
        break;
      case Scenario::SnapSwitch:
        grabbingIn(1);
        break;
      case Scenario::Restart:
        grabbingIn(2);
        camera->m_requestedGrabMode = 3;
        break;
      default:
        grabbingIn(2);
        break;
    }
  }

  void arm(const std::string& site, const emu::Fault& fault) {
    if (site == "PylonInitialize" || site == "EnumerateDevices") {
      emu::FailNextGlobal(site, fault);
    } else {
      device->FailNext(site, fault);
    }
  }

  // Runs the scenario's operation; returns its result, kNoResult or kThrows.
  int run(Scenario scenario) {
    switch (scenario) {
      case Scenario::Create:
        create();
        return kNoResult;
      case Scenario::Enumerate:
        camera->IEnumCameras();
        return kNoResult;
      case Scenario::Open:
      case Scenario::OpenWhileGrabbing:
        return camera->IOpenCamera();
      case Scenario::Start:
      case Scenario::Restart:
        return camera->IStartCamera();
      case Scenario::SnapSwitch:
      case Scenario::Snap:
        return camera->ISnapCamera(0);
      case Scenario::Stop:
        camera->IStopCamera();
        return kNoResult;
      case Scenario::Close:
        camera->ICloseCamera();
        return kNoResult;
      case Scenario::Frame:
      case Scenario::FailedFrame:
        return snapTwiceAndWaitForTheSecondFrame();
    }
    return kNoResult;
  }

  // Frames are handled one after another on the grab thread, so the second frame's sink call comes
  // after whatever the fault did to the first.
  int snapTwiceAndWaitForTheSecondFrame() {
    if (GetParam().row.scenario == Scenario::FailedFrame) {
      device->FailNextResults(1, 3758096385U, "Frame lost in transfer");
    }
    const int first = camera->ISnapCamera(0);
    const int second = camera->ISnapCamera(0);
    EXPECT_TRUE(sink.waitForFrames(1, seconds(5)));
    EXPECT_TRUE(log.waitForLines(expectedLines().size(), seconds(5)));
    return first == 1 && second == 1 ? 1 : 0;
  }

  QString description() const { return QString("injected at %1").arg(GetParam().row.site); }

  // The text of the configuration's RuntimeException around the fault.
  QString wrappedText() const {
    std::string text;
    if (GetParam().badAlloc) {
      text = "Could not apply configuration. std::exception caught in OnOpened method msg=std::bad_alloc";
    } else {
      const std::string inner =
          GenICam::RuntimeException(description().toStdString().c_str(), "zazod/emulation", 0).what();
      text = "Could not apply configuration. Pylon::GenericException caught in OnOpened method msg=" + inner;
    }
    return QString::fromStdString(text.substr(0, 255));  // descriptions are cut to 255 characters
  }

  LogLine toLine(const Expected& e) const {
    switch (e.line) {
      case Line::StopLine:
        return debugLine(QString("Stop Grabbing camera( %1 ).  -  %2").arg(configText(), e.tag));
      case Line::StartLine:
        return debugLine(QString("Start Grabbing camera( %1 ).  -  %2").arg(configText(), e.tag));
      case Line::CloseTag:
        return debugLine(kClose);
      case Line::CloseLine:
        return debugLine(QString("Close camera( %1 ).  -  %2").arg(configText(), kClose));
      case Line::OpenSuccess:
        return debugLine("CCameraBasler::IOpenCamera success***************************  \n");
      case Line::Critical:
        return criticalLine(QString("An exception occurred :  %1  -  %2").arg(description(), e.tag));
      case Line::Wrapped:
        return criticalLine(QString("An exception occurred :  %1  -  %2").arg(wrappedText(), e.tag));
      case Line::FrameTwo:
        return debugLine(QString("\"Image Frame 2 grabbed.\"  _  %1").arg(kFrame));
    }
    return {};
  }

  std::vector<LogLine> expectedLines() const {
    const Row& row = GetParam().row;
    std::vector<LogLine> lines;
    for (const Expected& e : row.lines) {
      const bool caught = e.line == Line::Critical;
      if (GetParam().badAlloc && caught) {
        if (row.badAlloc == BadAlloc::Propagates) {
          break;  // the operation ends where the GenericException would have been caught
        }
        continue;  // escapes to the SDK: nothing logged for it
      }
      lines.push_back(toLine(e));
    }
    return lines;
  }

  // After any fault the object closes, opens and delivers a frame again.
  void expectUsableAgain() {
    emu::ClearGlobalFaults();
    device->ClearFaults();
    if (camera == nullptr) {
      create();
    }
    camera->ICloseCamera();
    ASSERT_EQ(camera->IOpenCamera(), 1);
    camera->m_requestedGrabMode = 2;
    ASSERT_EQ(camera->IStartCamera(), 1);
    const size_t before = sink.count();
    ASSERT_EQ(camera->ISnapCamera(0), 1);
    EXPECT_TRUE(sink.waitForFrames(before + 1, seconds(5)));
  }

  std::unique_ptr<emu::EmulatedCamera> device;
};

TEST_P(FaultInjection, AtEveryCallSite) {
  const Case& c = GetParam();
  prepare(c.row.scenario);
  if (HasFailure()) {
    return;
  }
  arm(c.row.site,
      c.badAlloc ? emu::Fault{"bad_alloc", ""} : emu::Fault{"RuntimeException", description().toStdString()});

  const bool propagates = c.badAlloc ? c.row.badAlloc == BadAlloc::Propagates : c.row.result == kThrows;
  int result = kNoResult;
  bool thrown = false;
  if (c.badAlloc) {
    try {
      result = run(c.row.scenario);
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
  } else {
    try {
      result = run(c.row.scenario);
    } catch (const GenICam::GenericException& e) {
      thrown = true;
      EXPECT_EQ(QString(e.GetDescription()), description());
    }
  }
  EXPECT_EQ(thrown, propagates);
  if (!propagates) {
    EXPECT_EQ(result, c.row.result);
  }
  EXPECT_EQ(log.lines(), expectedLines());

  // The flags say what the camera does, whichever kind of exception ended the operation.
  if (c.row.scenario == Scenario::Create) {
    EXPECT_EQ(camera, nullptr);
    EXPECT_EQ(CCameraBasler::s_pylonUsers, 0);
  } else {
    const Flags& flags = c.badAlloc && c.row.badAllocFlags ? *c.row.badAllocFlags : c.row.flags;
    EXPECT_EQ(camera->m_isOpened, flags.opened);
    EXPECT_EQ(camera->m_isGrabbing, flags.grabbing);
    EXPECT_EQ(camera->m_activeGrabMode, flags.mode);
  }
  expectUsableAgain();
}

INSTANTIATE_TEST_SUITE_P(Sites, FaultInjection, ::testing::ValuesIn(cases()), caseName);

}  // namespace
