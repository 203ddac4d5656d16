// FakeUsbTarget: a fake USB3 Vision device as an outage target: unplugged and plugged in again,
// through the fake's control API. Its outages take turns between the two ways a removal shows
// (every call failing with "no device", and that with the hotplug "device left" callback too),
// the hotplug way first.
#pragma once

#include <string>

#include "FakeUsb3Control.h"
#include "OutageSchedule.h"

class FakeUsbTarget : public OutageSchedule::Target {
 public:
  FakeUsbTarget(Zazod::FakeUsb3::FakeUsb3Control& control, size_t camera, std::string serialNumber)
      : m_control(control), m_camera(camera), m_serialNumber(std::move(serialNumber)) {}
  std::string serialNumber() const override { return m_serialNumber; }
  void goAway() override;
  bool comeBack() override;
  std::string howItWent() const override;

 private:
  Zazod::FakeUsb3::Removal next() const;

  Zazod::FakeUsb3::FakeUsb3Control& m_control;
  size_t m_camera;
  std::string m_serialNumber;
  unsigned m_outages = 0;
};
