// aravis_bare_client: the baseline of the Aravis scale rows, the least a program over libaravis does
// to receive software-triggered frames from GigE Vision cameras. With --packet-socket=off its
// streams are set up as the SDK layer sets up a stream that does not use the packet socket: the
// packet socket off, a socket buffer of twice the payload plus 64 KiB set before acquisition starts
// (and Aravis told to leave it alone); with --packet-socket=auto (the default) Aravis keeps its
// default, the packet socket wherever the process may open one. Both keep half a second of frame
// retention and the same number of buffers. One thread per camera triggers at the given rate; one
// per camera pops the completed buffers and pushes them straight back. Runs only inside a private
// network namespace.
//
//   aravis_bare_client --addresses=127.0.0.2,127.0.0.3 --seconds=30 --rate=20 --buffers=10
//     [--packet-socket=auto|off]
//
// Prints one line per camera, "camera ADDRESS triggers N completed N failed N", then
// "cpu_seconds S seconds S" (this process's CPU time over the triggering and the wait after it).
#include <arv.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "GvcpProbe.h"
#include "ProcessCpu.h"
#include "ProgramOptions.h"
#include "StreamSocketSizer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr guint kFrameRetentionUs = 500000;
constexpr guint64 kPopSliceUs = 20000;

struct Camera {
  std::string address;
  ArvDevice* device = nullptr;
  ArvStream* stream = nullptr;
  std::atomic<uint64_t> triggers{0};
  std::atomic<uint64_t> completed{0};
  std::atomic<uint64_t> failed{0};
};

bool report(GError* error, const std::string& what) {
  if (error == nullptr) {
    return true;
  }
  std::fprintf(stderr, "aravis_bare_client: %s: %s\n", what.c_str(), error->message);
  g_error_free(error);
  return false;
}

bool setUp(Camera& camera, size_t buffers, bool packetSocket) {
  GError* error = nullptr;
  const std::string local = Zazod::Aravis::GvcpProbe::localAddressFor(camera.address);
  GInetAddress* interfaceAddress = g_inet_address_new_from_string(local.c_str());
  GInetAddress* deviceAddress = g_inet_address_new_from_string(camera.address.c_str());
  camera.device = arv_gv_device_new(interfaceAddress, deviceAddress, &error);
  g_object_unref(interfaceAddress);
  g_object_unref(deviceAddress);
  if (!report(error, camera.address + ": connecting") || camera.device == nullptr) {
    return false;
  }
  if (!packetSocket) {
    arv_gv_device_set_stream_options(ARV_GV_DEVICE(camera.device),
                                     ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
  }
  const char* settings[][2] = {{"TriggerSelector", "FrameStart"},
                               {"TriggerMode", "On"},
                               {"TriggerSource", "Software"},
                               {"AcquisitionMode", "Continuous"}};
  for (const auto& setting : settings) {
    arv_device_set_string_feature_value(camera.device, setting[0], setting[1], &error);
    if (!report(error, camera.address + ": " + setting[0])) {
      return false;
    }
  }
  const gint64 payload = arv_device_get_integer_feature_value(camera.device, "PayloadSize", &error);
  if (!report(error, camera.address + ": PayloadSize")) {
    return false;
  }
  camera.stream = arv_device_create_stream(camera.device, nullptr, nullptr, &error);
  if (!report(error, camera.address + ": creating the stream") || camera.stream == nullptr) {
    return false;
  }
  g_object_set(camera.stream, "frame-retention", kFrameRetentionUs, nullptr);
  if (!packetSocket) {
    const gint64 socketBuffer = std::min<gint64>(std::max<gint64>(2 * payload + 65536, 1 << 20), 64 << 20);
    g_object_set(camera.stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED, "socket-buffer-size", 0,
                 nullptr);
    Zazod::Aravis::StreamSocketSizer::resize(arv_gv_stream_get_port(ARV_GV_STREAM(camera.stream)),
                                             static_cast<size_t>(socketBuffer));
  }
  for (size_t i = 0; i < buffers; ++i) {
    arv_stream_push_buffer(camera.stream, arv_buffer_new_allocate(static_cast<size_t>(payload)));
  }
  arv_device_execute_command(camera.device, "AcquisitionStart", &error);
  return report(error, camera.address + ": AcquisitionStart");
}

void receive(Camera& camera, const std::atomic<bool>& stop) {
  while (!stop.load()) {
    ArvBuffer* buffer = arv_stream_timeout_pop_buffer(camera.stream, kPopSliceUs);
    if (buffer == nullptr) {
      continue;
    }
    if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
      camera.completed.fetch_add(1);
    } else {
      camera.failed.fetch_add(1);
    }
    arv_stream_push_buffer(camera.stream, buffer);
  }
}

