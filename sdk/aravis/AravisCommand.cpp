// Zazod::Aravis::AravisCommand: executing a command node.
#include "AravisCommand.h"

#include <arv.h>

namespace Zazod::Aravis {

void AravisCommand::Execute(bool /*verify*/) {
  AravisLink& link = m_feature.link();
  std::lock_guard<std::recursive_mutex> lock(link.mutex());
  const std::string where = m_feature.operation("Execute");
  link.throwIfLost(where.c_str());
  GError* error = nullptr;
  arv_gc_command_execute(ARV_GC_COMMAND(m_feature.node()), &error);
  link.check(error, where.c_str());
}

bool AravisCommand::IsDone(bool /*verify*/) {
  m_feature.link().throwIfLost(m_feature.operation("IsDone").c_str());
  return true;
}

}  // namespace Zazod::Aravis
