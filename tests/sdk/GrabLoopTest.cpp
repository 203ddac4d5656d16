// The instant camera's grab loop: one thread delivering every result to every handler in order,
// image numbers, stopping and closing from inside a handler, exceptions escaping handlers,
// destruction while grabbing, removal of the device, and RetrieveResult on the caller's thread.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <ostream>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "SdkTestSupport.h"

namespace {

using Pylon::CInstantCamera;

class GrabLoop : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    emu::CameraDescription description;
    description.width = 64;
    description.height = 8;
    device = std::make_unique<emu::EmulatedCamera>(emu::AddCamera(description));
    useSoftwareTrigger(*device);
    camera = std::make_unique<CInstantCamera>(createDevice());
    handler = new CollectingHandler(nullptr, &order, "h1");
    camera->RegisterImageEventHandler(handler, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
    camera->Open();
  }
  void TearDown() override {
    camera.reset();
    SdkTest::TearDown();
  }
  void start() {
    camera->StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  }

  std::unique_ptr<emu::EmulatedCamera> device;
  std::unique_ptr<CInstantCamera> camera;
  std::vector<std::string> order;  // written on the grab thread only, read after a wait
  CollectingHandler* handler = nullptr;
};

TEST_F(GrabLoop, EveryResultReachesEveryHandlerInOrderOnOneThread) {
  auto* second = new CollectingHandler(nullptr, &order, "h2");
  camera->RegisterImageEventHandler(second, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  start();
  for (int i = 0; i < 3; ++i) {
    camera->ExecuteSoftwareTrigger();
  }
  ASSERT_TRUE(second->waitForResults(3));
  EXPECT_EQ(order, (std::vector<std::string>{"h1.grabbed1", "h2.grabbed1", "h1.grabbed2", "h2.grabbed2",
                                             "h1.grabbed3", "h2.grabbed3"}));
  const std::vector<SeenResult> results = handler->results();
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_TRUE(results[i].succeeded);
    EXPECT_EQ(results[i].blockId, i + 1);
  }
  EXPECT_NE(results[0].firstPixel, results[1].firstPixel);  // the pattern moves per frame
  const std::vector<std::thread::id> threads = handler->threads();
  EXPECT_EQ(std::set<std::thread::id>(threads.begin(), threads.end()).size(), 1U);
  EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST_F(GrabLoop, ImageNumbersCountFromOneAtEveryStartAndFollowTheDevicesWish) {
  start();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(handler->waitForResults(1));
  camera->StopGrabbing();
  start();
  device->SetNextImageNumber(int64_t{1} << 32);
  camera->ExecuteSoftwareTrigger();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(handler->waitForResults(3));
  const std::vector<SeenResult> results = handler->results();
  EXPECT_EQ(results[0].imageNumber, 1);
  EXPECT_EQ(results[1].imageNumber, int64_t{1} << 32);
  EXPECT_EQ(results[2].imageNumber, (int64_t{1} << 32) + 1);
  EXPECT_EQ(results[2].blockId, 3U);  // the device's own frame id does not restart
}

TEST_F(GrabLoop, SkippedImagesAreReportedBeforeTheNextResultAndFailedResultsCarryTheirError) {
  start();
  device->InjectSkippedImages(4);
  device->FailNextResults(1, 0xE1000001U, "Frame lost");
  camera->ExecuteSoftwareTrigger();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(handler->waitForResults(2));
  EXPECT_EQ(order, (std::vector<std::string>{"h1.skipped4", "h1.grabbed1", "h1.grabbed2"}));
  const std::vector<SeenResult> results = handler->results();
  EXPECT_FALSE(results[0].succeeded);
  EXPECT_EQ(results[0].errorCode, 0xE1000001U);
  EXPECT_EQ(results[0].errorDescription, "Frame lost");
  EXPECT_TRUE(results[1].succeeded);
}

struct FromHandlerCase {
  const char* name;
  void (*call)(CInstantCamera&);
  bool open;
};
void PrintTo(const FromHandlerCase& value, std::ostream* os) { *os << value.name; }

class FromHandler : public GrabLoop, public ::testing::WithParamInterface<FromHandlerCase> {};

TEST_P(FromHandler, StopOrCloseFromInsideAHandlerDoesNotDeadlock) {
  Event called;
  std::atomic<bool> first{true};
  handler->onGrabbed = [&](CInstantCamera& c, const Pylon::CGrabResultPtr&) {
    if (first.exchange(false)) {
      GetParam().call(c);
      EXPECT_FALSE(c.IsGrabbing());
      called.set();
    }
  };
  start();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(called.wait());
  EXPECT_FALSE(camera->IsGrabbing());
  EXPECT_EQ(camera->IsOpen(), GetParam().open);
  // The ended loop is joined by the next start, which works as usual.
  camera->Open();
  start();
  camera->ExecuteSoftwareTrigger();
  EXPECT_TRUE(handler->waitForResults(2));
  camera->StopGrabbing();  // joins the loop before the handler's captures go out of scope
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FromHandler,
    ::testing::Values(FromHandlerCase{"Stop", [](CInstantCamera& c) { c.StopGrabbing(); }, true},
                      FromHandlerCase{"Close", [](CInstantCamera& c) { c.Close(); }, false}),
    [](const ::testing::TestParamInfo<FromHandlerCase>& info) { return std::string(info.param.name); });

struct FinishCase {
  const char* name;
  void (*call)(std::unique_ptr<CInstantCamera>& camera);
};
void PrintTo(const FinishCase& value, std::ostream* os) { *os << value.name; }

class CallbackFinished : public GrabLoop, public ::testing::WithParamInterface<FinishCase> {};

// The calls that end a grab return only once a frame callback running on the grab thread has
// returned: a client deletes what its handler uses right after them. The callback waits for the call
// to return; a call that does not wait for the callback therefore finds it still running.
TEST_P(CallbackFinished, BeforeTheCallThatEndsTheGrabReturns) {
  Event entered;
  Event returned;
  std::atomic<bool> running{false};
  std::atomic<bool> first{true};
  handler->onGrabbed = [&](CInstantCamera&, const Pylon::CGrabResultPtr&) {
    if (!first.exchange(false)) {
      return;
    }
    running.store(true);
    entered.set();
    returned.wait(std::chrono::milliseconds(300));  // times out unless the call returned early
    running.store(false);
  };
  start();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(entered.wait());
  GetParam().call(camera);
  const bool stillRunning = running.load();
  returned.set();
  EXPECT_FALSE(stillRunning) << GetParam().name << " returned while the frame callback was still running";
  camera.reset();  // joins whatever is left of the loop before the captures go out of scope
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CallbackFinished,
    ::testing::Values(
        FinishCase{"StopGrabbing", [](std::unique_ptr<CInstantCamera>& c) { c->StopGrabbing(); }},
        FinishCase{"Close", [](std::unique_ptr<CInstantCamera>& c) { c->Close(); }},
        FinishCase{"DestroyDevice", [](std::unique_ptr<CInstantCamera>& c) { c->DestroyDevice(); }},
        // Attaching another device replaces the grabbing one.
        FinishCase{"Attach",
                   [](std::unique_ptr<CInstantCamera>& c) {
                     c->Attach(Pylon::CTlFactory::GetInstance().CreateDevice(c->GetDeviceInfo()));
                   }},
        FinishCase{"Destructor", [](std::unique_ptr<CInstantCamera>& c) { c.reset(); }}),
    [](const ::testing::TestParamInfo<FinishCase>& info) { return std::string(info.param.name); });

struct ThrowCase {
  const char* name;
  void (*raise)();
};
void PrintTo(const ThrowCase& value, std::ostream* os) { *os << value.name; }

class HandlerExceptions : public GrabLoop, public ::testing::WithParamInterface<ThrowCase> {};

TEST_P(HandlerExceptions, AnEscapingExceptionEndsNeitherTheLoopNorTheOtherHandlers) {
  handler->onGrabbed = [](CInstantCamera&, const Pylon::CGrabResultPtr&) { GetParam().raise(); };
  auto* later = new CollectingHandler();
  camera->RegisterImageEventHandler(later, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  start();
  camera->ExecuteSoftwareTrigger();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(later->waitForResults(2));
  EXPECT_TRUE(camera->IsGrabbing());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HandlerExceptions,
    ::testing::Values(ThrowCase{"GenICam", [] { throw RUNTIME_EXCEPTION("handler failed"); }},
                      ThrowCase{"Std", [] { throw std::logic_error("handler failed"); }},
                      ThrowCase{"Other", [] { throw 42; }}),
    [](const ::testing::TestParamInfo<ThrowCase>& info) { return std::string(info.param.name); });

TEST_F(GrabLoop, DestroyingAGrabbingCameraJoinsTheLoopAndDeletesItsHandlers) {
  int deletions = 0;
  camera->RegisterImageEventHandler(new CollectingHandler(&deletions), Pylon::RegistrationMode_Append,
                                    Pylon::Cleanup_Delete);
  start();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(handler->waitForResults(1));
  camera.reset();
  EXPECT_EQ(deletions, 1);
}

TEST_F(GrabLoop, DestroyingTheCameraFromInsideItsHandlerDoesNotDeadlock) {
  Event destroyed;
  int deletions = 0;
  auto* owner = new CollectingHandler(&deletions);
  CInstantCamera* raw = camera.release();
  owner->onGrabbed = [&](CInstantCamera& c, const Pylon::CGrabResultPtr&) {
    Event* done = &destroyed;  // this closure dies with the handler
    delete &c;                 // deletes this handler too
    done->set();
  };
  raw->RegisterImageEventHandler(owner, Pylon::RegistrationMode_ReplaceAll, Pylon::Cleanup_Delete);
  raw->StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  raw->ExecuteSoftwareTrigger();
  ASSERT_TRUE(destroyed.wait());
  EXPECT_EQ(deletions, 1);
}

TEST_F(GrabLoop, AResultKeptPastStopAndDestructionStaysValid) {
  Pylon::CGrabResultPtr kept;
  std::mutex keptMutex;
  handler->onGrabbed = [&](CInstantCamera&, const Pylon::CGrabResultPtr& result) {
    std::lock_guard<std::mutex> lock(keptMutex);
    kept = result;
  };
  start();
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(handler->waitForResults(1));
  camera.reset();
  std::lock_guard<std::mutex> lock(keptMutex);
  ASSERT_TRUE(kept.IsValid());
  EXPECT_EQ(kept->GetWidth(), 64U);
  EXPECT_EQ(static_cast<const uint8_t*>(kept->GetBuffer())[63], 63 + 3);  // (x + y + 3 * frame), frame 1
}

TEST_F(GrabLoop, UnplugEndsTheLoopPromptlyAndTheCameraStillStopsAndCloses) {
  std::vector<std::string> log;
  Event removed;
  auto* watcher = new RecordingConfiguration("c", &log, nullptr);
  camera->RegisterConfiguration(watcher, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  start();
  struct Removal : Pylon::CConfigurationEventHandler {
    explicit Removal(Event& e) : event(e) {}
    void OnCameraDeviceRemoved(CInstantCamera&) override { event.set(); }
    Event& event;
  };
  camera->RegisterConfiguration(new Removal(removed), Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  device->Unplug();
  ASSERT_TRUE(removed.wait());
  EXPECT_TRUE(camera->IsCameraDeviceRemoved());
  EXPECT_THROW(camera->ExecuteSoftwareTrigger(), GenICam::RuntimeException);
  EXPECT_THROW(camera->StartGrabbing(), GenICam::RuntimeException);
  EXPECT_THROW(camera->GetNodeMap(), GenICam::RuntimeException);
  EXPECT_NO_THROW(camera->StopGrabbing());
  EXPECT_NO_THROW(camera->Close());
  EXPECT_FALSE(camera->IsOpen());
  // Gone from the list until plugged in again.
  Pylon::DeviceInfoList_t devices;
  EXPECT_EQ(Pylon::CTlFactory::GetInstance().EnumerateDevices(devices), 0);
  device->Replug();
  EXPECT_EQ(Pylon::CTlFactory::GetInstance().EnumerateDevices(devices), 1);
}

TEST_F(GrabLoop, RetrieveResultDeliversOnTheCallersThreadAndTimesOut) {
  camera->StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByUser);
  Pylon::CGrabResultPtr result;
  EXPECT_FALSE(camera->RetrieveResult(1, result, Pylon::TimeoutHandling_Return));
  EXPECT_THROW(camera->RetrieveResult(1, result), GenICam::TimeoutException);
  camera->ExecuteSoftwareTrigger();
  ASSERT_TRUE(camera->RetrieveResult(1000, result));
  EXPECT_EQ(result->GetImageNumber(), 1);
  EXPECT_EQ(handler->threads(), std::vector<std::thread::id>{std::this_thread::get_id()});
}

TEST_F(GrabLoop, MaxImagesStopsGrabbingAfterThatManyResults) {
  camera->StartGrabbing(2, Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  for (int i = 0; i < 2; ++i) {
    camera->ExecuteSoftwareTrigger();
  }
  ASSERT_TRUE(handler->waitForResults(2));
  camera->StopGrabbing();  // joins the ended loop
  EXPECT_FALSE(camera->IsGrabbing());
  EXPECT_EQ(handler->results().size(), 2U);
}

TEST_F(GrabLoop, RegisteringWhileGrabbingIsSafe) {
  start();
  std::atomic<bool> running{true};
  std::thread triggering([&] {
    for (size_t delivered = 1; running.load(); ++delivered) {
      camera->ExecuteSoftwareTrigger();
      handler->waitForResults(delivered, std::chrono::milliseconds(500));  // keeps the pool from running dry
    }
  });
  std::vector<CollectingHandler*> added;
  for (int i = 0; i < 20; ++i) {
    added.push_back(new CollectingHandler());
    camera->RegisterImageEventHandler(added.back(), Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  }
  const bool lastOneCalled = added.back()->waitForResults(1);
  running.store(false);
  triggering.join();
  EXPECT_TRUE(lastOneCalled);
}

TEST_F(GrabLoop, StoppingAndClosingAreJournaledOnlyWhenTheClientCallsThem) {
  start();
  device->ClearJournal();
  camera->StopGrabbing();
  camera->Close();
  EXPECT_EQ(device->Journal(), (std::vector<std::string>{"StopGrabbing", "Close"}));
}

}  // namespace
