// Zazod::Aravis::AravisTransport: the transport "aravis", enabled only when ZAZOD_SDK_TRANSPORTS
// names it. It lists GigE Vision and USB3 Vision devices of the accepted vendors: those at the
// addresses of ZAZOD_SDK_ARAVIS_ADDRESSES, asked directly, with the USB3 Vision devices libusb
// enumerates when that list says "usb", or else those Aravis's discovery finds (which broadcasts on
// every interface). Enumeration is
// bounded in time: a discovery that has not finished within its bound is left to finish in the background and
// reports nothing this time.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "AravisDescriptor.h"
#include "Transport.h"

namespace Zazod::Aravis {

class AravisTransport : public Pylon::Internal::Transport {
 public:
  const char* name() const override { return "aravis"; }
  void enumerate(Pylon::DeviceInfoList_t& list) override;

 private:
  struct Discovery {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::vector<AravisDescriptor::Fields> found;
  };

  std::vector<AravisDescriptor::Fields> probeAddresses(const std::vector<std::string>& addresses);
  std::vector<AravisDescriptor::Fields> listUsb();
  std::vector<AravisDescriptor::Fields> discover();
  // False when a discovery that overran its bound is still running after a further bound.
  bool pendingDiscoveryFinished();

  std::mutex m_mutex;                      // one enumeration at a time
  std::shared_ptr<Discovery> m_discovery;  // the discovery still running after its bound, if any
};

}  // namespace Zazod::Aravis
