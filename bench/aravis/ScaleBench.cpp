// aravis_scale_bench: the module at production load on the real protocol. For 1, 2 and 4 fake
// GigE Vision cameras (each on its own loopback address, 2048x2048 Mono8), software-triggered at
// 20/s each by a thread per camera: the module loaded as a host loads it and the same cameras
// driven by aravis_bare_client (libaravis alone, set up as the SDK layer sets up its streams), in
// turns (--rounds, 3 by default, share the seconds), then
// the SDK layer alone with a bare handler for the heap allocations on its grab-loop threads. Last,
// two cameras at 1 % injected packet loss through the module with every delivered frame's pixels
// compared with the fake camera's test pattern (learnt from a camera without loss).
// Runs only inside a private network namespace with only loopback:
//   scripts/netns build/bench/aravis/aravis_scale_bench --summary=OUT.json --seconds=30
//     [--counts=1,2,4] [--rounds=3] [--packet-size=BYTES] [--loss-seconds=30] [--alloc-seconds=5]
//     [--bare-client=PATH] [--packet-socket=auto,off]
// --packet-size sets the scale rows' stream packet size (default: the fake camera's 1400 bytes).
// --packet-socket lists the modes each camera count runs in (default both): the module with
// ZAZOD_SDK_ARAVIS_PACKET_SOCKET set to it, the bare client with --packet-socket set to it.
//
// With --usb3=yes the cameras are instead the fake USB3 Vision devices of this process (run it under
// scripts/fake-usb3, which sets them up and puts the fake libusb first), USB30001 onwards, in the
// USB mode of --usb-mode (sync or async, for the module and the bare client alike); with
// --line1-hz=H they are triggered by the fake's Line1 pulses at H a second (the module in hardware
// trigger mode) instead of by software. There is no loss row then.
//   scripts/fake-usb3 --cameras 2 --size 2048x2048 build/bench/aravis/aravis_scale_bench --usb3=yes
//     --summary=OUT.json --counts=1,2 --usb-mode=sync [--line1-hz=1000]
#include <CameraInterface.h>
#include <pylon/PylonIncludes.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "FakeCamera.h"
#include "LoadedModule.h"
#include "NetworkNamespace.h"
#include "PatternSink.h"
#include "ProcessCpu.h"
#include "ProgramOptions.h"
#include "StreamPath.h"
#include "TestPattern.h"
#ifdef ZAZOD_WITH_FAKE_USB3
#include "FakeUsb3Control.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTriggerHz = 20;
constexpr uint32_t kSide = 2048;
// As the SDK layer's instant camera grabs by default.
constexpr size_t kBufferCount = 10;
// The loss row: no packet resend in the fake camera, so larger packets let some frames survive.
constexpr uint32_t kLossyPacketSize = 16000;
// After the last trigger: the frames still on their way, or their failure after the retention.
constexpr std::chrono::seconds kDrain{1};

constexpr uint64_t kShownGrabErrors = 20;
std::atomic<uint64_t> g_grabErrors{0};

// Counts the module's failed-grab warnings; the per-frame debug lines are dropped as a host's
// handler would, everything else goes to stderr.
void countingHandler(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type == QtDebugMsg) {
    return;
  }
  if (type == QtWarningMsg && message.startsWith("Basler Camera image grab error: ")) {
    // The first few are shown, so that the report can say what failed.
    if (g_grabErrors.fetch_add(1) >= kShownGrabErrors) {
      return;
    }
  }
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

using Fakes = std::vector<std::unique_ptr<FakeCamera>>;

// `count` fake cameras on 127.0.0.`firstHost` onwards, named in ZAZOD_SDK_ARAVIS_ADDRESSES.
Fakes startFakes(size_t count, int firstHost, const std::vector<std::string>& arguments = {},
                 uint32_t packetSize = 0) {
  Fakes fakes;
  std::string addresses;
  for (size_t i = 0; i < count; ++i) {
    auto fake = std::make_unique<FakeCamera>(FakeCamera::uniqueSerialNumber(), arguments);
    fake->setAddress("127.0.0." + std::to_string(firstHost + static_cast<int>(i)));
    fake->setSize(kSide, kSide);
    fake->setPacketSize(packetSize);
    if (!fake->start()) {
      std::fprintf(stderr, "aravis_scale_bench: the fake camera at %s did not come up\n",
                   fake->listenAddress().c_str());
      return {};
    }
    addresses += (addresses.empty() ? "" : ",") + fake->listenAddress();
    fakes.push_back(std::move(fake));
  }
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", addresses.c_str(), 1);
  return fakes;
}

