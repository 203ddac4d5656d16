// Heap allocations per delivered frame, in the whole process while frames flow: through the SDK
// layer alone with a bare image handler, and through the loaded module (whose per-frame debug line
// goes to a message handler that discards it, as a real host's would, or is switched off with
// QT_LOGGING_RULES="*.debug=false"; the summary says which).
//
//   alloc_bench [--summary=FILE] [--frames=N] [benchmark options]
#include <benchmark/benchmark.h>
#include <zazod/emulation/Emulation.h>

#include <QLoggingCategory>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AllocationCounter.h"
#include "LoadedPlugin.h"
#include "ModuleCamera.h"
#include "ProgramOptions.h"
#include "SdkCamera.h"

namespace {

constexpr std::chrono::milliseconds kFrameTimeout{2000};

struct Outcome {
  uint64_t frames = 0;
  uint64_t allocations = 0;
};

Outcome g_sdk;
Outcome g_module;

void discardDebugLines(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type != QtDebugMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

bool snapAndWait(BenchCamera& camera) {
  const uint64_t seen = camera.signal().count();
  return camera.snap() && camera.signal().waitBeyond(seen, kFrameTimeout);
}

void Allocations(benchmark::State& state, BenchCamera* camera, Outcome* outcome) {
  for (int i = 0; i < 100; ++i) {  // warm-up outside the count
    snapAndWait(*camera);
  }
  const uint64_t before = camera->signal().count();
  AllocationCounter::start();
  for (auto _ : state) {
    if (!snapAndWait(*camera)) {
      AllocationCounter::stop();
      state.SkipWithError("a frame did not arrive");
      return;
    }
  }
  AllocationCounter::stop();
  outcome->frames = camera->signal().count() - before;
  outcome->allocations = AllocationCounter::count();
  state.counters["allocations_per_frame"] =
      outcome->frames > 0 ? static_cast<double>(outcome->allocations) / static_cast<double>(outcome->frames)
                          : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string summary = ProgramOptions::take(argc, argv, "--summary");
  const std::string framesOption = ProgramOptions::take(argc, argv, "--frames");
  const int frames = framesOption.empty() ? 2000 : std::max(1, std::atoi(framesOption.c_str()));
  benchmark::Initialize(&argc, argv);
  // Emulated cameras only, whatever the environment says: no other transport comes up here.
  setenv("ZAZOD_SDK_TRANSPORTS", "emulation", 1);
  qInstallMessageHandler(&discardDebugLines);
  if (!LoadedPlugin::instance().loaded()) {
    std::fprintf(stderr, "alloc_bench: %s\n", LoadedPlugin::instance().error().c_str());
    return 1;
  }
  Zazod::Emulation::Reset();
  Zazod::Emulation::CameraDescription description;
  description.journal = false;
  description.serialNumber = "ALLOCSDK";
  Zazod::Emulation::AddCamera(description);
  description.serialNumber = "ALLOCMOD";
  Zazod::Emulation::AddCamera(description);
  SdkCamera sdkCamera("ALLOCSDK");
  ModuleCamera moduleCamera("ALLOCMOD");
  if (!sdkCamera.start() || !moduleCamera.start()) {
    std::fprintf(stderr, "alloc_bench: the cameras did not start\n");
    return 1;
  }
  benchmark::RegisterBenchmark("Allocations/sdk_alone", Allocations, &sdkCamera, &g_sdk)->Iterations(frames);
  benchmark::RegisterBenchmark("Allocations/module", Allocations, &moduleCamera, &g_module)
      ->Iterations(frames);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!summary.empty()) {
    FILE* out = std::fopen(summary.c_str(), "w");
    if (out == nullptr) {
      std::perror(summary.c_str());
      return 1;
    }
    std::fprintf(out,
                 "{\n  \"debug_lines\": %s,\n  \"sdk_alone\": {\"frames\": %llu, \"allocations\": %llu},\n"
                 "  \"module\": {\"frames\": %llu, \"allocations\": %llu}\n}\n",
                 QLoggingCategory::defaultCategory()->isDebugEnabled() ? "true" : "false",
                 static_cast<unsigned long long>(g_sdk.frames),
                 static_cast<unsigned long long>(g_sdk.allocations),
                 static_cast<unsigned long long>(g_module.frames),
                 static_cast<unsigned long long>(g_module.allocations));
    std::fclose(out);
  }
  return 0;
}
