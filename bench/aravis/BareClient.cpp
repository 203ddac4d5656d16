// aravis_bare_client: the baseline of the Aravis scale rows, the least a program over libaravis does
// to receive triggered frames, set up as the SDK layer sets up its streams. GigE Vision cameras by
// address: with --packet-socket=off as the SDK layer sets up a stream that does not use the packet
// socket (the packet socket off, a socket buffer of twice the payload plus 64 KiB set before
// acquisition starts, and Aravis told to leave it alone); with --packet-socket=auto (the default)
// Aravis keeps its default, the packet socket wherever the process may open one; half a second of
// frame retention either way. USB3
// Vision devices by serial number, in the USB mode given. The same number of buffers for both. One
// thread per camera triggers at the given rate (with --line1, none: the camera's Line1 triggers);
// one per camera pops the completed buffers and pushes them straight back. Runs only inside a
// private network namespace.
//
//   aravis_bare_client --addresses=127.0.0.2,127.0.0.3 --seconds=30 --rate=20 --buffers=10
//     [--packet-socket=auto|off]
//   aravis_bare_client --usb=USB30001,USB30002 --usb-mode=sync|async [--line1] --seconds=30 --rate=20 ...
//
// Prints one line per camera, "camera NAME triggers N completed N failed N", then
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
#include "UsbListing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr guint kFrameRetentionUs = 500000;
constexpr guint64 kPopSliceUs = 20000;

