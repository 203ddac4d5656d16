// Zazod::Emulation::FaultTable: arming, using up and raising injected faults.
#include "FaultTable.h"

#include <new>

#include "gcbase/GCException.h"

namespace Zazod::Emulation {

namespace {
constexpr const char* kSource = "zazod/emulation";
}

void FaultTable::arm(const std::string& operation, const Fault& fault, int count) {
  if (count == 0) {
    return;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_armed[operation] = Armed{fault, count};
  m_count.store(m_armed.size());
}

void FaultTable::clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_armed.clear();
  m_count.store(0);
}

void FaultTable::check(std::string_view operation) {
  if (m_count.load(std::memory_order_relaxed) == 0) {
    return;
  }
  Fault fault;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_armed.find(operation);
    if (it == m_armed.end()) {
      return;
    }
    fault = it->second.fault;
    if (it->second.remaining > 0 && --it->second.remaining == 0) {
      m_armed.erase(it);
      m_count.store(m_armed.size());
    }
  }
  raise(fault);
}

void FaultTable::check(std::string_view prefix, std::string_view name) {
  if (m_count.load(std::memory_order_relaxed) == 0) {
    return;
  }
  std::string operation(prefix);
  operation += name;
  check(std::string_view(operation));
}

void FaultTable::raise(const Fault& fault) {
  const char* description = fault.description.c_str();
  const std::string& kind = fault.kind;
  if (kind == "bad_alloc") {
    throw std::bad_alloc();
  }
  if (kind == "RuntimeException") {
    throw GenICam::RuntimeException(description, kSource, 0);
  }
  if (kind == "LogicalErrorException") {
    throw GenICam::LogicalErrorException(description, kSource, 0);
  }
  if (kind == "InvalidArgumentException") {
    throw GenICam::InvalidArgumentException(description, kSource, 0);
  }
  if (kind == "AccessException") {
    throw GenICam::AccessException(description, kSource, 0);
  }
  if (kind == "TimeoutException") {
    throw GenICam::TimeoutException(description, kSource, 0);
  }
  if (kind == "OutOfRangeException") {
    throw GenICam::OutOfRangeException(description, kSource, 0);
  }
  if (kind == "BadAllocException") {
    throw GenICam::BadAllocException(description, kSource, 0);
  }
  // "GenericException" and any other name: the base kind, carrying the name given.
  throw GenICam::GenericException(description, kSource, 0, kind.c_str());
}

}  // namespace Zazod::Emulation
