// Tests of the fake USB3 Vision cameras, driving Aravis in this process through the fake libusb
// (the program runs with the fake's folder first on LD_LIBRARY_PATH, inside a private network
// namespace): listing, the pattern-correct stream in both USB modes, triggers, every armed fault
// as Aravis sees it, removal by both paths and replug. Tests of the libusb calls themselves
// check what Aravis relies on but does not show: cancelled and failed asynchronous transfers
// always call back, and hostile commands are refused without harm.
#include <arv.h>
#include <gtest/gtest.h>
#include <libusb-1.0/libusb.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "FakeUsb3Control.h"
#include "GenCpPacket.h"
#include "TestPattern.h"
#include "Usb3TestEnvironment.h"

using Zazod::FakeUsb3::FakeUsb3Control;
using Zazod::FakeUsb3::Fault;
using Zazod::FakeUsb3::GenCpPacket;
using Zazod::FakeUsb3::Removal;

namespace {

constexpr guint64 kPopTimeoutUs = 30ULL * 1000 * 1000;  // catches hangs only

struct CameraDeleter {
  void operator()(ArvCamera* camera) const { g_object_unref(camera); }
};
using CameraPtr = std::unique_ptr<ArvCamera, CameraDeleter>;

CameraPtr openCamera(const std::string& serial) {
  GError* error = nullptr;
  ArvCamera* camera = arv_camera_new(("Basler-" + serial).c_str(), &error);
  if (error != nullptr) {
    ADD_FAILURE() << error->message;
    g_clear_error(&error);
  }
  return CameraPtr(camera);
}

// A stream with its buffers, started on `camera`; stopped and released in the destructor.
class Acquisition {
 public:
  Acquisition(ArvCamera* camera, ArvUvUsbMode mode) : m_camera(camera) {
    arv_camera_uv_set_usb_mode(camera, mode);
    GError* error = nullptr;
    m_stream = arv_camera_create_stream(camera, nullptr, nullptr, &error);
    EXPECT_EQ(error, nullptr) << (error != nullptr ? error->message : "");
    g_clear_error(&error);
    if (m_stream == nullptr) {
      return;
    }
    const gint payload = arv_camera_get_payload(camera, nullptr);
    for (int i = 0; i < 4; ++i) {
      arv_stream_push_buffer(m_stream, arv_buffer_new(static_cast<size_t>(payload), nullptr));
    }
  }
  ~Acquisition() {
    if (m_started) {
      arv_camera_stop_acquisition(m_camera, nullptr);
    }
    if (m_stream != nullptr) {
      g_object_unref(m_stream);
    }
  }
  void start() {
    GError* error = nullptr;
    arv_camera_start_acquisition(m_camera, &error);
    EXPECT_EQ(error, nullptr) << (error != nullptr ? error->message : "");
    g_clear_error(&error);
    m_started = true;
  }
  // The next buffer's status and, for a good one, pattern check; the buffer goes back.
  struct Frame {
    bool arrived = false;
    ArvBufferStatus status = ARV_BUFFER_STATUS_UNKNOWN;
    guint64 id = 0;
    int phase = -1;
  };
  Frame next(TestPattern* pattern) {
    Frame frame;
    ArvBuffer* buffer =
        m_stream != nullptr ? arv_stream_timeout_pop_buffer(m_stream, kPopTimeoutUs) : nullptr;
    if (buffer == nullptr) {
      return frame;
    }
    frame.arrived = true;
    frame.status = arv_buffer_get_status(buffer);
    frame.id = arv_buffer_get_frame_id(buffer);
    if (frame.status == ARV_BUFFER_STATUS_SUCCESS && pattern != nullptr) {
      size_t size = 0;
      const auto* pixels = static_cast<const uint8_t*>(arv_buffer_get_data(buffer, &size));
      const auto width = static_cast<uint32_t>(arv_buffer_get_image_width(buffer));
      const auto height = static_cast<uint32_t>(arv_buffer_get_image_height(buffer));
      if (size == static_cast<size_t>(width) * height) {
        if (!pattern->learned()) {
          pattern->learn(pixels, width, height);
        }
        frame.phase = pattern->phaseOf(pixels, width, height);
      }
    }
    arv_stream_push_buffer(m_stream, buffer);
    return frame;
  }
  ArvStream* stream() const { return m_stream; }

 private:
  ArvCamera* m_camera;
  ArvStream* m_stream = nullptr;
  bool m_started = false;
};

class FakeUsb3Test : public ::testing::Test {
 protected:
  void SetUp() override { Usb3TestEnvironment::instance().reset(); }
  FakeUsb3Control& control() { return Usb3TestEnvironment::instance().control(); }
};

const char* modeName(ArvUvUsbMode mode) { return mode == ARV_UV_USB_MODE_ASYNC ? "Async" : "Sync"; }

}  // namespace

