// Snap-to-frame latency and throughput of emulated cameras, through the loaded module and through
// the SDK layer alone, in one process so the ratios hold on a noisy machine.
//
//   frame_bench [--summary=FILE] [--latency-frames=N] [--seconds=S] [--slices=N]
//               [--large-frames=no] [benchmark options]
//
// Latency: one snap at a time, from the snap call to the frame callback (the host's OnFrameReady,
// or the bare image handler's OnImageGrabbed), the module and the SDK alone snapped in turn.
// Throughput: 1, 2, 4, 8 cameras through the module (and, at 640x480, through the SDK alone), each
// with its own thread snapping as fast as frames return; at 640x480 the S seconds of each path are
// taken in N slices, module and SDK alone in turn, so a load that comes and goes on a shared machine
// falls on both alike. The figures go to FILE as JSON; Google Benchmark
// prints its own table as well, and the summary says whether Qt delivered the module's debug lines
// in this run (QT_LOGGING_RULES="*.debug=false" switches them off, as a production host does).
// --large-frames=no leaves out the 2448x2048 runs.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <zazod/emulation/Emulation.h>

#include <QLoggingCategory>
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
#include "ProgramOptions.h"
#include "SdkCamera.h"

namespace {

using Clock = FrameSignal::Clock;
constexpr std::chrono::milliseconds kFrameTimeout{2000};

int g_latencyFrames = 10000;
double g_seconds = 2.0;
int g_slices = 10;

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

// Per placement of the grab-loop threads: [0] on another CPU than the snapping thread, [1] on the
// same CPU.
LatencySamples g_moduleLatency[2];
LatencySamples g_sdkLatency[2];

struct ThroughputResult {
  int cameras = 0;
  bool sdkAlone = false;
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

// Slices of one camera count and path add up to one result.
void addUp(const ThroughputResult& slice) {
  for (ThroughputResult& r : g_throughput) {
    if (r.cameras == slice.cameras && r.sdkAlone == slice.sdkAlone && r.width == slice.width &&
        r.height == slice.height) {
      r.seconds += slice.seconds;
      r.delivered += slice.delivered;
      r.lost += slice.lost;
      r.refused += slice.refused;
      r.dropped += slice.dropped;
      r.cpuSeconds += slice.cpuSeconds;
      for (size_t i = 0; i < r.perCamera.size() && i < slice.perCamera.size(); ++i) {
        r.perCamera[i] += slice.perCamera[i];
      }
      return;
    }
  }
  g_throughput.push_back(slice);
}

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
void SnapToFrame(benchmark::State& state, BenchCamera* module, BenchCamera* sdkAlone, int placement) {
  bool moduleFirst = true;
  for (auto _ : state) {
    double moduleLatency = -1;
    if (moduleFirst) {
      moduleLatency = snapToFrame(*module);
      record(snapToFrame(*sdkAlone), g_sdkLatency[placement]);
    } else {
      record(snapToFrame(*sdkAlone), g_sdkLatency[placement]);
      moduleLatency = snapToFrame(*module);
    }
    moduleFirst = !moduleFirst;
    state.SetIterationTime(record(moduleLatency, g_moduleLatency[placement])
                               ? moduleLatency / 1e6
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
  const bool sdkAlone = state.range(3) != 0;
  const double runSeconds = static_cast<double>(state.range(4)) / 1000.0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> serials;
    std::vector<std::unique_ptr<BenchCamera>> cameras;
    for (int i = 0; i < cameraCount; ++i) {
      serials.push_back("TPUT" + std::to_string(width) + "x" + std::to_string(i));
      Zazod::Emulation::AddCamera(emulatedCamera(serials.back(), width, height));
      bool started = false;
      if (sdkAlone) {
        auto camera = std::make_unique<SdkCamera>(serials.back());
        started = camera->start();
        cameras.push_back(std::move(camera));
      } else {
        auto camera = std::make_unique<ModuleCamera>(serials.back());
        started = camera->start();
        cameras.push_back(std::move(camera));
      }
      if (!started) {
        state.SkipWithError("an emulated camera did not start");
        return;
      }
    }
    std::vector<SnapCounts> counts(static_cast<size_t>(cameraCount));
    state.ResumeTiming();

    const double cpuBefore = cpuSeconds();
    const Clock::time_point begin = Clock::now();
    const Clock::time_point deadline =
        begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(runSeconds));
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(cameraCount));
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
    result.sdkAlone = sdkAlone;
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
    addUp(result);
    state.ResumeTiming();
  }
}

// The scheduler's placement of the grab-loop threads against the snapping thread changes a latency
// far more than the module does (a wake-up on the same core or across cores), and it is drawn anew
// for every thread. So both latency cameras get their grab-loop thread on one CPU (threads inherit
// their creator's affinity) and the snapping thread runs on another: the same placement for both.
class Placement {
 public:
  Placement() { m_usable = sched_getaffinity(0, sizeof m_all, &m_all) == 0 && CPU_COUNT(&m_all) >= 2; }
  bool usable() const { return m_usable; }
  // The calling thread on the n-th CPU it may use.
  void pin(int n) const {
    if (!m_usable) {
      return;
    }
    int seen = 0;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &m_all) && seen++ == n) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pthread_setaffinity_np(pthread_self(), sizeof one, &one);
        return;
      }
    }
  }
  void release() const {
    if (m_usable) {
      pthread_setaffinity_np(pthread_self(), sizeof m_all, &m_all);
    }
  }

 private:
  cpu_set_t m_all{};
  bool m_usable = false;
};

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  const size_t index =
      std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
  return values[index];
}