// The cameras of one row: fake GigE Vision camera processes, or fake USB3 Vision devices served
// inside this process (whose work is then part of this process's CPU time).
struct Rig {
  Fakes fakes;
  std::vector<std::string> usbSerials;
  std::string usbMode;  // "sync" or "async" (USB3 only)
  int line1Hz = 0;      // USB3 only: triggered by Line1 pulses at this rate instead of by software

  size_t size() const { return usbSerials.empty() ? fakes.size() : usbSerials.size(); }
  std::string serial(size_t i) const { return usbSerials.empty() ? fakes[i]->serialNumber() : usbSerials[i]; }
  std::string name(size_t i) const { return usbSerials.empty() ? fakes[i]->listenAddress() : usbSerials[i]; }
  double fakeCpu() const {
    double sum = 0;
    for (const auto& fake : fakes) {
      sum += ProcessCpu::of(fake->pid());
    }
    return sum;
  }
  // The bare client's options naming these cameras.
  std::string bareArguments() const {
    std::string names;
    for (size_t i = 0; i < size(); ++i) {
      names += (names.empty() ? "" : ",") + name(i);
    }
    if (usbSerials.empty()) {
      return " --addresses=" + names;
    }
    return " --usb=" + names + " --usb-mode=" + usbMode + (line1Hz > 0 ? " --line1=yes" : "");
  }
  // Line1 pulses on (at line1Hz) or off on every camera of the rig.
  void pulse(bool on) const {
#ifdef ZAZOD_WITH_FAKE_USB3
    if (line1Hz > 0) {
      const char* state = std::getenv("ZAZOD_FAKE_USB3_STATE");
      Zazod::FakeUsb3::FakeUsb3Control control = Zazod::FakeUsb3::FakeUsb3Control::attach(state);
      for (size_t i = 0; i < size(); ++i) {
        control.setLine1Hz(i, on ? line1Hz : 0);
      }
    }
#else
    (void)on;
#endif
  }
};

// Runs for `seconds` while the cameras' Line1 pulses; it counts no trigger (the frames that come
// are the triggers).
std::vector<uint64_t> pulseAll(const Rig& rig, double seconds) {
  rig.pulse(true);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  rig.pulse(false);
  return std::vector<uint64_t>(rig.size(), 0);
}

