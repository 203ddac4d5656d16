// Pylon::CInstantCamera: the camera a client drives. The state lives in a shared core so that the
// grab-loop thread can keep it alive even when the camera is destroyed from inside a handler.
//
// Locks: `api` (recursive) guards the device pointer and the grabbing state of every operation;
// `handlers` (recursive) guards both handler lists and is held while handlers are called. The order
// is always `handlers` before `api` (a handler calls camera operations), never the reverse, and no
// thread holds `api` while it joins the loop or blocks waiting for the device, so a handler may
// call any operation of its camera from the grab-loop thread without deadlock.
#include "pylon/InstantCamera.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "Device.h"
#include "ResultSlot.h"
#include "gcbase/GCException.h"
#include "pylon/TlFactory.h"

namespace Pylon {

namespace {

// Reports an exception that escaped a handler; the caller goes on.
void reportEscaped(const char* where) {
  try {
    throw;
  } catch (const GenICam::GenericException& e) {
    std::fprintf(stderr, "zazod_sdk: %s raised: %s\n", where, e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zazod_sdk: %s raised std::exception: %s\n", where, e.what());
  } catch (...) {
    std::fprintf(stderr, "zazod_sdk: %s raised an unknown exception\n", where);
  }
}

template <class Fn>
void guarded(const char* where, Fn&& fn) {
  try {
    fn();
  } catch (...) {
    reportEscaped(where);
  }
}

}  // namespace

class CInstantCameraCore {
 public:
  struct ConfigEntry {
    CConfigurationEventHandler* handler;
    ECleanup cleanup;
  };
  struct ImageEntry {
    CImageEventHandler* handler;
    ECleanup cleanup;
  };
  enum Need : unsigned { kDevice = 0, kPresent = 1, kOpen = 2 };

  explicit CInstantCameraCore(CInstantCamera& owner) : camera(owner) {}

  // The attached device after the operation has been journaled / fault-checked; raises when the
  // camera has no device, or (as needed) the device is removed or not open. Called with `api` held.
  Internal::Device& touch(const char* operation, unsigned need) {
    if (device == nullptr) {
      throw RUNTIME_EXCEPTION("%s: no camera device is attached to the instant camera.", operation);
    }
    device->beforeOperation(operation);
    if ((need & (kPresent | kOpen)) != 0 && device->isRemoved()) {
      throw RUNTIME_EXCEPTION("%s: the camera device has been removed.", operation);
    }
    if ((need & kOpen) != 0 && !device->isOpen()) {
      throw LOGICAL_ERROR_EXCEPTION("%s: the camera device is not open.", operation);
    }
    return *device;
  }

  template <class Member>
  void notifyConfigurations(Member member, const char* where) {
    std::lock_guard<std::recursive_mutex> lock(handlersMutex);
    for (size_t i = 0; i < configurations.size() && !destroyed; ++i) {
      CConfigurationEventHandler* handler = configurations[i].handler;
      guarded(where, [&] { (handler->*member)(camera); });
    }
  }

  // Joins a grab-loop thread that has been asked to end (by a handler or by itself). Not on it.
  void joinEndedLoop() {
    std::thread ended;
    {
      std::lock_guard<std::recursive_mutex> lock(api);
      if (grabThread.joinable() && grabThread.get_id() != std::this_thread::get_id() && !grabbing) {
        ended = std::move(grabThread);
      }
    }
    if (ended.joinable()) {
      ended.join();
      std::lock_guard<std::recursive_mutex> lock(api);
      grabThreadId = std::thread::id();
    }
  }

  bool onGrabThread() const { return grabThreadId == std::this_thread::get_id(); }

  void stopGrabbing(bool journaled) {
    std::thread loop;
    bool wasGrabbing = false;
    {
      std::lock_guard<std::recursive_mutex> lock(api);
      if (journaled) {
        touch("StopGrabbing", kDevice);
      }
      wasGrabbing = grabbing;
      if (!grabbing && !grabThread.joinable()) {
        return;
      }
      stopRequested.store(true);
      if (device != nullptr) {
        device->cancelWait();
      }
      if (grabThread.joinable() && !onGrabThread()) {
        loop = std::move(grabThread);
      }
    }
    if (wasGrabbing) {
      notifyConfigurations(&CConfigurationEventHandler::OnGrabStop, "OnGrabStop");
    }
    if (loop.joinable()) {
      loop.join();
    }
    bool stopped = false;
    {
      std::lock_guard<std::recursive_mutex> lock(api);
      if (!grabThread.joinable() && !onGrabThread()) {  // the loop is joined: forget its id
        grabThreadId = std::thread::id();
      }
      if (grabbing) {
        grabbing = false;
        stopped = true;
        if (device != nullptr) {
          guarded("stopping the device's streaming", [&] { device->stopStreaming(); });
        }
      }
    }
    if (stopped) {
      notifyConfigurations(&CConfigurationEventHandler::OnGrabStopped, "OnGrabStopped");
    }
  }

