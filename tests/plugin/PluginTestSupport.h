// Shared fixture of the module's unit tests: a fresh emulation, a captured log, a recording sink and
// a settings record, plus helpers to read the emulation's journal.
#pragma once

#include <CameraConfig.h>
#include <gtest/gtest.h>
#include <zazod/emulation/Emulation.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CameraBasler.h"
#include "LogCapture.h"
#include "RecordingSink.h"

namespace emu = Zazod::Emulation;

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    config.cameraKey = QStringLiteral("basler EMU0001");
    config.imageFormat = 1;
  }
  void TearDown() override {
    camera.reset();
    emu::Reset();
  }

  // Makes one emulated camera present (default description unless given).
  emu::EmulatedCamera addCamera(const emu::CameraDescription& description = emu::CameraDescription()) {
    return emu::AddCamera(description);
  }
  CCameraBasler& create() {
    camera = std::make_unique<CCameraBasler>(&config, &sink);
    return *camera;
  }
  // Creates the object and opens the first emulated camera; the log and journal start empty after.
  CCameraBasler& createOpen(emu::EmulatedCamera& device) {
    create();
    EXPECT_EQ(camera->IOpenCamera(), 1);
    device.ClearJournal();
    log.clear();
    return *camera;
  }
  // As createOpen, then grabbing in software-trigger mode; the log starts empty after.
  CCameraBasler& createGrabbing(emu::EmulatedCamera& device) {
    createOpen(device);
    camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    EXPECT_EQ(camera->IStartCamera(), 1);
    log.clear();
    return *camera;
  }
  QString configText() const { return pointerText(&config); }

  LogCapture log;
  RecordingSink sink;
  CameraConfig config;
  std::unique_ptr<CCameraBasler> camera;
};

// Journal entries that are node writes ("<node>=<value>").
std::vector<std::string> nodeWrites(const std::vector<std::string>& journal);
// Journal entries among the given operation names, in order.
std::vector<std::string> operations(const std::vector<std::string>& journal,
                                    const std::vector<std::string>& names);
// Runs `action` and returns the SDK calls, node lookups and node writes the device saw meanwhile,
// with every log line written meanwhile at its place among them, as "log: <text>". Per-frame lines,
// which come from the grab thread at their own pace, are left out.
std::vector<std::string> timelineOf(LogCapture& log, emu::EmulatedCamera& device,
                                    const std::function<void()>& action);
LogLine debugLine(const QString& text);
LogLine warningLine(const QString& text);
LogLine criticalLine(const QString& text);
// The per-frame debug line for this image number.
LogLine frameLine(uint32_t number);
