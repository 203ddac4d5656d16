// Zazod::Aravis::AravisTransport: enumeration by address or by Aravis's discovery, the vendor
// filter, and the registration of the transport under the name "aravis".
#include "AravisTransport.h"

#include <arv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <optional>
#include <thread>

#include "AravisSettings.h"
#include "DeviceIdentity.h"
#include "GvcpProbe.h"
#include "StreamPath.h"
#include "TransportRegistry.h"

namespace Zazod::Aravis {

namespace {

constexpr unsigned int kProbeTimeoutMs = 1000;
// Aravis's discovery waits about a second for answers; USB enumeration is quick.
constexpr auto kDiscoveryBound = std::chrono::seconds(5);

std::string text(const char* value) { return value != nullptr ? value : ""; }

}  // namespace

void AravisTransport::enumerate(Pylon::DeviceInfoList_t& list) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const AravisSettings settings = AravisSettings::fromEnvironment();
  for (const std::string& rejected : settings.rejectedAddresses()) {
    std::fprintf(stderr, "zazod_sdk: ZAZOD_SDK_ARAVIS_ADDRESSES: \"%s\" is no IPv4 address; ignored\n",
                 rejected.c_str());
  }
  std::vector<AravisDescriptor::Fields> found;
  if (settings.hasAddresses()) {
    // The addresses in the order given, then (when asked for) the USB3 Vision devices by serial
    // number.
    found = probeAddresses(settings.addresses());
    if (settings.listsUsb()) {
      std::vector<AravisDescriptor::Fields> usb = listUsb();
      std::stable_sort(usb.begin(), usb.end(),
                       [](const auto& a, const auto& b) { return a.serialNumber < b.serialNumber; });
      std::move(usb.begin(), usb.end(), std::back_inserter(found));
    }
  } else {
    found = discover();
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return a.protocol != b.protocol ? a.protocol < b.protocol : a.serialNumber < b.serialNumber;
    });
  }
  const bool diagnostics = StreamPath::diagnosticsEnabled();
  std::optional<StreamPath::Way> way;
  for (AravisDescriptor::Fields& fields : found) {
    if (!settings.acceptsVendor(fields.vendor)) {
      continue;
    }
    if (diagnostics && fields.protocol == "GigEVision") {
      if (!way) {
        way = StreamPath::current();
      }
      std::fprintf(stderr, "zazod_sdk: %s at %s: a GigE Vision stream would receive through %s\n",
                   StreamPath::shown(fields.serialNumber.c_str()).c_str(),
                   StreamPath::shown(fields.address.c_str()).c_str(), StreamPath::describe(*way));
    }
    list.emplace_back(std::make_shared<AravisDescriptor>(std::move(fields)));
  }
}

std::vector<AravisDescriptor::Fields> AravisTransport::probeAddresses(
    const std::vector<std::string>& addresses) {
  std::vector<AravisDescriptor::Fields> found;
  for (const std::string& address : addresses) {
    GvcpProbe::Identity identity;
    const char* refusal = nullptr;
    if (GvcpProbe::identify(address, kProbeTimeoutMs, identity, &refusal)) {
      found.push_back({"GigEVision", address, identity.vendor, identity.model, identity.serialNumber,
                       identity.userDefinedName});
    } else if (refusal != nullptr) {
      std::fprintf(stderr, "zazod_sdk: the GigE Vision device at %s is not listed: %s\n", address.c_str(),
                   refusal);
    }
  }
  return found;
}

bool AravisTransport::pendingDiscoveryFinished() {
  if (m_discovery != nullptr) {
    // The previous discovery overran its bound: wait for it once more rather than start another
    // (Aravis's device lists are process-wide).
    std::unique_lock<std::mutex> pending(m_discovery->mutex);
    if (!m_discovery->finished.wait_for(pending, kDiscoveryBound, [&] { return m_discovery->done; })) {
      std::fprintf(stderr, "zazod_sdk: Aravis discovery is still running; no Aravis devices listed\n");
      return false;
    }
    pending.unlock();
    m_discovery.reset();
  }
  return true;
}

std::vector<AravisDescriptor::Fields> AravisTransport::listUsb() {
  if (!pendingDiscoveryFinished()) {
    return {};
  }
  // Only Aravis's USB interface: it enumerates through libusb and sends nothing on a network.
  ArvInterface* usb = arv_uv_interface_get_instance();
  arv_interface_update_device_list(usb);
  std::vector<AravisDescriptor::Fields> found;
  const unsigned int count = arv_interface_get_n_devices(usb);
  for (unsigned int i = 0; i < count; ++i) {
    if (text(arv_interface_get_device_protocol(usb, i)) != "USB3Vision") {
      continue;
    }
    found.push_back({"USB3Vision", text(arv_interface_get_device_address(usb, i)),
                     text(arv_interface_get_device_vendor(usb, i)),
                     text(arv_interface_get_device_model(usb, i)),
                     text(arv_interface_get_device_serial_nbr(usb, i)), std::string()});
  }
  return found;
}

std::vector<AravisDescriptor::Fields> AravisTransport::discover() {
  if (!pendingDiscoveryFinished()) {
    return {};
  }
  auto discovery = std::make_shared<Discovery>();
  std::thread worker([discovery] {
    arv_update_device_list();
    std::vector<AravisDescriptor::Fields> found;
    const unsigned int count = arv_get_n_devices();
    for (unsigned int i = 0; i < count; ++i) {
      const std::string protocol = text(arv_get_device_protocol(i));
      if (protocol != "GigEVision" && protocol != "USB3Vision") {
        continue;
      }
      // The names are the device's own words, as Aravis received them: the same rules as for an
      // answer to our own probe.
      const DeviceIdentity identity{text(arv_get_device_vendor(i)), text(arv_get_device_model(i)),
                                    text(arv_get_device_serial_nbr(i)), std::string()};
      if (const char* refusal = identity.refusal()) {
        std::fprintf(stderr, "zazod_sdk: a %s device Aravis found is not listed: %s\n", protocol.c_str(),
                     refusal);
        continue;
      }
      found.push_back({protocol, text(arv_get_device_address(i)), identity.vendor, identity.model,
                       identity.serialNumber, identity.userDefinedName});
    }
    std::lock_guard<std::mutex> done(discovery->mutex);
    discovery->found = std::move(found);
    discovery->done = true;
    discovery->finished.notify_all();
  });
  std::unique_lock<std::mutex> waiting(discovery->mutex);
  if (!discovery->finished.wait_for(waiting, kDiscoveryBound, [&] { return discovery->done; })) {
    waiting.unlock();
    worker.detach();  // it ends by itself; the next enumeration waits for it
    m_discovery = discovery;
    std::fprintf(stderr, "zazod_sdk: Aravis discovery did not finish in time; no Aravis devices listed\n");
    return {};
  }
  std::vector<AravisDescriptor::Fields> found = std::move(discovery->found);
  waiting.unlock();
  worker.join();
  return found;
}

namespace {

Pylon::Internal::Transport* createTransport() {
  static AravisTransport transport;
  return &transport;
}

[[maybe_unused]] const bool g_registered =
    Pylon::Internal::TransportRegistry::instance().add("aravis", &createTransport);

}  // namespace

}  // namespace Zazod::Aravis
