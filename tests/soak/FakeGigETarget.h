// FakeGigETarget: a fake GigE Vision camera as an outage target: killed (SIGKILL, as a pulled
// cable) and started again with the same serial number on the same address.
#pragma once

#include "FakeCamera.h"
#include "OutageSchedule.h"

class FakeGigETarget : public OutageSchedule::Target {
 public:
  explicit FakeGigETarget(FakeCamera& camera) : m_camera(camera) {}
  std::string serialNumber() const override { return m_camera.serialNumber(); }
  void goAway() override { m_camera.kill(); }
  bool comeBack() override { return m_camera.start(); }
  std::string howItWent() const override { return "killed"; }

 private:
  FakeCamera& m_camera;
};
