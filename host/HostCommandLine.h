// HostCommandLine: the arguments of zazod-host, parsed and checked with QCommandLineParser, and
// the command they name, run. Every bad argument becomes a HostError with ExitCode::Usage.
#pragma once

#include <GrabMode.h>

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

struct HostOptions {
  QString command;        // "list", "grab", "view" or "tables"
  QStringList arguments;  // as the process got them, the program first
  QString modulePath;
  bool verbose = false;
  std::optional<int> emulate;  // emulated cameras to make present before loading the module
  QString key;                 // empty: the first camera listed
  GrabMode mode = GrabMode_SoftwareTrigger;
  QString modeName = QStringLiteral("software");
  uint64_t frames = 10;
  std::optional<uint32_t> limit;  // counted mode; unset: the number of frames
  std::optional<double> rate;     // snaps a second; in hardware mode the emulated Line1 pulse rate
  QString outDir;                 // empty: no pictures
  uint64_t every = 1;
  double timeoutSeconds = 5.0;
  // view: where the live view listens, and the token every request must carry (empty: none).
  QString bind = QStringLiteral("127.0.0.1");
  uint16_t port = 8190;
  QString token;
};

class HostCommandLine {
 public:
  // Parses `arguments` (the program first) into options; prints the help and returns nothing for
  // --help. Throws HostError for bad arguments.
  static std::optional<HostOptions> parse(const QStringList& arguments);
  // Parses and runs the command; returns the process's exit code.
  static int run(const QStringList& arguments);
};
