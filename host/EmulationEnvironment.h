// EmulationEnvironment: the SDK layer's emulation settings that the host's options ask for, put
// into the process environment before the module is loaded.
#pragma once

#include "HostCommandLine.h"

class EmulationEnvironment {
 public:
  static constexpr double kDefaultLine1Hz = 30.0;

  // --emulate N sets ZAZOD_SDK_EMULATED_CAMERAS=N. In hardware mode --rate sets
  // ZAZOD_SDK_EMULATED_LINE1_HZ; without --rate, emulated cameras get kDefaultLine1Hz unless the
  // environment already names a rate.
  static void apply(const HostOptions& options);
};