void trigger(Camera& camera, int rate, double seconds) {
  const Clock::time_point begin = Clock::now();
  const auto period = std::chrono::microseconds(1000000 / rate);
  const auto count = static_cast<int>(seconds * rate);
  for (int i = 0; i < count; ++i) {
    GError* error = nullptr;
    arv_device_execute_command(camera.device, "TriggerSoftware", &error);
    if (report(error, camera.address + ": TriggerSoftware")) {
      camera.triggers.fetch_add(1);
    }
    std::this_thread::sleep_until(begin + period * (i + 1));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string addresses = ProgramOptions::take(argc, argv, "--addresses");
  const double seconds = std::atof(ProgramOptions::take(argc, argv, "--seconds").c_str());
  const int rate = std::atoi(ProgramOptions::take(argc, argv, "--rate").c_str());
  const long buffers = std::atol(ProgramOptions::take(argc, argv, "--buffers").c_str());
  std::string mode = ProgramOptions::take(argc, argv, "--packet-socket");
  if (mode.empty()) {
    mode = "auto";
  }
  if (addresses.empty() || seconds <= 0 || rate <= 0 || buffers <= 0 || (mode != "auto" && mode != "off")) {
    std::fprintf(
        stderr,
        "usage: %s --addresses=IP[,IP...] --seconds=S --rate=HZ --buffers=N [--packet-socket=auto|off]\n",
        argv[0]);
    return 2;
  }
  std::vector<Camera> cameras(static_cast<size_t>(std::count(addresses.begin(), addresses.end(), ',') + 1));
  size_t start = 0;
  for (Camera& camera : cameras) {
    const size_t end = addresses.find(',', start);
    camera.address = addresses.substr(start, end - start);
    start = end + 1;
    if (!setUp(camera, static_cast<size_t>(buffers), mode == "auto")) {
      return 1;
    }
  }
  std::atomic<bool> stop{false};
  const double cpuBefore = ProcessCpu::self();
  const Clock::time_point begin = Clock::now();
  std::vector<std::thread> receivers;
  std::vector<std::thread> triggers;
  for (Camera& camera : cameras) {
    receivers.emplace_back(receive, std::ref(camera), std::cref(stop));
    triggers.emplace_back(trigger, std::ref(camera), rate, seconds);
  }
  for (std::thread& thread : triggers) {
    thread.join();
  }
  // The frames of the last triggers, or their failure after the frame retention.
  const auto all = [&] {
    for (const Camera& camera : cameras) {
      if (camera.completed.load() + camera.failed.load() < camera.triggers.load()) {
        return false;
      }
    }
    return true;
  };
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
  while (!all() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
  stop.store(true);
  for (std::thread& thread : receivers) {
    thread.join();
  }
  const double cpu = ProcessCpu::self() - cpuBefore;
  for (Camera& camera : cameras) {
    std::printf("camera %s triggers %llu completed %llu failed %llu\n", camera.address.c_str(),
                static_cast<unsigned long long>(camera.triggers.load()),
                static_cast<unsigned long long>(camera.completed.load()),
                static_cast<unsigned long long>(camera.failed.load()));
    GError* error = nullptr;
    arv_device_execute_command(camera.device, "AcquisitionStop", &error);
    report(error, camera.address + ": AcquisitionStop");
    g_object_unref(camera.stream);
    g_object_unref(camera.device);
  }
  std::printf("cpu_seconds %.4f seconds %.3f\n", cpu, elapsed);
  return 0;
}
