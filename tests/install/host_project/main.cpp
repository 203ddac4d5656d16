// example-host: a minimal host of the camera interface. It loads a camera module (by default the
// installed one it was built against), lists the cameras, opens the first, grabs frames by software
// trigger and prints one line per step. Exit code 0 only when every frame arrived.
#include <CameraInterface.h>
#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#ifndef ZAZOD_MODULE
#error "ZAZOD_MODULE must name the installed camera module"
#endif

namespace {

// Counts the frames the module reports and lets the main thread wait for the next one.
class CountingSink : public ICameraFrameSink {
 public:
  void OnCameraEvent(ICameraObject* /*camera*/, int /*event*/) override {}
  void OnCameraError(ICameraObject* /*camera*/, int /*code*/) override {}
  void OnFrameReady(ICameraObject* camera) override {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_frames += 1;
    m_width = camera->m_width;
    m_height = camera->m_height;
    m_pixels = camera->m_frameBuffer != nullptr;
    m_changed.notify_all();
  }

  // Waits up to five seconds for `count` frames; returns whether they came.
  bool waitFor(unsigned count) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_frames >= count; });
  }
  void print(unsigned number) {
    const std::lock_guard<std::mutex> lock(m_lock);
    std::printf("frame %u %ux%u %s\n", number, m_width, m_height, m_pixels ? "pixels" : "no pixels");
  }

 private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  unsigned m_frames = 0;
  unsigned m_width = 0;
  unsigned m_height = 0;
  bool m_pixels = false;
};

int fail(const char* what) {
  std::fprintf(stderr, "example-host: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* modulePath = argc > 1 ? argv[1] : ZAZOD_MODULE;
  const unsigned frames = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 3;
  void* module = dlopen(modulePath, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "example-host: cannot load %s: %s\n", modulePath, dlerror());
    return 3;
  }
  auto create = reinterpret_cast<CameraCreateFunction>(dlsym(module, "Camera_Create"));
  auto destroy = reinterpret_cast<CameraDeleteFunction>(dlsym(module, "Camera_Delete"));
  if (create == nullptr || destroy == nullptr) {
    return fail("the module lacks Camera_Create or Camera_Delete");
  }
  std::printf("module %s\n", modulePath);

  CameraConfig config;
  config.imageFormat = 1;
  CountingSink sink;
  ICameraObject* camera = create(&config, &sink);
  const QStringList keys = camera->IEnumCameras();
  for (const QString& key : keys) {
    std::printf("camera %s\n", qPrintable(key));
  }
  int result = 0;
  if (keys.isEmpty()) {
    result = fail("no camera listed");
  } else {
    config.cameraKey = keys.first();
    camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    if (camera->IOpenCamera() != 1 || camera->IStartCamera() != 1) {
      result = fail("the camera did not open or start");
    }
    for (unsigned number = 1; result == 0 && number <= frames; ++number) {
      if (camera->ISnapCamera(0) != 1) {
        result = fail("a snap was refused");
      } else if (!sink.waitFor(number)) {
        result = fail("a frame did not arrive within 5 s");
      } else {
        sink.print(number);
      }
    }
    camera->ICloseCamera();
  }
  destroy(camera);
  return result;
}
