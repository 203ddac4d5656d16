// Zazod::Emulation::EmulatedCamera::State: journal, presence, trigger configuration and result
// outcomes of one emulated camera.
#include "CameraState.h"

#include <algorithm>

#include "EmulatedDevice.h"
#include "EmulatedEnumeration.h"
#include "ResultSlot.h"
#include "gcbase/GCException.h"

namespace Zazod::Emulation {

namespace {
const std::string kNone;
}

EmulatedCamera::State::State(CameraDescription description)
    : m_description(std::move(description)), m_nodeMap(*this, m_description) {}

void EmulatedCamera::State::operation(const char* name) {
  if (m_description.journal) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_journal.emplace_back(name);
  }
  m_faults.check(name);
}

void EmulatedCamera::State::journalEntry(const std::string& entry) {
  if (m_description.journal) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_journal.push_back(entry);
  }
}

std::vector<std::string> EmulatedCamera::State::journal() const {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_journal;
}

void EmulatedCamera::State::clearJournal() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_journal.clear();
}

void EmulatedCamera::State::checkPresent(const char* what) const {
  if (m_unplugged.load()) {
    throw RUNTIME_EXCEPTION("%s: the camera %s has been removed.", what, m_description.serialNumber.c_str());
  }
}

void EmulatedCamera::State::unplug() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_unplugged.store(true);
  for (EmulatedDevice* device : m_devices) {
    device->onUnplugged();
  }
}

void EmulatedCamera::State::replug() { m_unplugged.store(false); }

const std::string& EmulatedCamera::State::selectedTrigger() const {
  const EmulatedNode* selector = m_nodeMap.present("TriggerSelector");
  return selector != nullptr ? selector->value() : kNone;
}

EmulatedCamera::State::Trigger EmulatedCamera::State::triggerConfiguration() const {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  std::string trigger;
  if (const auto* selector = dynamic_cast<const EmulatedEnumeration*>(m_nodeMap.present("TriggerSelector"))) {
    const EmulatedEnumEntry* frameStart = selector->entry("FrameStart");
    trigger = frameStart != nullptr && frameStart->available() ? "FrameStart" : "AcquisitionStart";
  }
  const EmulatedNode* mode = m_nodeMap.present("TriggerMode");
  if (mode == nullptr || mode->value(trigger) == "Off") {
    return Trigger::FreeRun;
  }
  if (mode->value(trigger) != "On") {
    return Trigger::None;
  }
  const EmulatedNode* source = m_nodeMap.present("TriggerSource");
  if (source == nullptr) {
    return Trigger::None;
  }
  const std::string& value = source->value(trigger);
  if (value == "Software") {
    return Trigger::Software;
  }
  return value == "Line1" ? Trigger::Line1 : Trigger::None;
}

bool EmulatedCamera::State::fillOutcome(Pylon::Internal::ResultSlot& slot, uint64_t blockId,
                                        uint64_t timeStamp) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  slot.setSkippedBefore(m_pendingSkipped);
  m_pendingSkipped = 0;
  slot.setImageNumberHint(false, 0);
  if (m_failResults > 0) {
    --m_failResults;
    slot.setFailed(m_failCode, m_failDescription.c_str(), blockId, timeStamp);
    return false;
  }
  const size_t payload = static_cast<size_t>(m_description.width) * m_description.height;
  slot.setSucceeded(m_description.width, m_description.height, Pylon::PixelType_Mono8, payload, blockId,
                    timeStamp);
  if (m_hasNextImageNumber) {
    slot.setImageNumberHint(true, m_nextImageNumber);
    m_hasNextImageNumber = false;
  }
  return true;
}

void EmulatedCamera::State::failNextResults(int count, uint32_t errorCode, const std::string& description) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_failResults = std::max(count, 0);
  m_failCode = errorCode;
  m_failDescription = description;
}

void EmulatedCamera::State::injectSkippedImages(uint64_t count) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_pendingSkipped += count;
}

void EmulatedCamera::State::setNextImageNumber(int64_t number) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_hasNextImageNumber = true;
  m_nextImageNumber = number;
}

void EmulatedCamera::State::addDevice(EmulatedDevice* device) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_devices.push_back(device);
}

void EmulatedCamera::State::removeDevice(EmulatedDevice* device) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}

void EmulatedCamera::State::softwareTrigger() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  for (EmulatedDevice* device : m_devices) {
    device->executeSoftwareTrigger();
  }
}

void EmulatedCamera::State::pulseLine1() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  for (EmulatedDevice* device : m_devices) {
    device->onLine1Pulse();
  }
}

void EmulatedCamera::State::nodeChanged() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  for (EmulatedDevice* device : m_devices) {
    device->wake();
  }
}

}  // namespace Zazod::Emulation
