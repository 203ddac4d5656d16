#include "SoakLogRouter.h"

namespace {

thread_local FrameCollector* t_collector = nullptr;

}  // namespace

void SoakLogRouter::bindThread(FrameCollector* collector) { t_collector = collector; }

void SoakLogRouter::onFailedGrab() {
  if (t_collector != nullptr) {
    t_collector->onFailedGrab();
  } else {
    m_unattributedFailed.fetch_add(1);
  }
}

void SoakLogRouter::onSkippedImages(uint64_t count) {
  if (t_collector != nullptr) {
    t_collector->onSkippedImages(count);
  } else {
    m_unattributedSkipped.fetch_add(count);
  }
}
