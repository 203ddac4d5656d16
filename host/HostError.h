// HostError: a failure that ends a zazod-host command with one line on stderr and an exit code
// that tells the kind of failure.
#pragma once

#include <QString>
#include <stdexcept>

enum class ExitCode : int {
  Success = 0,
  Usage = 2,            // unknown command, option or value
  Module = 3,           // the module is missing, not loadable or lacks an export
  Camera = 4,           // no camera to open, or the module refused to open it
  Acquisition = 5,      // IStartCamera returned 0 or a snap was refused
  Output = 6,           // the output folder or a picture cannot be written
  FramesMissing = 7,    // frames did not arrive within the timeout
  ModuleException = 8,  // the module let an exception reach the host
  Server = 9,           // the live view cannot listen on the address and port asked for
};

class HostError : public std::runtime_error {
 public:
  HostError(ExitCode code, const QString& message);

  ExitCode code() const { return m_code; }

 private:
  ExitCode m_code;
};
