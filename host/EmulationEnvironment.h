// EmulationEnvironment: the SDK layer's emulation settings (and its diagnostics) that the host's
// options ask for, put into the process environment before the module is loaded.
#pragma once

#include <QStringList>

#include "HostCommandLine.h"

class EmulationEnvironment {
 public:
  static constexpr double kDefaultLine1Hz = 30.0;

  // --verbose sets ZAZOD_SDK_DIAGNOSTICS=1 unless the environment names it (the SDK layer then says
  // on stderr, for instance, which way each GigE Vision stream receives). --emulate N sets
  // ZAZOD_SDK_EMULATED_CAMERAS=N. In hardware mode --rate sets
  // ZAZOD_SDK_EMULATED_LINE1_HZ; without --rate, emulated cameras get kDefaultLine1Hz unless the
  // environment already names a rate. The live view may switch to hardware mode later, so its
  // emulated cameras always get a Line1 rate.
  static void apply(const HostOptions& options);

  // The SDK layer reads its emulation settings when it starts, so the program starts again with
  // `arguments` (the program first) and one emulated camera. Returns only by throwing HostError.
  [[noreturn]] static void restartWithEmulatedCamera(const QStringList& arguments);
};