TEST_F(FakeUsb3Test, AravisListsEveryPluggedCameraAsUsb3Vision) {
  arv_update_device_list();
  std::vector<std::string> listed;
  for (unsigned int i = 0; i < arv_get_n_devices(); ++i) {
    EXPECT_STREQ(arv_get_device_protocol(i), "USB3Vision");
    EXPECT_STREQ(arv_get_device_vendor(i), "Basler");
    listed.emplace_back(arv_get_device_serial_nbr(i));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"USB30001", "USB30002"}));

  control().unplug(0, Removal::NoDevice);
  arv_update_device_list();
  ASSERT_EQ(arv_get_n_devices(), 1U);
  EXPECT_STREQ(arv_get_device_serial_nbr(0), "USB30002");
}

class StreamModeTest : public FakeUsb3Test, public ::testing::WithParamInterface<ArvUvUsbMode> {};

TEST_P(StreamModeTest, FramesFollowThePatternAndAdvanceByTheirId) {
  CameraPtr camera = openCamera("USB30001");
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(arv_camera_get_payload(camera.get(), nullptr), 640 * 480);
  Acquisition acquisition(camera.get(), GetParam());
  acquisition.start();
  TestPattern pattern;
  Acquisition::Frame previous = acquisition.next(&pattern);
  ASSERT_TRUE(previous.arrived);
  ASSERT_EQ(previous.status, ARV_BUFFER_STATUS_SUCCESS);
  ASSERT_TRUE(pattern.learned());
  for (int i = 0; i < 5; ++i) {
    const Acquisition::Frame frame = acquisition.next(&pattern);
    ASSERT_TRUE(frame.arrived);
    ASSERT_EQ(frame.status, ARV_BUFFER_STATUS_SUCCESS);
    ASSERT_GE(frame.phase, 0) << "frame " << frame.id << " is not the pattern";
    EXPECT_EQ(TestPattern::advance(previous.phase, frame.phase),
              static_cast<int>((frame.id - previous.id) % 255));
    previous = frame;
  }
  EXPECT_GE(control().counters(0).framesSent, 6U);
  EXPECT_EQ(control().counters(0).framesFailedByFault, 0U);
}

TEST_P(StreamModeTest, EachSoftwareTriggerMakesOneFrame) {
  CameraPtr camera = openCamera("USB30002");
  ASSERT_NE(camera, nullptr);
  ArvDevice* device = arv_camera_get_device(camera.get());
  arv_device_set_string_feature_value(device, "TriggerSelector", "FrameStart", nullptr);
  arv_device_set_string_feature_value(device, "TriggerMode", "On", nullptr);
  arv_device_set_string_feature_value(device, "TriggerSource", "Software", nullptr);
  Acquisition acquisition(camera.get(), GetParam());
  acquisition.start();
  for (guint64 i = 0; i < 3; ++i) {
    arv_device_execute_command(device, "TriggerSoftware", nullptr);
    const Acquisition::Frame frame = acquisition.next(nullptr);
    ASSERT_TRUE(frame.arrived);
    EXPECT_EQ(frame.status, ARV_BUFFER_STATUS_SUCCESS);
  }
  const FakeUsb3Control::Counters counters = control().counters(1);
  EXPECT_EQ(counters.triggersReceived, 3U);
  EXPECT_EQ(counters.framesSent, 3U);
}

TEST_P(StreamModeTest, Line1PulsesTriggerFrames) {
  CameraPtr camera = openCamera("USB30001");
  ASSERT_NE(camera, nullptr);
  ArvDevice* device = arv_camera_get_device(camera.get());
  arv_device_set_string_feature_value(device, "TriggerMode", "On", nullptr);
  arv_device_set_string_feature_value(device, "TriggerSource", "Line1", nullptr);
  control().setLine1Hz(0, 50);
  Acquisition acquisition(camera.get(), GetParam());
  acquisition.start();
  for (int i = 0; i < 3; ++i) {
    const Acquisition::Frame frame = acquisition.next(nullptr);
    ASSERT_TRUE(frame.arrived);
    EXPECT_EQ(frame.status, ARV_BUFFER_STATUS_SUCCESS);
  }
  const FakeUsb3Control::Counters counters = control().counters(0);
  EXPECT_GE(counters.line1Pulses, 3U);
  EXPECT_EQ(counters.triggersReceived, 0U);
}