  // Gives the result its image number (the camera's own count, or the device's wish) and calls the
  // image handlers; the result goes back to the pool when the last reference is dropped.
  void deliver(Internal::ResultSlot* slot) {
    if (slot->hasImageNumberHint()) {
      nextImageNumber = slot->imageNumberHint();
    }
    slot->setImageNumber(nextImageNumber++);
    const uint64_t skipped = slot->skippedBefore();
    CGrabResultPtr result = CGrabResultPtr::Adopt(slot, slot->data());
    {
      std::lock_guard<std::recursive_mutex> lock(handlersMutex);
      if (skipped > 0) {
        for (size_t i = 0; i < images.size() && !destroyed; ++i) {
          CImageEventHandler* handler = images[i].handler;
          guarded("OnImagesSkipped", [&] { handler->OnImagesSkipped(camera, static_cast<size_t>(skipped)); });
        }
      }
      for (size_t i = 0; i < images.size() && !destroyed; ++i) {
        CImageEventHandler* handler = images[i].handler;
        guarded("OnImageGrabbed", [&] { handler->OnImageGrabbed(camera, result); });
      }
    }
    result.Release();
    if (maxImages != 0 && ++delivered >= maxImages && !destroyed) {
      stopGrabbing(false);
    }
  }

  void deviceRemoved() {
    notifyConfigurations(&CConfigurationEventHandler::OnCameraDeviceRemoved, "OnCameraDeviceRemoved");
    if (!destroyed) {
      stopGrabbing(false);
    }
  }

  static void grabLoop(std::shared_ptr<CInstantCameraCore> self, Internal::Device* device) {
    while (!self->stopRequested.load()) {
      Internal::ResultSlot* slot = nullptr;
      const Internal::Device::WaitStatus status = device->waitForResult(Internal::Device::kInfinite, slot);
      if (status == Internal::Device::WaitStatus::Result) {
        if (self->stopRequested.load()) {
          slot->release();
          break;
        }
        self->deliver(slot);
      } else if (status == Internal::Device::WaitStatus::Removed) {
        self->deviceRemoved();
        break;
      } else if (status == Internal::Device::WaitStatus::Cancelled) {
        break;
      }
    }
  }

  // Stops, closes and destroys the device (deleting it when the camera owns it); journals
  // "DestroyDevice" unless the caller already did. Never throws. `api` not held.
  void destroyDevice(bool alreadyJournaled) {
    if (onGrabThread()) {
      std::lock_guard<std::recursive_mutex> lock(api);
      stopRequested.store(true);
      if (device != nullptr) {
        device->cancelWait();
      }
    }
    stopGrabbing(false);
    bool wasOpen = false;
    {
      std::lock_guard<std::recursive_mutex> lock(api);
      if (device == nullptr) {
        return;
      }
      if (!alreadyJournaled) {
        guarded("DestroyDevice", [&] { device->beforeOperation("DestroyDevice"); });
      }
      guarded("stopping the device", [&] {
        if (device->isStreaming()) {
          device->stopStreaming();
        }
      });
      wasOpen = device->isOpen();
    }
    if (wasOpen) {
      notifyConfigurations(&CConfigurationEventHandler::OnClose, "OnClose");
      {
        std::lock_guard<std::recursive_mutex> lock(api);
        if (device != nullptr && device->isOpen()) {
          guarded("closing the device", [&] { device->close(); });
        }
      }
      notifyConfigurations(&CConfigurationEventHandler::OnClosed, "OnClosed");
    }
    std::lock_guard<std::recursive_mutex> lock(api);
    Internal::Device* old = device;
    const ECleanup cleanup = deviceCleanup;
    device = nullptr;
    if (cleanup == Cleanup_Delete) {
      delete old;
    }
  }

  CInstantCamera& camera;
  mutable std::recursive_mutex api;
  Internal::Device* device = nullptr;
  ECleanup deviceCleanup = Cleanup_None;

