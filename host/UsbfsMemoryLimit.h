// UsbfsMemoryLimit: the kernel's bound on the memory of all USB transfers in flight (usbcore's
// usbfs_memory_mb, in MiB, 0 for none), read strictly from its parameter file, and the warning
// `zazod-host list` gives when it is below what the buffers of the cameras listed may need.
//
// The host sees camera keys only, not their transport. When the SDK layer's Aravis transport runs
// its discovery (ZAZOD_SDK_TRANSPORTS names "aravis" and no ZAZOD_SDK_ARAVIS_ADDRESSES restricts it
// to GigE Vision addresses), every listed camera may be a USB3 Vision camera, and each is counted
// with the SDK layer's default of 10 buffers of a 4-megapixel Mono8 frame (2048x2048, 4 MiB): the
// PayloadSize of a typical USB3 Vision camera, known only once a camera is open.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <cstdint>

class UsbfsMemoryLimit {
 public:
  static constexpr const char* kParameterPath = "/sys/module/usbcore/parameters/usbfs_memory_mb";
  // Names another file to read instead of kParameterPath (machines without usbcore, tests).
  static constexpr const char* kPathVariable = "ZAZOD_HOST_USBFS_LIMIT_FILE";
  // The instant camera's default MaxNumBuffer, and the frame each buffer is counted for.
  static constexpr uint64_t kBuffersPerCamera = 10;
  static constexpr uint64_t kFrameBytes = 2048ULL * 2048ULL;
  // What the raise command suggests at least.
  static constexpr uint64_t kSuggestedMiB = 1000;
  // The parameter is an unsigned int; its file holds it in decimal and a newline.
  static constexpr uint64_t kMaxMiB = 4294967295ULL;
  static constexpr int kMaxFileBytes = 32;

  enum class State {
    Missing,    // no such file: no usbcore, so no limit to warn of
    Unlimited,  // 0
    Limited,    // megabytes() MiB
    Invalid,    // the file holds something else; problem() says what
  };

  // The content of the parameter file: 1 to 10 decimal digits, at most 4294967295, and nothing
  // else but one newline at the end.
  static UsbfsMemoryLimit parse(const QByteArray& content);
  // Reads at most kMaxFileBytes + 1 bytes of `path`, which must be a regular file.
  static UsbfsMemoryLimit read(const QString& path);
  // The file the environment names (kPathVariable), else kParameterPath.
  static QString path(const QProcessEnvironment& environment);

  // How many of `listed` cameras may be USB3 Vision cameras under the SDK layer's settings in
  // `environment`: all of them while the Aravis transport discovers devices, else none.
  static int usb3VisionCandidates(const QProcessEnvironment& environment, int listed);
  // MiB that `cameras` cameras' buffers need.
  static uint64_t neededMiB(int cameras);

  // The lines to print (without the program's prefix) for `cameras` possible USB3 Vision cameras;
  // none when the limit is missing, unlimited or enough. `path` is the file read.
  QStringList warning(int cameras, const QString& path) const;

  State state() const { return m_state; }
  uint64_t megabytes() const { return m_megabytes; }
  const QString& problem() const { return m_problem; }

 private:
  UsbfsMemoryLimit(State state, uint64_t megabytes, QString problem)
      : m_state(state), m_megabytes(megabytes), m_problem(std::move(problem)) {}
  static UsbfsMemoryLimit invalid(const QString& problem) { return {State::Invalid, 0, problem}; }

  State m_state;
  uint64_t m_megabytes;
  QString m_problem;
};
