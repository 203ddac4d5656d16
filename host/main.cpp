// zazod-host: loads a camera module of the host interface at run time, lists its cameras, grabs
// frames into PNG pictures and a contact sheet, and prints the name tables of the interface.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <csignal>
#include <iostream>

#include "HostCommandLine.h"
#include "HostError.h"

int main(int argc, char** argv) {
  // Output piped into a reader that quits early ends in a failed write, not in a signal that would
  // kill the process while a camera grabs.
  std::signal(SIGPIPE, SIG_IGN);
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zazod-host"));
  // The module's debug lines are counted (skipped images) even where the system's logging rules
  // would silence them; QT_LOGGING_RULES still has the last word.
  QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
  try {
    return HostCommandLine::run(QCoreApplication::arguments());
  } catch (const HostError& error) {
    std::cout.flush();
    std::cerr << "zazod-host: " << error.what() << std::endl;
    return static_cast<int>(error.code());
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "zazod-host: unexpected failure: " << error.what() << std::endl;
    return static_cast<int>(ExitCode::ModuleException);
  }
}
