// The loaded module as a host sees it: its dynamic symbol table, one whole grab through dlopen with
// emulated cameras (list, open, start, 100 snaps, stop, close, delete), and its own count of live
// camera objects, which decides when the SDK is initialised.
#include <CameraInterface.h>
#include <dlfcn.h>
#include <gcbase/GCException.h>
#include <gtest/gtest.h>
#include <zazod/emulation/Emulation.h>

#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "RecordingSink.h"

namespace {

std::set<std::string> definedDynamicSymbols(const std::string& path) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return names;
  }
  std::array<char, 512> line{};
  while (fgets(line.data(), line.size(), pipe) != nullptr) {
    std::string text(line.data());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
      text.pop_back();
    }
    const size_t blank = text.rfind(' ');
    names.insert(blank == std::string::npos ? text : text.substr(blank + 1));
  }
  pclose(pipe);
  return names;
}

TEST(Module, ExportsExactlyTheTwoEntryPoints) {
  EXPECT_EQ(definedDynamicSymbols(ZAZOD_MODULE_PATH),
            (std::set<std::string>{"Camera_Create", "Camera_Delete"}));
}

class LoadedModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("ZAZOD_SDK_EMULATED_CAMERAS", "2", 1);
    Zazod::Emulation::ClearGlobalJournal();
    handle = dlopen(ZAZOD_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    journalAfterLoading = Zazod::Emulation::GlobalJournal();
    create = reinterpret_cast<CameraCreateFunction>(dlsym(handle, "Camera_Create"));
    destroy = reinterpret_cast<CameraDeleteFunction>(dlsym(handle, "Camera_Delete"));
  }
  static void TearDownTestSuite() {
    if (handle != nullptr) {
      dlclose(handle);
    }
  }

  static void* handle;
  static CameraCreateFunction create;
  static CameraDeleteFunction destroy;
  static std::vector<std::string> journalAfterLoading;
};

void* LoadedModule::handle = nullptr;
std::vector<std::string> LoadedModule::journalAfterLoading;
CameraCreateFunction LoadedModule::create = nullptr;
CameraDeleteFunction LoadedModule::destroy = nullptr;

TEST_F(LoadedModule, GrabsHundredFramesEndToEnd) {
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);
  LogCapture log;
  CameraConfig config;
  config.imageFormat = 1;
  RecordingSink sink;
  ICameraObject* camera = create(&config, &sink);
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->m_bitsPerPixel, 8);

  const QStringList keys = camera->IEnumCameras();
  ASSERT_EQ(keys, (QStringList{"basler EMU0001", "basler EMU0002"}));
  config.cameraKey = keys.at(1);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  EXPECT_TRUE(camera->m_isOpened);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  for (size_t i = 1; i <= 100; ++i) {
    ASSERT_EQ(camera->ISnapCamera(0), 1);
    ASSERT_TRUE(sink.waitForFrames(i)) << "frame " << i;
  }
  camera->IStopCamera();
  camera->ICloseCamera();
  destroy(camera);
  destroy(nullptr);

  const std::vector<RecordedFrame> frames = sink.frames();
  ASSERT_EQ(frames.size(), 100U);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].imageNumber, i + 1);
    EXPECT_EQ(frames[i].width, 640U);
    EXPECT_EQ(frames[i].height, 480U);
    EXPECT_NE(frames[i].buffer, nullptr);
  }
  EXPECT_TRUE(log.lines(QtWarningMsg).empty());
  EXPECT_TRUE(log.lines(QtCriticalMsg).empty());
}

TEST_F(LoadedModule, AnUnopenedCameraRefusesByItsResultsWithoutThrowing) {
  // A snap on a camera that never opened is refused, not thrown; an unknown key gives 0.
  CameraConfig config;
  config.cameraKey = "basler NOSUCH";
  RecordingSink sink;
  ICameraObject* camera = create(&config, &sink);
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_EQ(camera->IStartCamera(), 0);
  destroy(camera);
}

long initialisations() {
  const std::vector<std::string> journal = Zazod::Emulation::GlobalJournal();
  return std::count(journal.begin(), journal.end(), std::string("PylonInitialize"));
}

// Loading runs nothing of the SDK. Creation initialises the SDK when no camera object lives; a
// creation that fails leaves the module's count of live objects as it was, so the next one that
// finds it at zero initialises again.
TEST_F(LoadedModule, InitialisesTheSdkByItsOwnCountOfLiveObjects) {
  EXPECT_TRUE(journalAfterLoading.empty());
  Zazod::Emulation::ClearGlobalJournal();
  CameraConfig config;
  RecordingSink sink;
  ICameraObject* first = create(&config, &sink);
  ICameraObject* second = create(&config, &sink);
  EXPECT_EQ(initialisations(), 1);
  destroy(first);
  ICameraObject* third = create(&config, &sink);  // one still lives: no initialisation
  EXPECT_EQ(initialisations(), 1);
  destroy(second);
  destroy(third);

  Zazod::Emulation::FailNextGlobal("PylonInitialize", Zazod::Emulation::Fault{"bad_alloc", ""});
  EXPECT_THROW(create(&config, &sink), std::bad_alloc);
  Zazod::Emulation::FailNextGlobal("PylonInitialize",
                                   Zazod::Emulation::Fault{"RuntimeException", "no transport"});
  try {
    create(&config, &sink);
    ADD_FAILURE() << "the failing initialisation must reach the host";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_STREQ(e.GetDescription(), "no transport");
  }
  EXPECT_EQ(initialisations(), 3);
  ICameraObject* fourth = create(&config, &sink);
  EXPECT_EQ(initialisations(), 4);
  destroy(fourth);
  const std::vector<std::string> journal = Zazod::Emulation::GlobalJournal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), std::string("PylonTerminate")), 0);
}

}  // namespace
