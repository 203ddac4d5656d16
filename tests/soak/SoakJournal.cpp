#include "SoakJournal.h"

#include <QTime>
#include <cstdio>
#include <mutex>

void SoakJournal::note(const QString& text) {
  static std::mutex mutex;
  // The local time is read under the lock too: the C library's time-zone setup it runs is not
  // safe on two threads at once.
  std::lock_guard<std::mutex> lock(mutex);
  const QByteArray line =
      (QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text + QLatin1Char('\n'))
          .toLocal8Bit();
  std::fputs(line.constData(), stderr);
  std::fflush(stderr);
}
