// DefaultModule: where zazod-host finds its camera module when no --module is given. Run from its
// build folder, the host loads the module of the same build; installed, it loads the module of the
// same installation, found relative to the program, so the prefix may be anywhere.
#pragma once

#include <QString>

class DefaultModule {
 public:
  // The module path for a program whose directory is `programDir`.
  static QString pathFor(const QString& programDir);
  // The module path for the running program.
  static QString path();
};
