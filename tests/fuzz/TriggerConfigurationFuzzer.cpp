// Fuzz target: CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger over node maps generated from
// the input: any nodes missing, of the wrong kind, in any access mode, with entries in any order,
// some of them unavailable, and values the nodes refuse. The configuration either raises a GenICam
// exception or leaves the selector on FrameStart or AcquisitionStart with that trigger on,
// sourced from "Software", and acquisition continuous.
#include <zazod/emulation/Emulation.h>

#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "pylon/SoftwareTriggerConfiguration.h"

namespace emu = Zazod::Emulation;

namespace {

const char* const kNodeNames[] = {"TriggerSelector", "TriggerMode", "TriggerSource", "AcquisitionMode",
                                  "TriggerSoftware", "Width",       "Other"};
const char* const kEntryNames[] = {"FrameStart", "AcquisitionStart", "Off",         "On",   "Line1",
                                   "Software",   "Continuous",       "SingleFrame", "LineX"};
const emu::NodeKind kKinds[] = {emu::NodeKind::Enumeration, emu::NodeKind::Integer, emu::NodeKind::Command,
                                emu::NodeKind::String};

template <class T, size_t N>
const T& pick(FuzzInput& input, const T (&table)[N]) {
  return table[input.choice(N)];
}

GenApi::EAccessMode access(FuzzInput& input) { return static_cast<GenApi::EAccessMode>(input.choice(7)); }

emu::NodeMapDescription nodeMap(FuzzInput& input) {
  emu::NodeMapDescription nodes;
  const size_t count = input.choice(9);
  for (size_t n = 0; n < count; ++n) {
    emu::NodeDescription node;
    node.name = pick(input, kNodeNames);
    // Enumerations are the common case; the other kinds stand for a node of the wrong type.
    node.kind = input.choice(4) == 0 ? pick(input, kKinds) : emu::NodeKind::Enumeration;
    node.access = access(input);
    const size_t entries = input.choice(7);
    for (size_t e = 0; e < entries; ++e) {
      node.entries.push_back({pick(input, kEntryNames), access(input)});
    }
    if (input.flag()) {
      node.value = pick(input, kEntryNames);
    }
    const size_t refused = input.choice(3);
    for (size_t r = 0; r < refused; ++r) {
      node.refusedValues.push_back(pick(input, kEntryNames));
    }
    node.perTriggerSelector = input.flag();
    nodes.push_back(std::move(node));
  }
  return nodes;
}

// Whether the node the map finds under this name (the first one described) is kept per trigger.
bool perTrigger(const emu::NodeMapDescription& nodes, const std::string& name) {
  for (const emu::NodeDescription& node : nodes) {
    if (node.name == name) {
      return node.perTriggerSelector;
    }
  }
  return false;
}

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = (Pylon::PylonInitialize(), true);
  (void)initialised;
  emu::Reset();
  FuzzInput input(data, size);
  emu::CameraDescription description;
  description.serialNumber = "FUZZ";
  description.journal = false;
  description.nodes = nodeMap(input);
  emu::EmulatedCamera device = emu::AddCamera(description);

  Pylon::CTlFactory& factory = Pylon::CTlFactory::GetInstance();
  Pylon::DeviceInfoList_t devices;
  factory.EnumerateDevices(devices, false);
  Pylon::CInstantCamera camera(factory.CreateDevice(devices[0]), Pylon::Cleanup_Delete);
  camera.Open();
  bool completed = false;
  try {
    Pylon::CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(camera.GetNodeMap());
    completed = true;
  } catch (const GenICam::GenericException&) {
    // Missing nodes, wrong kinds, refused values and unusable selectors end here.
  }
  if (completed) {
    const std::string trigger = device.NodeValue("TriggerSelector");
    check(trigger == "FrameStart" || trigger == "AcquisitionStart");
    // Mode and source hold the chosen trigger's values where they are kept per trigger; a shared
    // node ends with whatever the walk over the selector's entries wrote last.
    if (perTrigger(description.nodes, "TriggerMode")) {
      check(device.NodeValue("TriggerMode", trigger) == "On");
    }
    if (perTrigger(description.nodes, "TriggerSource")) {
      check(device.NodeValue("TriggerSource", trigger) == "Software");
    }
    check(device.NodeValue("AcquisitionMode") == "Continuous");
  }
  camera.Close();
  return 0;
}
