#include "HostRun.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

HostRun HostRun::of(const QStringList& arguments, const QMap<QString, QString>& environment, int timeoutMs) {
  QProcessEnvironment processEnvironment = QProcessEnvironment::systemEnvironment();
  for (const QString& name : processEnvironment.keys()) {
    if (name.startsWith(QLatin1String("ZAZOD_SDK_"))) {
      processEnvironment.remove(name);
    }
  }
  for (auto it = environment.constBegin(); it != environment.constEnd(); ++it) {
    processEnvironment.insert(it.key(), it.value());
  }
  QProcess process;
  process.setProcessEnvironment(processEnvironment);
  process.start(QStringLiteral(ZAZOD_HOST_PATH), arguments);
  HostRun run;
  if (!process.waitForStarted(timeoutMs)) {
    run.err = process.errorString();
    return run;
  }
  const bool ended = process.waitForFinished(timeoutMs);
  if (!ended) {
    process.kill();
    process.waitForFinished(timeoutMs);
  }
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  run.finished = ended && process.exitStatus() == QProcess::NormalExit;
  run.exitCode = process.exitCode();
  return run;
}

QStringList HostRun::outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

QStringList HostRun::errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

long long HostRun::summaryValue(const QString& field) const {
  const QRegularExpression pattern(QStringLiteral("^  %1 +(\\d+)").arg(QRegularExpression::escape(field)),
                                   QRegularExpression::MultilineOption);
  const QRegularExpressionMatch match = pattern.match(out);
  return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

std::ostream& operator<<(std::ostream& out, const HostRun& run) {
  return out << "exit " << run.exitCode << (run.finished ? "" : " (crashed or hung)") << "\n--- stdout\n"
             << run.out.toStdString() << "--- stderr\n"
             << run.err.toStdString();
}