void writeLatency(FILE* out, const char* name, const LatencySamples& samples) {
  const std::vector<double>& v = samples.microseconds;
  std::fprintf(
      out,
      "  \"%s\": {\"frames\": %zu, \"lost\": %llu, \"p50_us\": %.3f, \"p99_us\": %.3f, \"p999_us\": %.3f, "
      "\"max_us\": %.3f}",
      name, v.size(), static_cast<unsigned long long>(samples.lost), percentile(v, 0.50), percentile(v, 0.99),
      percentile(v, 0.999), v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
}

void writeSummary(const char* path) {
  FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::perror(path);
    return;
  }
  std::fprintf(out, "{\n  \"debug_lines\": %s,\n",
               QLoggingCategory::defaultCategory()->isDebugEnabled() ? "true" : "false");
  writeLatency(out, "latency_module", g_moduleLatency[0]);
  std::fprintf(out, ",\n");
  writeLatency(out, "latency_sdk", g_sdkLatency[0]);
  std::fprintf(out, ",\n");
  writeLatency(out, "latency_module_same_cpu", g_moduleLatency[1]);
  std::fprintf(out, ",\n");
  writeLatency(out, "latency_sdk_same_cpu", g_sdkLatency[1]);
  std::fprintf(out, ",\n  \"throughput\": [\n");
  for (size_t i = 0; i < g_throughput.size(); ++i) {
    const ThroughputResult& r = g_throughput[i];
    std::fprintf(
        out,
        "    {\"cameras\": %d, \"sdk_alone\": %s, \"width\": %u, \"height\": %u, \"seconds\": %.4f, "
        "\"delivered\": %llu, "
        "\"lost\": %llu, \"refused\": %llu, \"dropped\": %llu, \"cpu_seconds\": %.4f, \"per_camera\": [",
        r.cameras, r.sdkAlone ? "true" : "false", r.width, r.height, r.seconds,
        static_cast<unsigned long long>(r.delivered), static_cast<unsigned long long>(r.lost),
        static_cast<unsigned long long>(r.refused), static_cast<unsigned long long>(r.dropped), r.cpuSeconds);
    for (size_t c = 0; c < r.perCamera.size(); ++c) {
      std::fprintf(out, "%s%llu", c == 0 ? "" : ", ", static_cast<unsigned long long>(r.perCamera[c]));
    }
    std::fprintf(out, "]}%s\n", i + 1 < g_throughput.size() ? "," : "");
  }
  std::fprintf(out, "  ]\n}\n");
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string summary = ProgramOptions::take(argc, argv, "--summary");
  const std::string frames = ProgramOptions::take(argc, argv, "--latency-frames");
  const std::string seconds = ProgramOptions::take(argc, argv, "--seconds");
  const std::string slices = ProgramOptions::take(argc, argv, "--slices");
  const bool largeFrames = ProgramOptions::take(argc, argv, "--large-frames") != "no";
  if (!frames.empty()) {
    g_latencyFrames = std::max(1, std::atoi(frames.c_str()));
  }
  if (!seconds.empty()) {
    g_seconds = std::max(0.1, std::atof(seconds.c_str()));
  }
  if (!slices.empty()) {
    g_slices = std::max(1, std::atoi(slices.c_str()));
  }
  benchmark::Initialize(&argc, argv);
  // Emulated cameras only, whatever the environment says: no other transport comes up here.
  setenv("ZAZOD_SDK_TRANSPORTS", "emulation", 1);
  qInstallMessageHandler(&discardDebugLines);
  if (!LoadedPlugin::instance().loaded()) {
    std::fprintf(stderr, "frame_bench: %s\n", LoadedPlugin::instance().error().c_str());
    return 1;
  }
  Zazod::Emulation::Reset();
  Zazod::Emulation::AddCamera(emulatedCamera("LATMOD", 640, 480));
  Zazod::Emulation::AddCamera(emulatedCamera("LATSDK", 640, 480));
  Zazod::Emulation::AddCamera(emulatedCamera("LATMOD1", 640, 480));
  Zazod::Emulation::AddCamera(emulatedCamera("LATSDK1", 640, 480));
  const Placement placement;
  // Pair 0: grab-loop threads on the second CPU; pair 1: on the first, with the snapping thread.
  ModuleCamera moduleCamera[2] = {ModuleCamera("LATMOD"), ModuleCamera("LATMOD1")};
  SdkCamera sdkCamera[2] = {SdkCamera("LATSDK"), SdkCamera("LATSDK1")};
  const int pairs = placement.usable() ? 2 : 1;
  bool started = true;
  for (int pair = 0; pair < pairs; ++pair) {
    placement.pin(pairs == 2 ? 1 - pair : 0);
    started = started && moduleCamera[pair].start() && sdkCamera[pair].start();
  }
  placement.pin(0);
  if (!started) {
    std::fprintf(stderr, "frame_bench: the latency cameras did not start\n");
    return 1;
  }
  const char* names[2] = {"SnapToFrame/module_and_sdk_alone_alternating/grab_threads_on_other_cpu",
                          "SnapToFrame/module_and_sdk_alone_alternating/grab_threads_on_same_cpu"};
  for (int pair = pairs == 2 ? 0 : 1; pair < 2; ++pair) {
    BenchCamera& module = moduleCamera[pairs == 2 ? pair : 0];
    BenchCamera& sdk = sdkCamera[pairs == 2 ? pair : 0];
    for (int i = 0; i < 200; ++i) {  // warm-up: caches, lazy binding, first buffers
      snapToFrame(module);
      snapToFrame(sdk);
    }
    benchmark::RegisterBenchmark(names[pair], SnapToFrame, &module, &sdk, pair)
        ->Iterations(g_latencyFrames)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
  // The throughput runs start their threads after the latency run, with no placement of ours.
  benchmark::RegisterBenchmark("ReleasePlacement", [&placement](benchmark::State& state) {
    for (auto _ : state) {
      placement.release();
    }
  })->Iterations(1);
  // At 640x480 each count runs through the module and through the SDK alone in turn, slice by
  // slice, to tell the module's share from the machine's cost of waking threads. At 2448x2048 the
  // emulated camera's writing of every pixel dominates, so only the module runs, in one piece.
  const auto addThroughput = [](int cameras, int width, int height, int sdkAlone, double seconds) {
    benchmark::RegisterBenchmark("Throughput", Throughput)
        ->Args({cameras, width, height, sdkAlone, static_cast<int64_t>(seconds * 1000)})
        ->ArgNames({"cameras", "width", "height", "sdk_alone", "ms"})
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  };
  for (int cameras : {1, 2, 4, 8}) {
    for (int slice = 0; slice < g_slices; ++slice) {
      addThroughput(cameras, 640, 480, 0, g_seconds / g_slices);
      addThroughput(cameras, 640, 480, 1, g_seconds / g_slices);
    }
  }
  if (largeFrames) {
    for (int cameras : {1, 2, 4, 8}) {
      addThroughput(cameras, 2448, 2048, 0, g_seconds);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!summary.empty()) {
    writeSummary(summary.c_str());
  }
  return 0;
}
