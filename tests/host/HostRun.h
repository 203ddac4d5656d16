// HostRun: one run of zazod-host as a process, with the SDK layer's settings of the test's
// environment removed and the test's own put in, and what it printed and returned.
#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <ostream>

struct HostRun {
  bool finished = false;  // exited normally within the time allowed (no crash, no hang)
  int exitCode = -1;
  QString out;
  QString err;

  // Runs zazod-host with `arguments` and `environment`.
  static HostRun of(const QStringList& arguments, const QMap<QString, QString>& environment = {},
                    int timeoutMs = 60000);

  QStringList outLines() const;
  QStringList errLines() const;
  // The number after "  <field>" in the summary, -1 when there is none.
  long long summaryValue(const QString& field) const;
};

std::ostream& operator<<(std::ostream& out, const HostRun& run);
