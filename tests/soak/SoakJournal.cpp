#include "SoakJournal.h"

#include <QTime>
#include <cstdio>
#include <mutex>

void SoakJournal::note(const QString& text) {
  static std::mutex mutex;
  const QByteArray line =
      (QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text + QLatin1Char('\n'))
          .toLocal8Bit();
  std::lock_guard<std::mutex> lock(mutex);
  std::fputs(line.constData(), stderr);
  std::fflush(stderr);
}
