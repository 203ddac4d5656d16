// Control API of the emulated cameras, for tests, benchmarks and demos: make cameras present,
// describe their node maps, inject faults into any SDK operation, pulse their input line, and read
// the journal of SDK calls made on each device. Cameras added here are listed by the transport-layer
// factory (transport "emulation") in the order they were added.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gcbase/Export.h"
#include "genapi/Types.h"

namespace Zazod::Emulation {

// One entry of an enumeration node.
struct EntryDescription {
  std::string name;
  GenApi::EAccessMode access = GenApi::RW;
};

enum class NodeKind { Enumeration, Integer, Command, String };

// One node of an emulated node map.
struct NodeDescription {
  std::string name;
  NodeKind kind = NodeKind::Enumeration;
  GenApi::EAccessMode access = GenApi::RW;
  std::vector<EntryDescription> entries;  // enumerations only, in the node's order
  std::string value;                      // initial value (symbolic name, or integer as text)
  // Values FromString refuses with an AccessException although they are entries.
  std::vector<std::string> refusedValues;
  // The node holds one value per entry of "TriggerSelector" (as TriggerMode, TriggerSource do).
  bool perTriggerSelector = false;
};

using NodeMapDescription = std::vector<NodeDescription>;

// The default node map: "TriggerSelector" {FrameStart, AcquisitionStart}, "TriggerMode" {Off, On}
// and "TriggerSource" {Line1, Software} per selected trigger, "AcquisitionMode"
// {SingleFrame, MultiFrame, Continuous}, "TriggerSoftware" (command), "Width", "Height" (integers).
ZAZOD_SDK_API NodeMapDescription DefaultNodeMap();

struct CameraDescription {
  std::string serialNumber = "EMU0001";
  std::string modelName = "Emulated";
  std::string vendorName = "Basler";
  uint32_t width = 640;
  uint32_t height = 480;
  NodeMapDescription nodes = DefaultNodeMap();
  double freeRunHz = 100.0;     // frame rate while the chosen trigger's mode is "Off"
  size_t bufferCount = 16;      // buffers in the device's fixed pool
  bool journal = true;          // record the call journal
  bool journalLookups = false;  // journal node lookups too, as "GetNode:<name>"
};

// An exception to inject: the GenICam kind by its type name ("RuntimeException",
// "LogicalErrorException", "InvalidArgumentException", "AccessException", "TimeoutException",
// "GenericException"), its description; or a std::bad_alloc when kind is "bad_alloc".
struct Fault {
  std::string kind = "RuntimeException";
  std::string description = "injected fault";
};

// A handle to one emulated camera; stays valid after the camera is removed.
class ZAZOD_SDK_API EmulatedCamera {
 public:
  class State;
  explicit EmulatedCamera(std::shared_ptr<State> state);

  std::string SerialNumber() const;

  // Makes the next `count` calls of `operation` on this device throw `fault` (count < 0: every call
  // until cleared). Operations: "Open", "Close", "IsOpen", "Attach", "DetachDevice",
  // "DestroyDevice", "GetNodeMap", "GetDeviceInfo", "RegisterConfiguration",
  // "RegisterImageEventHandler", "IsPylonDeviceAttached", "StartGrabbing", "StopGrabbing",
  // "IsGrabbing", "CanWaitForFrameTriggerReady", "WaitForFrameTriggerReady",
  // "ExecuteSoftwareTrigger", "RetrieveResult", "GetSerialNumber", "GetModelName", "CreateDevice",
  // and node writes as "FromString:<node>" (e.g. "FromString:TriggerMode"), reads as
  // "ToString:<node>", the grab-result readers as "GrabSucceeded", "GetBuffer", "GetWidth",
  // "GetHeight", "GetImageNumber", "GetErrorCode", "GetErrorDescription".
  void FailNext(const std::string& operation, const Fault& fault = Fault(), int count = 1);
  void ClearFaults();

  // The next `count` results fail with this error code and description.
  void FailNextResults(int count, uint32_t errorCode, const std::string& description);
  // The next result is preceded by a report of this many skipped images.
  void InjectSkippedImages(uint64_t count);
  // The next good result carries this image number; the count goes on from it.
  void SetNextImageNumber(int64_t imageNumber);
  void SetCanWaitForFrameTriggerReady(bool can);

  // Removes the device as if its cable were pulled: grabbing ends, further device operations fail.
  void Unplug();
  // Makes a removed device present again (a new device must be created to use it).
  void Replug();

  // One rising edge on the input line "Line1": a frame when the chosen trigger's source is "Line1".
  void PulseLine1();

  // The current value of a node as text; for a per-trigger node, the value for `trigger` (empty:
  // the currently selected trigger).
  std::string NodeValue(const std::string& node, const std::string& trigger = "") const;
  void SetNodeValue(const std::string& node, const std::string& value, const std::string& trigger = "");
  // Makes a node missing from now on: GetNode gives null for it (a firmware without that feature).
  void RemoveNode(const std::string& node);

  // The ordered journal of SDK operations and node writes made on this camera's devices: operation
  // names as listed for FailNext, node writes as "<node>=<value>" (e.g. "TriggerMode=On"), and with
  // journalLookups every node lookup as "GetNode:<name>", also of a node that is missing.
  std::vector<std::string> Journal() const;
  void ClearJournal();

  // Frames the device produced and handed to the SDK, and triggers it dropped for lack of a buffer.
  uint64_t FramesProduced() const;
  uint64_t FramesDropped() const;

 private:
  std::shared_ptr<State> m_state;
};

// Makes a camera present; returns its handle.
ZAZOD_SDK_API EmulatedCamera AddCamera(const CameraDescription& description = CameraDescription());
// Removes one camera (by serial number) or all cameras from the device list.
ZAZOD_SDK_API void RemoveCamera(const std::string& serialNumber);
ZAZOD_SDK_API void RemoveAllCameras();
ZAZOD_SDK_API std::vector<EmulatedCamera> Cameras();

// Faults of the SDK's process-wide operations: "PylonInitialize", "EnumerateDevices".
ZAZOD_SDK_API void FailNextGlobal(const std::string& operation, const Fault& fault = Fault(), int count = 1);
ZAZOD_SDK_API void ClearGlobalFaults();
// Journal of the process-wide operations ("PylonInitialize", "PylonTerminate",
// "EnumerateDevices").
ZAZOD_SDK_API std::vector<std::string> GlobalJournal();
ZAZOD_SDK_API void ClearGlobalJournal();

// Removes every camera, every fault and both journals: a fresh start for a test.
ZAZOD_SDK_API void Reset();

}  // namespace Zazod::Emulation