struct Camera {
  std::string address;  // a GigE Vision camera's, or empty
  std::string serial;   // a USB3 Vision device's, or empty
  std::string name;
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

bool connectGigE(Camera& camera, bool packetSocket, GError*& error) {
  const std::string local = Zazod::Aravis::GvcpProbe::localAddressFor(camera.address);
  GInetAddress* interfaceAddress = g_inet_address_new_from_string(local.c_str());
  GInetAddress* deviceAddress = g_inet_address_new_from_string(camera.address.c_str());
  camera.device = arv_gv_device_new(interfaceAddress, deviceAddress, &error);
  g_object_unref(interfaceAddress);
  g_object_unref(deviceAddress);
  if (!report(error, camera.name + ": connecting") || camera.device == nullptr) {
    return false;
  }
  if (!packetSocket) {
    arv_gv_device_set_stream_options(ARV_GV_DEVICE(camera.device),
                                     ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
  }
  return true;
}

struct Setup {
  size_t buffers = 0;
  ArvUvUsbMode usbMode = ARV_UV_USB_MODE_SYNC;
  bool packetSocket = true;
  const char* triggerSource = "Software";
};

bool setUp(Camera& camera, const Setup& setup) {
  GError* error = nullptr;
  if (!camera.serial.empty()) {
    std::string vendor;
    std::string model;
    UsbListing::find(camera.serial, vendor, model);
    camera.device = arv_uv_device_new(vendor.c_str(), model.c_str(), camera.serial.c_str(), &error);
    if (!report(error, camera.name + ": connecting") || camera.device == nullptr) {
      return false;
    }
    arv_uv_device_set_usb_mode(ARV_UV_DEVICE(camera.device), setup.usbMode);
  } else if (!connectGigE(camera, setup.packetSocket, error)) {
    return false;
  }
  const char* settings[][2] = {{"TriggerSelector", "FrameStart"},
                               {"TriggerMode", "On"},
                               {"TriggerSource", setup.triggerSource},
                               {"AcquisitionMode", "Continuous"}};
  for (const auto& setting : settings) {
    arv_device_set_string_feature_value(camera.device, setting[0], setting[1], &error);
    if (!report(error, camera.name + ": " + setting[0])) {
      return false;
    }
  }
  const gint64 payload = arv_device_get_integer_feature_value(camera.device, "PayloadSize", &error);
  if (!report(error, camera.name + ": PayloadSize")) {
    return false;
  }
  camera.stream = arv_device_create_stream(camera.device, nullptr, nullptr, &error);
  if (!report(error, camera.name + ": creating the stream") || camera.stream == nullptr) {
    return false;
  }
  if (ARV_IS_GV_STREAM(camera.stream)) {
    g_object_set(camera.stream, "frame-retention", kFrameRetentionUs, nullptr);
  }
  if (ARV_IS_GV_STREAM(camera.stream) && !setup.packetSocket) {
    const gint64 socketBuffer = std::min<gint64>(std::max<gint64>(2 * payload + 65536, 1 << 20), 64 << 20);
    g_object_set(camera.stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_FIXED, "socket-buffer-size", 0,
                 nullptr);
    Zazod::Aravis::StreamSocketSizer::resize(arv_gv_stream_get_port(ARV_GV_STREAM(camera.stream)),
                                             static_cast<size_t>(socketBuffer));
  }
  for (size_t i = 0; i < setup.buffers; ++i) {
    arv_stream_push_buffer(camera.stream, arv_buffer_new_allocate(static_cast<size_t>(payload)));
  }
  arv_device_execute_command(camera.device, "AcquisitionStart", &error);
  return report(error, camera.name + ": AcquisitionStart");
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
    if (report(error, camera.name + ": TriggerSoftware")) {
      camera.triggers.fetch_add(1);
    }
    std::this_thread::sleep_until(begin + period * (i + 1));
  }
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(',', start);
    items.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string addresses = ProgramOptions::take(argc, argv, "--addresses");
  const std::string serials = ProgramOptions::take(argc, argv, "--usb");
  const std::string usbMode = ProgramOptions::take(argc, argv, "--usb-mode");
  const bool line1 = ProgramOptions::take(argc, argv, "--line1") == "yes";
  const double seconds = std::atof(ProgramOptions::take(argc, argv, "--seconds").c_str());
  const int rate = std::atoi(ProgramOptions::take(argc, argv, "--rate").c_str());
  const long buffers = std::atol(ProgramOptions::take(argc, argv, "--buffers").c_str());
  std::string packetSocket = ProgramOptions::take(argc, argv, "--packet-socket");
  if (packetSocket.empty()) {
    packetSocket = "auto";
  }
  if (addresses.empty() == serials.empty() || seconds <= 0 || rate <= 0 || buffers <= 0 ||
      (!usbMode.empty() && usbMode != "sync" && usbMode != "async") ||
      (packetSocket != "auto" && packetSocket != "off")) {
    std::fprintf(stderr,
                 "usage: %s --addresses=IP[,IP...] | --usb=SERIAL[,SERIAL...] [--usb-mode=sync|async] "
                 "[--line1=yes] [--packet-socket=auto|off] --seconds=S --rate=HZ --buffers=N\n",
                 argv[0]);
    return 2;
  }
  Setup setup;
  setup.buffers = static_cast<size_t>(buffers);
  setup.usbMode = usbMode == "async" ? ARV_UV_USB_MODE_ASYNC : ARV_UV_USB_MODE_SYNC;
  setup.triggerSource = line1 ? "Line1" : "Software";
  setup.packetSocket = packetSocket == "auto";
  const std::vector<std::string> names = split(addresses.empty() ? serials : addresses);
  std::vector<Camera> cameras(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    Camera& camera = cameras[i];
    camera.name = names[i];
    (addresses.empty() ? camera.serial : camera.address) = names[i];
    if (!setUp(camera, setup)) {
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
    if (line1) {
      // The camera's Line1 triggers for the time given; counted as the frames it made.
      triggers.emplace_back(
          [seconds] { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); });
    } else {
      triggers.emplace_back(trigger, std::ref(camera), rate, seconds);
    }
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
  if (line1) {
    // With Line1 the frames that came are the triggers.
    for (Camera& camera : cameras) {
      camera.triggers.store(camera.completed.load() + camera.failed.load());
    }
  }
  for (Camera& camera : cameras) {
    std::printf("camera %s triggers %llu completed %llu failed %llu\n", camera.name.c_str(),
                static_cast<unsigned long long>(camera.triggers.load()),
                static_cast<unsigned long long>(camera.completed.load()),
                static_cast<unsigned long long>(camera.failed.load()));
    GError* error = nullptr;
    arv_device_execute_command(camera.device, "AcquisitionStop", &error);
    report(error, camera.name + ": AcquisitionStop");
    g_object_unref(camera.stream);
    g_object_unref(camera.device);
  }
  std::printf("cpu_seconds %.4f seconds %.3f\n", cpu, elapsed);
  return 0;
}