  bool grabbing = false;
  EGrabLoop loopType = GrabLoop_ProvidedByUser;
  size_t maxImages = 0;
  size_t delivered = 0;
  int64_t nextImageNumber = 1;
  std::thread grabThread;
  std::thread::id grabThreadId;
  std::atomic<bool> stopRequested{false};

  std::recursive_mutex handlersMutex;
  std::vector<ConfigEntry> configurations;
  std::vector<ImageEntry> images;
  std::atomic<bool> destroyed{false};
};

class CInstantCamera::Impl {
 public:
  explicit Impl(CInstantCamera& owner) : core(std::make_shared<CInstantCameraCore>(owner)) {}
  std::shared_ptr<CInstantCameraCore> core;
};

using Core = CInstantCameraCore;
using Lock = std::lock_guard<std::recursive_mutex>;

CInstantCamera::CInstantCamera() : m_impl(std::make_unique<Impl>(*this)) {}

CInstantCamera::CInstantCamera(IPylonDevice* device, ECleanup cleanupProcedure) : CInstantCamera() {
  Attach(device, cleanupProcedure);
}

CInstantCamera::~CInstantCamera() {
  Core& core = *m_impl->core;
  core.destroyDevice(false);
  std::vector<Core::ConfigEntry> configurations;
  std::vector<Core::ImageEntry> images;
  {
    Lock lock(core.handlersMutex);
    core.destroyed.store(true);
    configurations.swap(core.configurations);
    images.swap(core.images);
    // Deleted with the lock held: a grab loop dispatching on this thread sees empty lists.
    for (const Core::ConfigEntry& entry : configurations) {
      if (entry.cleanup == Cleanup_Delete) {
        guarded("DestroyConfiguration", [&] { entry.handler->DestroyConfiguration(); });
      }
    }
    for (const Core::ImageEntry& entry : images) {
      if (entry.cleanup == Cleanup_Delete) {
        guarded("DestroyImageEventHandler", [&] { entry.handler->DestroyImageEventHandler(); });
      }
    }
  }
  Lock lock(core.api);
  if (core.grabThread.joinable()) {
    // Only when destroyed from inside a handler on its own grab loop: the loop ends by itself and
    // keeps the core alive until then.
    core.grabThread.detach();
  }
}

void CInstantCamera::Attach(IPylonDevice* device, ECleanup cleanupProcedure) {
  if (device == nullptr) {
    throw INVALID_ARGUMENT_EXCEPTION("Attach: the device is null.");
  }
  auto* internal = dynamic_cast<Internal::Device*>(device);
  if (internal == nullptr) {
    throw INVALID_ARGUMENT_EXCEPTION(
        "Attach: the device was not created by this SDK's transport-layer factory.");
  }
  Core& core = *m_impl->core;
  {
    Lock lock(core.api);
    if (internal == core.device) {
      core.touch("Attach", Core::kDevice);
      core.deviceCleanup = cleanupProcedure;
      return;
    }
  }
  try {
    internal->beforeOperation("Attach");
  } catch (...) {
    // The caller handed the device over; it does not leak because the attach failed.
    if (cleanupProcedure == Cleanup_Delete) {
      CTlFactory::GetInstance().DestroyDevice(device);
    }
    throw;
  }
  core.destroyDevice(false);
  core.notifyConfigurations(&CConfigurationEventHandler::OnAttach, "OnAttach");
  {
    Lock lock(core.api);
    core.device = internal;
    core.deviceCleanup = cleanupProcedure;
  }
  core.notifyConfigurations(&CConfigurationEventHandler::OnAttached, "OnAttached");
}

bool CInstantCamera::IsPylonDeviceAttached() const {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  if (core.device == nullptr) {
    return false;
  }
  core.touch("IsPylonDeviceAttached", Core::kDevice);
  return true;
}

bool CInstantCamera::IsCameraDeviceRemoved() const {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  return core.device != nullptr && core.device->isRemoved();
}

IPylonDevice* CInstantCamera::DetachDevice() {
  Core& core = *m_impl->core;
  {
    Lock lock(core.api);
    if (core.device == nullptr) {
      return nullptr;
    }
    core.touch("DetachDevice", Core::kDevice);
  }
  core.stopGrabbing(false);
  core.notifyConfigurations(&CConfigurationEventHandler::OnDetach, "OnDetach");
  Internal::Device* detached = nullptr;
  {
    Lock lock(core.api);
    detached = core.device;
    core.device = nullptr;
  }
  core.notifyConfigurations(&CConfigurationEventHandler::OnDetached, "OnDetached");
  return detached;
}

void CInstantCamera::DestroyDevice() {
  Core& core = *m_impl->core;
  {
    Lock lock(core.api);
    if (core.device == nullptr) {
      return;
    }
    core.touch("DestroyDevice", Core::kDevice);
  }
  core.notifyConfigurations(&CConfigurationEventHandler::OnDestroy, "OnDestroy");
  core.destroyDevice(true);
  core.notifyConfigurations(&CConfigurationEventHandler::OnDestroyed, "OnDestroyed");
}

void CInstantCamera::Open() {
  Core& core = *m_impl->core;
  core.joinEndedLoop();
  {
    Lock lock(core.api);
    if (core.touch("Open", Core::kPresent).isOpen()) {
      return;
    }
  }
  // Handlers are called without `api` held (they may call back into the camera); an exception
  // from OnOpen leaves the device unopened, one from OnOpened closes it again.
  {
    Lock handlers(core.handlersMutex);
    for (size_t i = 0; i < core.configurations.size(); ++i) {
      core.configurations[i].handler->OnOpen(*this);
    }
  }
  Internal::Device* device = nullptr;
  {
    Lock lock(core.api);
    if (core.device == nullptr) {
      throw RUNTIME_EXCEPTION("Open: the device was detached meanwhile.");
    }
    device = core.device;
    device->open();
  }
  try {
    Lock handlers(core.handlersMutex);
    for (size_t i = 0; i < core.configurations.size(); ++i) {
      core.configurations[i].handler->OnOpened(*this);
    }
  } catch (...) {
    Lock lock(core.api);
    if (core.device == device) {
      guarded("closing after a failed configuration", [&] { device->close(); });
    }
    throw;
  }
}

bool CInstantCamera::IsOpen() const {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  if (core.device == nullptr) {
    return false;
  }
  return core.touch("IsOpen", Core::kDevice).isOpen();
}

void CInstantCamera::Close() {
  Core& core = *m_impl->core;
  {
    Lock lock(core.api);
    core.touch("Close", Core::kDevice);
  }
  core.stopGrabbing(false);
  core.joinEndedLoop();
  bool wasOpen = false;
  {
    Lock lock(core.api);
    wasOpen = core.device != nullptr && core.device->isOpen();
  }
  if (!wasOpen) {
    return;
  }
  core.notifyConfigurations(&CConfigurationEventHandler::OnClose, "OnClose");
  {
    Lock lock(core.api);
    if (core.device != nullptr && core.device->isOpen()) {
      core.device->close();
    }
  }
  core.notifyConfigurations(&CConfigurationEventHandler::OnClosed, "OnClosed");
}

GenApi::INodeMap& CInstantCamera::GetNodeMap() {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  return core.touch("GetNodeMap", Core::kOpen).nodeMap();
}

const CDeviceInfo& CInstantCamera::GetDeviceInfo() const {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  return core.touch("GetDeviceInfo", Core::kDevice).GetDeviceInfo();
}

void CInstantCamera::RegisterConfiguration(CConfigurationEventHandler* handler, ERegistrationMode mode,
                                           ECleanup cleanupProcedure) {
  if (handler == nullptr) {
    throw INVALID_ARGUMENT_EXCEPTION("RegisterConfiguration: the handler is null.");
  }
  Core& core = *m_impl->core;
  try {
    Lock lock(core.api);
    if (core.device != nullptr) {
      core.touch("RegisterConfiguration", Core::kDevice);
    }
  } catch (...) {
    // Handed over for deletion: a failed registration must not leak it.
    if (cleanupProcedure == Cleanup_Delete) {
      handler->DestroyConfiguration();
    }
    throw;
  }
  std::vector<Core::ConfigEntry> replaced;
  Lock handlers(core.handlersMutex);
  if (mode == RegistrationMode_ReplaceAll) {
    for (const Core::ConfigEntry& entry : core.configurations) {
      if (entry.handler != handler) {
        replaced.push_back(entry);
      }
    }
    core.configurations.clear();
  }
  bool present = false;
  for (Core::ConfigEntry& entry : core.configurations) {
    if (entry.handler == handler) {
      entry.cleanup = cleanupProcedure;  // registered once, whatever the number of registrations
      present = true;
    }
  }
  if (!present) {
    core.configurations.push_back({handler, cleanupProcedure});
  }
  for (const Core::ConfigEntry& entry : replaced) {
    guarded("OnConfigurationDeregistered", [&] { entry.handler->OnConfigurationDeregistered(*this); });
    if (entry.cleanup == Cleanup_Delete) {
      guarded("DestroyConfiguration", [&] { entry.handler->DestroyConfiguration(); });
    }
  }
  guarded("OnConfigurationRegistered", [&] { handler->OnConfigurationRegistered(*this); });
}

bool CInstantCamera::DeregisterConfiguration(CConfigurationEventHandler* handler) {
  Core& core = *m_impl->core;
  Lock handlers(core.handlersMutex);
  for (auto it = core.configurations.begin(); it != core.configurations.end(); ++it) {
    if (it->handler == handler) {
      const Core::ConfigEntry entry = *it;
      core.configurations.erase(it);
      guarded("OnConfigurationDeregistered", [&] { entry.handler->OnConfigurationDeregistered(*this); });
      if (entry.cleanup == Cleanup_Delete) {
        guarded("DestroyConfiguration", [&] { entry.handler->DestroyConfiguration(); });
      }
      return true;
    }
  }
  return false;
}

void CInstantCamera::RegisterImageEventHandler(CImageEventHandler* handler, ERegistrationMode mode,
                                               ECleanup cleanupProcedure) {
  if (handler == nullptr) {
    throw INVALID_ARGUMENT_EXCEPTION("RegisterImageEventHandler: the handler is null.");
  }
  Core& core = *m_impl->core;
  try {
    Lock lock(core.api);
    if (core.device != nullptr) {
      core.touch("RegisterImageEventHandler", Core::kDevice);
    }
  } catch (...) {
    if (cleanupProcedure == Cleanup_Delete) {
      handler->DestroyImageEventHandler();
    }
    throw;
  }
  std::vector<Core::ImageEntry> replaced;
  Lock handlers(core.handlersMutex);
  if (mode == RegistrationMode_ReplaceAll) {
    for (const Core::ImageEntry& entry : core.images) {
      if (entry.handler != handler) {
        replaced.push_back(entry);
      }
    }
    core.images.clear();
  }
  bool present = false;
  for (Core::ImageEntry& entry : core.images) {
    if (entry.handler == handler) {
      entry.cleanup = cleanupProcedure;
      present = true;
    }
  }
  if (!present) {
    core.images.push_back({handler, cleanupProcedure});
  }
  for (const Core::ImageEntry& entry : replaced) {
    guarded("OnImageEventHandlerDeregistered",
            [&] { entry.handler->OnImageEventHandlerDeregistered(*this); });
    if (entry.cleanup == Cleanup_Delete) {
      guarded("DestroyImageEventHandler", [&] { entry.handler->DestroyImageEventHandler(); });
    }
  }
  guarded("OnImageEventHandlerRegistered", [&] { handler->OnImageEventHandlerRegistered(*this); });
}

bool CInstantCamera::DeregisterImageEventHandler(CImageEventHandler* handler) {
  Core& core = *m_impl->core;
  Lock handlers(core.handlersMutex);
  for (auto it = core.images.begin(); it != core.images.end(); ++it) {
    if (it->handler == handler) {
      const Core::ImageEntry entry = *it;
      core.images.erase(it);
      guarded("OnImageEventHandlerDeregistered",
              [&] { entry.handler->OnImageEventHandlerDeregistered(*this); });
      if (entry.cleanup == Cleanup_Delete) {
        guarded("DestroyImageEventHandler", [&] { entry.handler->DestroyImageEventHandler(); });
      }
      return true;
    }
  }
  return false;
}

void CInstantCamera::StartGrabbing(EGrabStrategy strategy, EGrabLoop grabLoopType) {
  StartGrabbing(0, strategy, grabLoopType);
}

void CInstantCamera::StartGrabbing(size_t maxImages, EGrabStrategy /*strategy*/, EGrabLoop grabLoopType) {
  Core& core = *m_impl->core;
  {
    Lock lock(core.api);
    core.touch("StartGrabbing", Core::kOpen);
    if (core.grabbing) {
      throw RUNTIME_EXCEPTION("StartGrabbing: the camera is already grabbing; stop grabbing first.");
    }
    if (core.grabThread.joinable() && core.onGrabThread()) {
      throw LOGICAL_ERROR_EXCEPTION(
          "StartGrabbing: grabbing cannot be restarted from inside a handler on the grab-loop thread.");
    }
  }
  core.joinEndedLoop();
  core.notifyConfigurations(&CConfigurationEventHandler::OnGrabStart, "OnGrabStart");
  {
    Lock lock(core.api);
    if (core.device == nullptr || !core.device->isOpen() || core.grabbing) {
      throw RUNTIME_EXCEPTION("StartGrabbing: the camera was closed, detached or started meanwhile.");
    }
    Internal::Device& device = *core.device;
    device.startStreaming(MaxNumBuffer);
    core.grabbing = true;
    core.loopType = grabLoopType;
    core.maxImages = maxImages;
    core.delivered = 0;
    core.nextImageNumber = 1;
    core.stopRequested.store(false);
    if (grabLoopType == GrabLoop_ProvidedByInstantCamera) {
      try {
        core.grabThread = std::thread(&Core::grabLoop, m_impl->core, &device);
        core.grabThreadId = core.grabThread.get_id();
      } catch (...) {
        core.grabbing = false;
        device.stopStreaming();
        throw RUNTIME_EXCEPTION("StartGrabbing: the grab-loop thread could not be started.");
      }
    }
  }
  core.notifyConfigurations(&CConfigurationEventHandler::OnGrabStarted, "OnGrabStarted");
}

bool CInstantCamera::RetrieveResult(unsigned int timeoutMs, CGrabResultPtr& grabResult,
                                    ETimeoutHandling timeoutHandling) {
  Core& core = *m_impl->core;
  grabResult.Release();
  Internal::Device* device = nullptr;
  {
    Lock lock(core.api);
    device = &core.touch("RetrieveResult", Core::kOpen);
    if (!core.grabbing) {
      throw RUNTIME_EXCEPTION("RetrieveResult: the camera is not grabbing.");
    }
    if (core.loopType == GrabLoop_ProvidedByInstantCamera) {
      throw LOGICAL_ERROR_EXCEPTION(
          "RetrieveResult: the instant camera's grab-loop thread retrieves the results.");
    }
  }
  Internal::ResultSlot* slot = nullptr;
  switch (device->waitForResult(timeoutMs, slot)) {
    case Internal::Device::WaitStatus::Result: {
      slot->addRef();  // one for the caller, one for the handlers
      core.deliver(slot);
      grabResult = CGrabResultPtr::Adopt(slot, slot->data());
      return true;
    }
    case Internal::Device::WaitStatus::Timeout:
      if (timeoutHandling == TimeoutHandling_ThrowException) {
        throw TIMEOUT_EXCEPTION("RetrieveResult: no result within %u ms.", timeoutMs);
      }
      return false;
    case Internal::Device::WaitStatus::Removed:
      core.deviceRemoved();
      throw RUNTIME_EXCEPTION("RetrieveResult: the camera device has been removed.");
    case Internal::Device::WaitStatus::Cancelled:
      return false;
  }
  return false;
}

void CInstantCamera::StopGrabbing() { m_impl->core->stopGrabbing(true); }

bool CInstantCamera::IsGrabbing() const {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  if (core.device == nullptr) {
    return false;
  }
  core.touch("IsGrabbing", Core::kDevice);
  return core.grabbing;
}

bool CInstantCamera::CanWaitForFrameTriggerReady() const {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  return core.touch("CanWaitForFrameTriggerReady", Core::kOpen).canWaitForFrameTriggerReady();
}

bool CInstantCamera::WaitForFrameTriggerReady(unsigned int timeoutMs, ETimeoutHandling timeoutHandling) {
  Core& core = *m_impl->core;
  Internal::Device* device = nullptr;
  {
    Lock lock(core.api);
    device = &core.touch("WaitForFrameTriggerReady", Core::kOpen);
    if (!device->canWaitForFrameTriggerReady()) {
      throw RUNTIME_EXCEPTION("WaitForFrameTriggerReady: the device cannot report trigger readiness.");
    }
    if (!core.grabbing) {
      throw RUNTIME_EXCEPTION("WaitForFrameTriggerReady: the camera is not grabbing.");
    }
  }
  const bool ready = device->waitForFrameTriggerReady(timeoutMs);
  if (!ready && timeoutHandling == TimeoutHandling_ThrowException) {
    throw TIMEOUT_EXCEPTION("WaitForFrameTriggerReady: the trigger was not ready within %u ms.", timeoutMs);
  }
  return ready;
}

void CInstantCamera::ExecuteSoftwareTrigger() {
  Core& core = *m_impl->core;
  Lock lock(core.api);
  core.touch("ExecuteSoftwareTrigger", Core::kOpen).executeSoftwareTrigger();
}

}  // namespace Pylon