INSTANTIATE_TEST_SUITE_P(UsbModes, StreamModeTest,
                         ::testing::Values(ARV_UV_USB_MODE_SYNC, ARV_UV_USB_MODE_ASYNC),
                         [](const auto& info) { return std::string(modeName(info.param)); });

// A stream fault spoils the next frame as Aravis 0.8 reports it; a good, pattern-correct frame
// follows within a few. Aravis reads a trailer's status nowhere, so a trailer error passes as a
// good frame; in sync mode it reads no more than the buffer and drops what follows, so an
// overlong payload does too. In async mode the overlong bytes land in the transfers of the next
// frame, which fails as well.
struct StreamFaultCase {
  const char* name;
  Fault fault;
  ArvUvUsbMode mode;
  ArvBufferStatus status;  // what Aravis makes of the spoiled frame
};

void PrintTo(const StreamFaultCase& c, std::ostream* out) { *out << c.name; }

class StreamFaultTest : public FakeUsb3Test, public ::testing::WithParamInterface<StreamFaultCase> {};

TEST_P(StreamFaultTest, SpoilsTheNextFrameAsAravisReportsIt) {
  const StreamFaultCase& c = GetParam();
  CameraPtr camera = openCamera("USB30001");
  ASSERT_NE(camera, nullptr);
  Acquisition acquisition(camera.get(), c.mode);
  acquisition.start();
  TestPattern pattern;
  ASSERT_EQ(acquisition.next(&pattern).status, ARV_BUFFER_STATUS_SUCCESS);
  control().arm(0, c.fault);
  // Frames already on their way when the fault was armed arrive whole (how many depends on
  // speed): the first failed frame is the spoiled one; where Aravis cannot tell, every frame up to
  // and after the spoiled one is good.
  Acquisition::Frame spoiled;
  int popped = 0;
  if (c.status != ARV_BUFFER_STATUS_SUCCESS) {
    do {
      spoiled = acquisition.next(&pattern);
      ASSERT_TRUE(spoiled.arrived);
    } while (spoiled.status == ARV_BUFFER_STATUS_SUCCESS && ++popped < 20);
  } else {
    do {
      spoiled = acquisition.next(&pattern);
      ASSERT_TRUE(spoiled.arrived);
      EXPECT_EQ(spoiled.status, ARV_BUFFER_STATUS_SUCCESS);
      EXPECT_GE(spoiled.phase, 0);
    } while (control().counters(0).framesFailedByFault == 0 && ++popped < 100);
  }
  EXPECT_EQ(spoiled.status, c.status);
  Acquisition::Frame after;
  for (int i = 0; i < 4 && after.status != ARV_BUFFER_STATUS_SUCCESS; ++i) {
    after = acquisition.next(&pattern);
    ASSERT_TRUE(after.arrived);
  }
  EXPECT_EQ(after.status, ARV_BUFFER_STATUS_SUCCESS);
  EXPECT_GE(after.phase, 0);
  EXPECT_EQ(control().counters(0).framesFailedByFault, 1U);
  EXPECT_EQ(control().armed(0, c.fault), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StreamFaultTest,
    ::testing::Values(StreamFaultCase{"ShortPayloadSync", Fault::ShortPayload, ARV_UV_USB_MODE_SYNC,
                                      ARV_BUFFER_STATUS_SIZE_MISMATCH},
                      StreamFaultCase{"ShortPayloadAsync", Fault::ShortPayload, ARV_UV_USB_MODE_ASYNC,
                                      ARV_BUFFER_STATUS_SIZE_MISMATCH},
                      StreamFaultCase{"OverlongPayloadSync", Fault::OverlongPayload, ARV_UV_USB_MODE_SYNC,
                                      ARV_BUFFER_STATUS_SUCCESS},
                      StreamFaultCase{"OverlongPayloadAsync", Fault::OverlongPayload, ARV_UV_USB_MODE_ASYNC,
                                      ARV_BUFFER_STATUS_MISSING_PACKETS},
                      StreamFaultCase{"StallSync", Fault::StallStream, ARV_UV_USB_MODE_SYNC,
                                      ARV_BUFFER_STATUS_SIZE_MISMATCH},
                      StreamFaultCase{"StallAsync", Fault::StallStream, ARV_UV_USB_MODE_ASYNC,
                                      ARV_BUFFER_STATUS_SIZE_MISMATCH},
                      StreamFaultCase{"TimeoutSync", Fault::TransferTimeout, ARV_UV_USB_MODE_SYNC,
                                      ARV_BUFFER_STATUS_SIZE_MISMATCH},
                      StreamFaultCase{"TimeoutAsync", Fault::TransferTimeout, ARV_UV_USB_MODE_ASYNC,
                                      ARV_BUFFER_STATUS_SIZE_MISMATCH},
                      StreamFaultCase{"TrailerErrorSync", Fault::TrailerError, ARV_UV_USB_MODE_SYNC,
                                      ARV_BUFFER_STATUS_SUCCESS},
                      StreamFaultCase{"TrailerErrorAsync", Fault::TrailerError, ARV_UV_USB_MODE_ASYNC,
                                      ARV_BUFFER_STATUS_SUCCESS}),
    [](const auto& info) { return std::string(info.param.name); });

// Control faults: Aravis's answer to a feature read right after the fault was armed.
struct ControlFaultCase {
  const char* name;
  Fault fault;
  bool readSucceeds;
};

void PrintTo(const ControlFaultCase& c, std::ostream* out) { *out << c.name; }

class ControlFaultTest : public FakeUsb3Test, public ::testing::WithParamInterface<ControlFaultCase> {};

TEST_P(ControlFaultTest, FeatureReadAsAravisAnswersIt) {
  const ControlFaultCase& c = GetParam();
  CameraPtr camera = openCamera("USB30002");
  ASSERT_NE(camera, nullptr);
  ArvDevice* device = arv_camera_get_device(camera.get());
  const uint64_t before = control().counters(1).controlCommands;
  control().arm(1, c.fault);
  GError* error = nullptr;
  const gint64 width = arv_device_get_integer_feature_value(device, "Width", &error);
  EXPECT_EQ(error == nullptr, c.readSucceeds) << (error != nullptr ? error->message : "no error");
  g_clear_error(&error);
  if (c.readSucceeds) {
    EXPECT_EQ(width, 640);
  }
  EXPECT_EQ(control().armed(1, c.fault), 0U);
  EXPECT_GT(control().counters(1).controlCommands, before);
  // The channel is sound afterwards.
  EXPECT_EQ(arv_device_get_integer_feature_value(device, "Height", &error), 480);
  EXPECT_EQ(error, nullptr);
  g_clear_error(&error);
}

INSTANTIATE_TEST_SUITE_P(Faults, ControlFaultTest,
                         ::testing::Values(ControlFaultCase{"PendingAck", Fault::PendingAck, true},
                                           ControlFaultCase{"AckWrongId", Fault::AckWrongId, true},
                                           ControlFaultCase{"AckError", Fault::AckError, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Removal mid-stream: the hotplug path tells Aravis "control lost"; both paths end the stream's
// frames and every feature access; the replugged camera opens and streams again.
class RemovalTest : public FakeUsb3Test, public ::testing::WithParamInterface<Removal> {};

namespace {
void onControlLost(ArvDevice* /*device*/, gpointer data) {
  auto* lost = static_cast<Usb3TestEnvironment::Flag*>(data);
  lost->set();
}
}  // namespace

TEST_P(RemovalTest, UnplugIsSeenAndReplugStreamsAgain) {
  {
    CameraPtr camera = openCamera("USB30001");
    ASSERT_NE(camera, nullptr);
    ArvDevice* device = arv_camera_get_device(camera.get());
    Usb3TestEnvironment::Flag lost;
    g_signal_connect(device, "control-lost", G_CALLBACK(onControlLost), &lost);
    Acquisition acquisition(camera.get(), ARV_UV_USB_MODE_SYNC);
    acquisition.start();
    ASSERT_EQ(acquisition.next(nullptr).status, ARV_BUFFER_STATUS_SUCCESS);
    control().unplug(0, GetParam());
    if (GetParam() == Removal::DeviceLeft) {
      EXPECT_TRUE(lost.waitFor(std::chrono::seconds(30)));
    }
    GError* error = nullptr;
    arv_device_get_integer_feature_value(device, "Width", &error);
    EXPECT_NE(error, nullptr);
    g_clear_error(&error);
    g_signal_handlers_disconnect_by_data(device, &lost);
  }
  control().replug(0);
  CameraPtr again = openCamera("USB30001");
  ASSERT_NE(again, nullptr);
  Acquisition acquisition(again.get(), ARV_UV_USB_MODE_SYNC);
  acquisition.start();
  EXPECT_EQ(acquisition.next(nullptr).status, ARV_BUFFER_STATUS_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Paths, RemovalTest, ::testing::Values(Removal::NoDevice, Removal::DeviceLeft),
                         [](const auto& info) {
                           return std::string(info.param == Removal::NoDevice ? "NoDevice" : "DeviceLeft");
                         });
