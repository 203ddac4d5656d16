// ViewCommand: `zazod-host view`. Loads the module, opens a camera (the first listed, or one
// emulated camera when none is, saying so), starts it in the grab mode asked for, serves the live
// view until SIGINT or SIGTERM, then stops, closes and deletes the camera and prints a summary.
#pragma once

#include "HostCommandLine.h"
#include "LogCapture.h"

class ViewCommand {
 public:
  static constexpr double kDefaultAutoSnapHz = 10;
  static constexpr uint32_t kDefaultLimit = 10;
  static constexpr size_t kLogRetention = 5000;

  static int run(const HostOptions& options, LogCapture& log);

  // Whether `address` is a numeric loopback address (127.0.0.0/8 or ::1); false for a name.
  static bool isLoopback(const QString& address);
  // A numeric IPv4 or IPv6 address.
  static bool isNumericAddress(const QString& address);
};
