// Zazod::Aravis::AravisFeature: one feature node of an Aravis GenICam tree, as the GenApi adapters
// share it: its name, and its access mode in GenApi's codes (Aravis numbers read-only 0, write-only
// 1, read-write 2 and keeps "implemented" and "available" apart; GenApi has NI 0, NA 1, WO 2, RO 3,
// RW 4). Every call takes the link's lock and fails at once when the device is lost.
#pragma once

#include <memory>
#include <string>

#include "AravisLink.h"
#include "genapi/Types.h"

typedef struct _ArvGcFeatureNode ArvGcFeatureNode;

namespace Zazod::Aravis {

class AravisFeature {
 public:
  AravisFeature(std::shared_ptr<AravisLink> link, ArvGcFeatureNode* node);

  const std::string& name() const { return m_name; }
  ArvGcFeatureNode* node() const { return m_node; }
  AravisLink& link() const { return *m_link; }
  const std::shared_ptr<AravisLink>& sharedLink() const { return m_link; }

  GenApi::EAccessMode accessMode() const;
  // "<name>.<what>", the operation text of exceptions.
  std::string operation(const char* what) const { return m_name + "." + what; }

 private:
  std::shared_ptr<AravisLink> m_link;
  ArvGcFeatureNode* m_node;  // owned by the GenICam tree, which outlives every adapter
  std::string m_name;
};

}  // namespace Zazod::Aravis
