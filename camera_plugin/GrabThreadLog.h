// CGrabThreadLog: the module's log lines on the SDK's grab thread. Each line is built only when Qt
// would deliver it, asked of the default logging category at the moment of the frame, so a host
// that filters debug output (rules, QT_LOGGING_RULES, or a category filter) costs the grab thread
// no formatting and no allocation. The per-frame line is written into one reused buffer per thread.
#pragma once

#include <QtGlobal>
#include <cstdint>

class CGrabThreadLog {
 public:
  // Whether Qt delivers a message of this type through the default category now (or, for a warning
  // or critical line that the environment makes fatal, would act on it anyway). The host may change
  // the rules from any thread at any time; Qt reads them again when the line is written, so a line
  // built just before a change is dropped by Qt as it would have been.
  static bool enabled(QtMsgType type);

  // The per-frame debug line, "Image Frame N grabbed." as a quoted item, " _ " and the tag, exactly
  // as Qt's debug stream prints those items; nothing is built when debug lines are off.
  static void frameGrabbed(uint32_t imageNumber);
};
