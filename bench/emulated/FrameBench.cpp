// Snap-to-frame latency and throughput of emulated cameras, through the loaded module and through
// the SDK layer alone, in one process so the ratios hold on a noisy machine.
//
//   frame_bench [--summary=FILE] [--latency-frames=N] [--seconds=S] [benchmark options]
//
// Latency: one snap at a time, from the snap call to the frame callback (the host's OnFrameReady,
// or the bare image handler's OnImageGrabbed), the module and the SDK alone snapped in turn.
// Throughput: 1, 2, 4, 8 cameras through the module, each with its own thread snapping as fast as
// frames return. The figures go to FILE as JSON; Google Benchmark prints its own table as well.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <zazod/emulation/Emulation.h>

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoadedPlugin.h"
#include "ModuleCamera.h"
#include "SdkCamera.h"

namespace {

using Clock = FrameSignal::Clock;
constexpr std::chrono::milliseconds kFrameTimeout{2000};

int g_latencyFrames = 10000;
double g_seconds = 2.0;

// A real host keeps debug lines out of its output; warnings and worse still show.
void discardDebugLines(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type != QtDebugMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

struct LatencySamples {
  std::vector<double> microseconds;
  uint64_t lost = 0;
};

LatencySamples g_moduleLatency;
LatencySamples g_sdkLatency;

struct ThroughputResult {
  int cameras = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  double seconds = 0;
  uint64_t delivered = 0;
  uint64_t lost = 0;
  uint64_t refused = 0;
  uint64_t dropped = 0;
  double cpuSeconds = 0;
  std::vector<uint64_t> perCamera;
};

std::vector<ThroughputResult> g_throughput;

Zazod::Emulation::CameraDescription emulatedCamera(const std::string& serialNumber, uint32_t width,
                                                   uint32_t height) {
  Zazod::Emulation::CameraDescription description;
  description.serialNumber = serialNumber;
  description.width = width;
  description.height = height;
  description.journal = false;
  return description;
}

// One snap and the wait for its frame; the latency in microseconds, or a negative value if the frame
// never came.
double snapToFrame(BenchCamera& camera) {
  const uint64_t seen = camera.signal().count();
  const Clock::time_point begin = Clock::now();
  if (!camera.snap() || !camera.signal().waitBeyond(seen, kFrameTimeout)) {
    return -1;
  }
  return std::chrono::duration<double, std::micro>(camera.signal().lastArrival() - begin).count();
}

bool record(double latency, LatencySamples& samples) {
  if (latency < 0) {
    ++samples.lost;
    return false;
  }
  samples.microseconds.push_back(latency);
  return true;
}

// One snap through the module and one through the SDK alone per iteration, their order swapped
// every iteration, so both see the same machine. The iteration time is the module's latency.
void SnapToFrame(benchmark::State& state, BenchCamera* module, BenchCamera* sdkAlone) {
  bool moduleFirst = true;
  for (auto _ : state) {
    double moduleLatency = -1;
    if (moduleFirst) {
      moduleLatency = snapToFrame(*module);
      record(snapToFrame(*sdkAlone), g_sdkLatency);
    } else {
      record(snapToFrame(*sdkAlone), g_sdkLatency);
      moduleLatency = snapToFrame(*module);
    }
    moduleFirst = !moduleFirst;
    state.SetIterationTime(record(moduleLatency, g_moduleLatency) ? moduleLatency / 1e6
                                                                  : kFrameTimeout.count() / 1000.0);
  }
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct SnapCounts {
  uint64_t snapped = 0;
  uint64_t refused = 0;
};

// Snaps as fast as frames return until the deadline, then waits for the last frame.
void snapUntil(BenchCamera& camera, Clock::time_point deadline, SnapCounts& counts) {
  while (Clock::now() < deadline) {
    const uint64_t seen = camera.signal().count();
    if (!camera.snap()) {
      ++counts.refused;
      continue;
    }
    ++counts.snapped;
    camera.signal().waitBeyond(seen, kFrameTimeout);
  }
}

void Throughput(benchmark::State& state) {
  const int cameraCount = static_cast<int>(state.range(0));
  const auto width = static_cast<uint32_t>(state.range(1));
  const auto height = static_cast<uint32_t>(state.range(2));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> serials;
    std::vector<std::unique_ptr<ModuleCamera>> cameras;
    for (int i = 0; i < cameraCount; ++i) {
      serials.push_back("TPUT" + std::to_string(width) + "x" + std::to_string(i));
      Zazod::Emulation::AddCamera(emulatedCamera(serials.back(), width, height));
      cameras.push_back(std::make_unique<ModuleCamera>(serials.back()));
      if (!cameras.back()->start()) {
        state.SkipWithError("the module did not start an emulated camera");
        return;
      }
    }
    std::vector<SnapCounts> counts(static_cast<size_t>(cameraCount));
    state.ResumeTiming();

    const double cpuBefore = cpuSeconds();
    const Clock::time_point begin = Clock::now();
    const Clock::time_point deadline =
        begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(g_seconds));
    std::vector<std::thread> threads;
    for (int i = 0; i < cameraCount; ++i) {
      threads.emplace_back(snapUntil, std::ref(*cameras[i]), deadline, std::ref(counts[i]));
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const double cpu = cpuSeconds() - cpuBefore;

    state.PauseTiming();
    ThroughputResult result;
    result.cameras = cameraCount;
    result.width = width;
    result.height = height;
    result.seconds = seconds;
    result.cpuSeconds = cpu;
    for (int i = 0; i < cameraCount; ++i) {
      const uint64_t delivered = cameras[i]->signal().count();
      result.perCamera.push_back(delivered);
      result.delivered += delivered;
      result.lost += counts[i].snapped > delivered ? counts[i].snapped - delivered : 0;
      result.refused += counts[i].refused;
    }
    for (const Zazod::Emulation::EmulatedCamera& camera : Zazod::Emulation::Cameras()) {
      result.dropped += camera.FramesDropped();
    }
    cameras.clear();
    for (const std::string& serial : serials) {
      Zazod::Emulation::RemoveCamera(serial);
    }
    state.counters["frames_per_s"] = static_cast<double>(result.delivered) / seconds;
    state.counters["cpu_us_per_frame"] =
        result.delivered > 0 ? cpu * 1e6 / static_cast<double>(result.delivered) : 0;
    state.counters["lost"] = static_cast<double>(result.lost);
    g_throughput.push_back(result);
    state.ResumeTiming();
  }
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
  return values[index];
}

void writeLatency(FILE* out, const char* name, const LatencySamples& samples) {
  const std::vector<double>& v = samples.microseconds;
  std::fprintf(
      out,
      "  \"%s\": {\"frames\": %zu, \"lost\": %llu, \"p50_us\": %.3f, \"p99_us\": %.3f, \"max_us\": %.3f}",
      name, v.size(), static_cast<unsigned long long>(samples.lost), percentile(v, 0.50), percentile(v, 0.99),
      v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
}

void writeSummary(const char* path) {
  FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::perror(path);
    return;
  }
  std::fprintf(out, "{\n");
  writeLatency(out, "latency_module", g_moduleLatency);
  std::fprintf(out, ",\n");
  writeLatency(out, "latency_sdk", g_sdkLatency);
  std::fprintf(out, ",\n  \"throughput\": [\n");
  for (size_t i = 0; i < g_throughput.size(); ++i) {
    const ThroughputResult& r = g_throughput[i];
    std::fprintf(
        out,
        "    {\"cameras\": %d, \"width\": %u, \"height\": %u, \"seconds\": %.4f, \"delivered\": %llu, "
        "\"lost\": %llu, \"refused\": %llu, \"dropped\": %llu, \"cpu_seconds\": %.4f, \"per_camera\": [",
        r.cameras, r.width, r.height, r.seconds, static_cast<unsigned long long>(r.delivered),
        static_cast<unsigned long long>(r.lost), static_cast<unsigned long long>(r.refused),
        static_cast<unsigned long long>(r.dropped), r.cpuSeconds);
    for (size_t c = 0; c < r.perCamera.size(); ++c) {
      std::fprintf(out, "%s%llu", c == 0 ? "" : ", ", static_cast<unsigned long long>(r.perCamera[c]));
    }
    std::fprintf(out, "]}%s\n", i + 1 < g_throughput.size() ? "," : "");
  }
  std::fprintf(out, "  ]\n}\n");
  std::fclose(out);
}

// Takes this program's own options out of argv before Google Benchmark sees it.
std::string takeOption(int& argc, char** argv, const char* name) {
  const size_t length = std::strlen(name);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
      std::string value(argv[i] + length + 1);
      for (int j = i; j + 1 < argc; ++j) {
        argv[j] = argv[j + 1];
      }
      --argc;
      return value;
    }
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string summary = takeOption(argc, argv, "--summary");
  const std::string frames = takeOption(argc, argv, "--latency-frames");
  const std::string seconds = takeOption(argc, argv, "--seconds");
  if (!frames.empty()) {
    g_latencyFrames = std::max(1, std::atoi(frames.c_str()));
  }
  if (!seconds.empty()) {
    g_seconds = std::max(0.1, std::atof(seconds.c_str()));
  }
  benchmark::Initialize(&argc, argv);
  qInstallMessageHandler(&discardDebugLines);
  if (!LoadedPlugin::instance().loaded()) {
    std::fprintf(stderr, "frame_bench: %s\n", LoadedPlugin::instance().error().c_str());
    return 1;
  }
  Zazod::Emulation::Reset();
  Zazod::Emulation::AddCamera(emulatedCamera("LATMOD", 640, 480));
  Zazod::Emulation::AddCamera(emulatedCamera("LATSDK", 640, 480));
  ModuleCamera moduleCamera("LATMOD");
  SdkCamera sdkCamera("LATSDK");
  if (!moduleCamera.start() || !sdkCamera.start()) {
    std::fprintf(stderr, "frame_bench: the latency cameras did not start\n");
    return 1;
  }
  for (int i = 0; i < 200; ++i) {  // warm-up: caches, lazy binding, first buffers
    snapToFrame(moduleCamera);
    snapToFrame(sdkCamera);
  }
  benchmark::RegisterBenchmark("SnapToFrame/module_and_sdk_alone_alternating", SnapToFrame, &moduleCamera,
                               &sdkCamera)
      ->Iterations(g_latencyFrames)
      ->UseManualTime()
      ->Unit(benchmark::kMicrosecond);
  for (const std::pair<int, int>& size : {std::pair<int, int>{640, 480}, std::pair<int, int>{2448, 2048}}) {
    for (int cameras : {1, 2, 4, 8}) {
      benchmark::RegisterBenchmark("Throughput", Throughput)
          ->Args({cameras, size.first, size.second})
          ->ArgNames({"cameras", "width", "height"})
          ->Iterations(1)
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!summary.empty()) {
    writeSummary(summary.c_str());
  }
  return 0;
}