// Calls `snap` at kTriggerHz for `seconds` on a thread per camera; the number of accepted snaps.
template <class Snap>
std::vector<uint64_t> triggerAll(size_t cameras, double seconds, Snap snap) {
  std::vector<uint64_t> snaps(cameras, 0);
  std::vector<std::thread> threads;
  for (size_t c = 0; c < cameras; ++c) {
    threads.emplace_back([&, c] {
      const Clock::time_point begin = Clock::now();
      const auto period = std::chrono::microseconds(1000000 / kTriggerHz);
      const auto count = static_cast<int>(seconds * kTriggerHz);
      for (int i = 0; i < count; ++i) {
        if (snap(c)) {
          ++snaps[c];
        }
        std::this_thread::sleep_until(begin + period * (i + 1));
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  return snaps;
}

struct ModuleCamera {
  CameraConfig config;
  PatternSink sink;
  ICameraObject* object = nullptr;
};

// Through the loaded module; with a pattern, every frame is compared with it.
QJsonObject moduleRun(const Rig& rig, double seconds, TestPattern* pattern) {
  std::vector<std::unique_ptr<ModuleCamera>> cameras;
  for (size_t i = 0; i < rig.size(); ++i) {
    auto camera = std::make_unique<ModuleCamera>();
    camera->config.cameraKey = QString("basler %1").arg(QString::fromStdString(rig.serial(i)));
    camera->config.imageFormat = 1;
    camera->object = LoadedModule::instance().create(&camera->config, &camera->sink);
    camera->object->m_requestedGrabMode =
        rig.line1Hz > 0 ? GrabMode_HardwareTrigger : GrabMode_SoftwareTrigger;
    if (camera->object->IOpenCamera() != 1 || camera->object->IStartCamera() != 1) {
      std::fprintf(stderr, "aravis_scale_bench: the module did not open and start %s\n", rig.name(i).c_str());
    }
    if (pattern != nullptr) {
      camera->sink.check(pattern, false, kSide, kSide);
    }
    cameras.push_back(std::move(camera));
  }
  const uint64_t errorsBefore = g_grabErrors.load();
  const double cpuBefore = ProcessCpu::self();
  const double fakesBefore = rig.fakeCpu();
  const Clock::time_point begin = Clock::now();
  const std::vector<uint64_t> snaps =
      rig.line1Hz > 0 ? pulseAll(rig, seconds) : triggerAll(cameras.size(), seconds, [&](size_t c) {
        return cameras[c]->object->ISnapCamera(0) == 1;
      });
  uint64_t snapped = 0;
  for (uint64_t n : snaps) {
    snapped += n;
  }
  const auto outcomes = [&] {
    uint64_t sum = g_grabErrors.load() - errorsBefore;
    for (const auto& camera : cameras) {
      sum += camera->sink.count();
    }
    return sum;
  };
  const Clock::time_point deadline = Clock::now() + kDrain;
  while (outcomes() < snapped && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
  const double cpu = ProcessCpu::self() - cpuBefore;
  const double fakeCpu = rig.fakeCpu() - fakesBefore;
  QJsonArray perCamera;
  uint64_t delivered = 0;
  uint64_t mismatched = 0;
  uint64_t notAdvancing = 0;
  for (auto& camera : cameras) {
    const PatternSink::Tally tally = camera->sink.tally();
    perCamera.append(static_cast<qint64>(tally.frames));
    delivered += tally.frames;
    mismatched += tally.mismatched + tally.wrongSize;
    notAdvancing += tally.notAdvancing;
    LoadedModule::instance().destroy(camera->object);
  }
  const uint64_t failed = g_grabErrors.load() - errorsBefore;
  if (rig.line1Hz > 0) {
    snapped = delivered + failed;
  }
  QJsonObject run{{"snaps", static_cast<qint64>(snapped)},
                  {"delivered", static_cast<qint64>(delivered)},
                  {"per_camera", perCamera},
                  {"failed", static_cast<qint64>(failed)},
                  {"seconds", elapsed},
                  {"cpu_seconds", cpu},
                  {"fake_cpu_seconds", fakeCpu}};
  if (pattern != nullptr) {
    run["mismatched"] = static_cast<qint64>(mismatched);
    run["not_advancing"] = static_cast<qint64>(notAdvancing);
  }
  return run;
}

// Through aravis_bare_client on the same cameras.
QJsonObject bareRun(const Rig& rig, double seconds, const std::string& client, const std::string& mode) {
  const std::string command = client + rig.bareArguments() + " --seconds=" + std::to_string(seconds) +
                              " --rate=" + std::to_string(kTriggerHz) +
                              " --buffers=" + std::to_string(kBufferCount) +
                              (mode.empty() ? "" : " --packet-socket=" + mode);
  const double fakesBefore = rig.fakeCpu();
  rig.pulse(true);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return {};
  }
  QJsonArray perCamera;
  uint64_t triggers = 0;
  uint64_t completed = 0;
  uint64_t failed = 0;
  double cpu = 0;
  double elapsed = 0;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char address[64];
    unsigned long long t = 0;
    unsigned long long c = 0;
    unsigned long long f = 0;
    if (std::sscanf(line, "camera %63s triggers %llu completed %llu failed %llu", address, &t, &c, &f) == 4) {
      triggers += t;
      completed += c;
      failed += f;
      perCamera.append(static_cast<qint64>(c));
    } else {
      std::sscanf(line, "cpu_seconds %lf seconds %lf", &cpu, &elapsed);
    }
  }
  const int status = pclose(pipe);
  rig.pulse(false);
  if (status != 0) {
    std::fprintf(stderr, "aravis_scale_bench: the bare client failed (%d)\n", status);
  }
  return {{"snaps", static_cast<qint64>(triggers)},
          {"delivered", static_cast<qint64>(completed)},
          {"per_camera", perCamera},
          {"failed", static_cast<qint64>(failed)},
          {"seconds", elapsed},
          {"cpu_seconds", cpu},
          {"fake_cpu_seconds", rig.fakeCpu() - fakesBefore}};
}

// The least an SDK user does with a frame; it enrols the grab-loop thread it runs on in the
// allocation count.
class CountingHandler : public Pylon::CImageEventHandler {
 public:
  explicit CountingHandler(std::atomic<uint64_t>& frames) : m_frames(frames) {}
  void OnImageGrabbed(Pylon::CInstantCamera& /*camera*/, const Pylon::CGrabResultPtr& result) override {
    AllocationCounter::enrolThisThread();
    if (result->GrabSucceeded() && result->GetBuffer() != nullptr) {
      m_frames.fetch_add(1, std::memory_order_relaxed);
    }
  }

 private:
  std::atomic<uint64_t>& m_frames;
};

// The SDK layer alone: allocations on its grab-loop threads per delivered frame, after a second
// of warming up.
QJsonObject sdkAllocationRun(size_t count, double seconds) {
  Pylon::PylonInitialize();
  std::atomic<uint64_t> frames{0};
  std::vector<std::unique_ptr<Pylon::CInstantCamera>> cameras;
  Pylon::DeviceInfoList_t devices;
  Pylon::CTlFactory::GetInstance().EnumerateDevices(devices, false);
  for (size_t i = 0; i < devices.size() && i < count; ++i) {
    auto camera = std::make_unique<Pylon::CInstantCamera>(
        Pylon::CTlFactory::GetInstance().CreateDevice(devices[i]), Pylon::Cleanup_Delete);
    camera->RegisterImageEventHandler(new CountingHandler(frames), Pylon::RegistrationMode_Append,
                                      Pylon::Cleanup_Delete);
    camera->Open();
    GenApi::CEnumerationPtr(camera->GetNodeMap().GetNode("TriggerMode"))->FromString("On", true);
    GenApi::CEnumerationPtr(camera->GetNodeMap().GetNode("TriggerSource"))->FromString("Software", true);
    camera->StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
    cameras.push_back(std::move(camera));
  }
  const auto snap = [&](size_t c) {
    cameras[c]->ExecuteSoftwareTrigger();
    return true;
  };
  triggerAll(cameras.size(), 1.0, snap);
  const uint64_t before = frames.load();
  AllocationCounter::start();
  triggerAll(cameras.size(), seconds, snap);
  AllocationCounter::stop();
  const uint64_t counted = frames.load() - before;
  const uint64_t allocations = AllocationCounter::count();
  cameras.clear();
  Pylon::PylonTerminate();
  return {{"frames", static_cast<qint64>(counted)}, {"allocations", static_cast<qint64>(allocations)}};
}

// Learns the test pattern from a camera without loss: the first frame teaches it, the next two
// must follow it one step along the ramp each.
bool learnPattern(TestPattern& pattern) {
  Fakes reference = startFakes(1, 2);
  if (reference.empty()) {
    return false;
  }
  ModuleCamera camera;
  camera.config.cameraKey = QString("basler %1").arg(QString::fromStdString(reference[0]->serialNumber()));
  camera.config.imageFormat = 1;
  camera.object = LoadedModule::instance().create(&camera.config, &camera.sink);
  camera.object->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  bool learnt = camera.object->IOpenCamera() == 1 && camera.object->IStartCamera() == 1;
  camera.sink.check(&pattern, true, kSide, kSide);
  for (size_t n = 1; learnt && n <= 3; ++n) {
    learnt = camera.object->ISnapCamera(0) == 1 && camera.sink.waitForFrames(n, std::chrono::seconds(3));
  }
  LoadedModule::instance().destroy(camera.object);
  return learnt && pattern.learned() && camera.sink.tally().phases == std::vector<int>{0, 1, 2};
}

std::vector<std::string> parseList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(',', start);
    items.push_back(text.substr(start, end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return items;
}

std::vector<size_t> parseCounts(const std::string& text) {
  std::vector<size_t> counts;
  for (const std::string& item : parseList(text)) {
    counts.push_back(static_cast<size_t>(std::atoi(item.c_str())));
  }
  return counts;
}

// Adds the figures of `run` to `sum` (counts and times; per-camera frames element by element).
void accumulate(QJsonObject& sum, const QJsonObject& run) {
  for (auto it = run.begin(); it != run.end(); ++it) {
    if (it.value().isArray()) {
      QJsonArray total = sum.value(it.key()).toArray();
      const QJsonArray part = it.value().toArray();
      for (int i = 0; i < part.size(); ++i) {
        if (i < total.size()) {
          total[i] = total[i].toDouble() + part[i].toDouble();
        } else {
          total.append(part[i]);
        }
      }
      sum[it.key()] = total;
    } else {
      sum[it.key()] = sum.value(it.key()).toDouble() + it.value().toDouble();
    }
  }
}

double numberOption(int& argc, char** argv, const char* name, double fallback) {
  const std::string value = ProgramOptions::take(argc, argv, name);
  return value.empty() ? fallback : std::atof(value.c_str());
}

int write(const std::string& summary, const QJsonObject& results) {
  QFile out(QString::fromStdString(summary));
  if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(results).toJson()) < 0) {
    std::fprintf(stderr, "aravis_scale_bench: cannot write %s\n", summary.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string summary = ProgramOptions::take(argc, argv, "--summary");
  const double seconds = numberOption(argc, argv, "--seconds", 30);
  const double lossSeconds = numberOption(argc, argv, "--loss-seconds", seconds);
  const double allocSeconds = numberOption(argc, argv, "--alloc-seconds", 5);
  const int rounds = std::max(1, static_cast<int>(numberOption(argc, argv, "--rounds", 3)));
  const auto packetSize = static_cast<uint32_t>(numberOption(argc, argv, "--packet-size", 0));
  std::string counts = ProgramOptions::take(argc, argv, "--counts");
  std::string client = ProgramOptions::take(argc, argv, "--bare-client");
  const bool usb3 = ProgramOptions::take(argc, argv, "--usb3") == "yes";
  std::string usbMode = ProgramOptions::take(argc, argv, "--usb-mode");
  const int line1Hz = static_cast<int>(numberOption(argc, argv, "--line1-hz", 0));
  if (usbMode.empty()) {
    usbMode = "sync";
  }
  if (usbMode != "sync" && usbMode != "async") {
    std::fprintf(stderr, "aravis_scale_bench: --usb-mode is sync or async, not \"%s\"\n", usbMode.c_str());
    return 2;
  }
  if (usb3 && std::getenv("ZAZOD_FAKE_USB3_STATE") == nullptr) {
    std::fprintf(stderr,
                 "aravis_scale_bench: --usb3 wants the fake USB3 Vision devices: scripts/fake-usb3 %s\n",
                 argv[0]);
    return 2;
  }
#ifndef ZAZOD_WITH_FAKE_USB3
  if (line1Hz > 0) {
    std::fprintf(stderr, "aravis_scale_bench: --line1-hz needs the fake USB3 Vision device in this build\n");
    return 2;
  }
#endif
  if (counts.empty()) {
    counts = "1,2,4";
  }
  // The packet socket is a GigE Vision matter: the USB3 Vision rows run once, in no such mode.
  std::string modeList = ProgramOptions::take(argc, argv, "--packet-socket");
  const std::vector<std::string> modes =
      usb3 ? std::vector<std::string>{""} : parseList(modeList.empty() ? "auto,off" : modeList);
  for (const std::string& mode : modes) {
    if (!usb3 && !Zazod::Aravis::StreamPath::parseMode(mode.c_str())) {
      std::fprintf(stderr, "aravis_scale_bench: --packet-socket takes auto and off, not \"%s\"\n",
                   mode.c_str());
      return 2;
    }
  }
  if (client.empty()) {
    client = ARAVIS_BARE_CLIENT;
  }
  if (summary.empty()) {
    std::fprintf(stderr, "usage: %s --summary=OUT.json [--seconds=S] [--counts=1,2,4] ...\n", argv[0]);
    return 2;
  }
  if (!NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr, "aravis_scale_bench: run it inside a private network namespace: scripts/netns %s\n",
                 argv[0]);
    return 1;
  }
  qInstallMessageHandler(&countingHandler);
  setenv("ZAZOD_SDK_TRANSPORTS", "aravis", 1);
  setenv("ZAZOD_SDK_ARAVIS_VENDORS", "*", 1);
  if (usb3) {
    // No GigE Vision address: the USB3 Vision devices alone are listed, with no broadcast.
    setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", "usb", 1);
    setenv("ZAZOD_SDK_ARAVIS_USB_MODE", usbMode.c_str(), 1);
  }
  if (!LoadedModule::instance().loaded()) {
    std::fprintf(stderr, "aravis_scale_bench: %s\n", LoadedModule::instance().error());
    return 1;
  }
  AllocationCounter::countEnrolledThreadsOnly();

  QJsonArray scale;
  for (size_t count : parseCounts(counts)) {
    Rig rig;
    if (usb3) {
      for (size_t i = 1; i <= count; ++i) {
        rig.usbSerials.push_back("USB3000" + std::to_string(i));
      }
      rig.usbMode = usbMode;
      rig.line1Hz = line1Hz;
    } else {
      rig.fakes = startFakes(count, 2, {}, packetSize);
      if (rig.fakes.empty()) {
        return 1;
      }
    }
    for (const std::string& mode : modes) {
      QJsonObject row{
          {"cameras", static_cast<qint64>(count)},      {"packet_size", static_cast<qint64>(packetSize)},
          {"rate", line1Hz > 0 ? line1Hz : kTriggerHz}, {"width", static_cast<qint64>(kSide)},
          {"height", static_cast<qint64>(kSide)},       {"buffers", static_cast<qint64>(kBufferCount)}};
      if (usb3) {
        std::fprintf(stderr, "  %zu camera(s): module, bare client, SDK allocations\n", count);
        row["transport"] = "usb3";
        row["usb_mode"] = QString::fromStdString(usbMode);
        row["trigger"] = line1Hz > 0 ? "Line1" : "Software";
      } else {
        setenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET", mode.c_str(), 1);
        const char* stream = Zazod::Aravis::StreamPath::describe(Zazod::Aravis::StreamPath::current());
        std::fprintf(stderr, "  %zu camera(s), packet socket %s (%s): module, bare client, SDK allocations\n",
                     count, mode.c_str(), stream);
        row["packet_socket"] = QString::fromStdString(mode);
        row["stream"] = stream;
      }
      // In turns, so that what else the machine does weighs on both alike.
      QJsonObject module;
      QJsonObject bare;
      for (int round = 0; round < rounds; ++round) {
        accumulate(module, moduleRun(rig, seconds / rounds, nullptr));
        accumulate(bare, bareRun(rig, seconds / rounds, client, mode));
      }
      row["module"] = module;
      row["bare_client"] = bare;
      row["rounds"] = rounds;
      row["sdk_allocations"] = sdkAllocationRun(count, allocSeconds);
      scale.append(row);
    }
  }
  unsetenv("ZAZOD_SDK_ARAVIS_PACKET_SOCKET");
  QJsonObject results{{"scale", scale}};
  if (usb3) {
    return write(summary, results);
  }

  std::fprintf(stderr, "  2 cameras at 1 %% loss, pixels checked\n");
  TestPattern pattern;
  const bool learnt = learnPattern(pattern);
  QJsonObject loss{{"cameras", 2},
                   {"loss_per_thousand", 10},
                   {"packet_size", static_cast<qint64>(kLossyPacketSize)},
                   {"pattern_learnt", learnt}};
  if (learnt) {
    Fakes lossy = startFakes(2, 3, {"-r", "10"}, kLossyPacketSize);
    if (!lossy.empty()) {
      Rig rig;
      rig.fakes = std::move(lossy);
      loss["module"] = moduleRun(rig, lossSeconds, &pattern);
    }
  }
  results["loss"] = loss;

  return write(summary, results);
}
