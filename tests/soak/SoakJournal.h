// SoakJournal: one line on stderr, with the wall-clock time, for each outage and each loss and
// recovery the host notices, so that a run's events can be read beside GLib's and Aravis's own
// warnings. Lines of several threads never interleave.
#pragma once

#include <QString>

struct SoakJournal {
  static void note(const QString& text);
};
