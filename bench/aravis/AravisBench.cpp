// Snap-to-frame latency and frames/s of the module on Aravis's fake GigE Vision camera, beside
// arv-camera-test on the same camera in the same run. Runs only inside a private network namespace
// with only loopback:   scripts/netns build/bench/aravis/aravis_bench
//
// The module's numbers come from Google Benchmark (manual time: snap to frame). The baseline,
// arv-camera-test-0.8 -n 127.0.0.1 --no-packet-socket -a -o HZ, runs after the benchmarks against
// the same fake camera; its frames/s is compared with the module's at the same trigger rate. The
// baseline sizes its socket buffer for the payload (-a): with its default buffer it loses most
// frames on loopback, which would compare the module with a broken setup.
#include <CameraInterface.h>
#include <benchmark/benchmark.h>

#include <QtGlobal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeCamera.h"
#include "LoadedModule.h"
#include "NetworkNamespace.h"
#include "RecordingSink.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTriggerHz = 20;
constexpr int kRateSeconds = 5;

struct Setup {
  std::unique_ptr<FakeCamera> fake;
  CameraConfig config;
  RecordingSink sink;
  ICameraObject* camera = nullptr;
};

Setup* g_setup = nullptr;
double g_moduleRate = 0;

// The module's per-frame debug lines would swamp the report.
void quietDebug(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type != QtDebugMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

void SnapToFrame(benchmark::State& state) {
  RecordingSink& sink = g_setup->sink;
  for (auto _ : state) {
    const size_t before = sink.count();
    const Clock::time_point begin = Clock::now();
    if (g_setup->camera->ISnapCamera(0) != 1 || !sink.waitForFrames(before + 1, std::chrono::seconds(3))) {
      state.SkipWithError("no frame for a snap");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SnapToFrame)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

// Snaps at a fixed rate, as arv-camera-test -o does, and counts the frames delivered.
void TriggeredRate(benchmark::State& state) {
  RecordingSink& sink = g_setup->sink;
  for (auto _ : state) {
    const size_t before = sink.count();
    const Clock::time_point begin = Clock::now();
    const auto period = std::chrono::microseconds(1000000 / kTriggerHz);
    for (int i = 0; i < kTriggerHz * kRateSeconds; ++i) {
      g_setup->camera->ISnapCamera(0);
      std::this_thread::sleep_until(begin + period * (i + 1));
    }
    sink.waitForFrames(before + kTriggerHz * kRateSeconds, std::chrono::seconds(1));
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    g_moduleRate = static_cast<double>(sink.count() - before) / seconds;
    state.counters["frames_per_s"] = g_moduleRate;
  }
}
BENCHMARK(TriggeredRate)->Iterations(1)->Unit(benchmark::kSecond);

// arv-camera-test's mean of its per-second "N frames/s" lines, the first (start-up) second left out.
double baselineRate() {
  const std::string command = "timeout -s INT " + std::to_string(kRateSeconds + 2) +
                              " arv-camera-test-0.8 -n 127.0.0.1 --no-packet-socket -a -o " +
                              std::to_string(kTriggerHz) + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return 0;
  }
  std::vector<double> rates;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    double rate = 0;
    if (std::sscanf(line, " %lf frame", &rate) == 1 && std::string(line).find("frame") != std::string::npos) {
      rates.push_back(rate);
    }
  }
  pclose(pipe);
  if (rates.size() < 2) {
    return 0;
  }
  double sum = 0;
  for (size_t i = 1; i < rates.size(); ++i) {
    sum += rates[i];
  }
  return sum / static_cast<double>(rates.size() - 1);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr, "aravis_bench: run it inside a private network namespace: scripts/netns %s\n",
                 argv[0]);
    return 1;
  }
  qInstallMessageHandler(&quietDebug);
  setenv("ZAZOD_SDK_TRANSPORTS", "aravis", 1);
  setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", FakeCamera::address(), 1);
  setenv("ZAZOD_SDK_ARAVIS_VENDORS", "*", 1);
  if (!LoadedModule::instance().loaded()) {
    std::fprintf(stderr, "aravis_bench: %s\n", LoadedModule::instance().error());
    return 1;
  }
  Setup setup;
  g_setup = &setup;
  setup.fake = std::make_unique<FakeCamera>(FakeCamera::uniqueSerialNumber());
  if (!setup.fake->start()) {
    std::fprintf(stderr, "aravis_bench: the fake camera did not come up\n");
    return 1;
  }
  setup.config.cameraKey = ("basler " + setup.fake->serialNumber()).c_str();
  setup.config.imageFormat = 1;
  setup.camera = LoadedModule::instance().create(&setup.config, &setup.sink);
  setup.camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  if (setup.camera->IOpenCamera() != 1 || setup.camera->IStartCamera() != 1) {
    std::fprintf(stderr, "aravis_bench: the module did not open and start the fake camera\n");
    LoadedModule::instance().destroy(setup.camera);
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  LoadedModule::instance().destroy(setup.camera);  // lets go of the camera for the baseline

  const double baseline = baselineRate();
  const double ratio = baseline > 0 ? g_moduleRate / baseline : 0;
  std::printf(
      "\nbaseline arv-camera-test -o %d: %.2f frames/s; module: %.2f frames/s; ratio %.3f (%s 5 %%)\n",
      kTriggerHz, baseline, g_moduleRate, ratio, ratio >= 0.95 && ratio <= 1.05 ? "within" : "NOT within");
  benchmark::Shutdown();
  return 0;
}
