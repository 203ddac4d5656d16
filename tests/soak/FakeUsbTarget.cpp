// FakeUsbTarget: unplugging and replugging one fake USB3 Vision device.
#include "FakeUsbTarget.h"

using Zazod::FakeUsb3::Removal;

Removal FakeUsbTarget::next() const { return m_outages % 2 == 0 ? Removal::DeviceLeft : Removal::NoDevice; }

void FakeUsbTarget::goAway() {
  m_control.unplug(m_camera, next());
  ++m_outages;
}

bool FakeUsbTarget::comeBack() {
  m_control.replug(m_camera);
  return m_control.plugged(m_camera);
}

std::string FakeUsbTarget::howItWent() const {
  return next() == Removal::DeviceLeft ? "unplugged (device left)" : "unplugged (no device)";
}
