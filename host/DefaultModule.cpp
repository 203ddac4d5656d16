#include "DefaultModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#if !defined(ZAZOD_HOST_BUILD_DIR) || !defined(ZAZOD_HOST_BUILD_MODULE) || \
    !defined(ZAZOD_HOST_INSTALLED_MODULE)
#error "ZAZOD_HOST_BUILD_DIR, ZAZOD_HOST_BUILD_MODULE and ZAZOD_HOST_INSTALLED_MODULE must be defined"
#endif

QString DefaultModule::pathFor(const QString& programDir) {
  const QString here = QFileInfo(programDir).canonicalFilePath();
  const QString buildDir = QFileInfo(QStringLiteral(ZAZOD_HOST_BUILD_DIR)).canonicalFilePath();
  if (!here.isEmpty() && here == buildDir) {
    return QStringLiteral(ZAZOD_HOST_BUILD_MODULE);
  }
  // Anywhere else the program is an installed one: the module sits at its place in the same
  // installation. If it is missing there, loading names this path rather than falling back to a
  // module of some build tree.
  return QDir::cleanPath(QDir(programDir).filePath(QStringLiteral(ZAZOD_HOST_INSTALLED_MODULE)));
}

QString DefaultModule::path() {
  // The executable's own directory (through /proc/self/exe), not the working directory.
  const QString program = QCoreApplication::instance() != nullptr
                              ? QCoreApplication::applicationDirPath()
                              : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
  return pathFor(program);
}
