// Pylon::CGrabResultPtr and the fault hook of CGrabResultData: a counted reference to a pooled
// result slot, released back to the pool with the last reference.
#include "ResultFaults.h"
#include "ResultSlot.h"
#include "gcbase/GCException.h"
#include "pylon/GrabResultPtr.h"

namespace Pylon {

void CGrabResultData::throwIfFaulty(Reader reader) const { m_faults->check(reader); }

CGrabResultPtr::CGrabResultPtr(const CGrabResultPtr& other) : m_slot(other.m_slot), m_data(other.m_data) {
  if (m_slot != nullptr) {
    m_slot->addRef();
  }
}

CGrabResultPtr::CGrabResultPtr(CGrabResultPtr&& other) noexcept : m_slot(other.m_slot), m_data(other.m_data) {
  other.m_slot = nullptr;
  other.m_data = nullptr;
}

CGrabResultPtr& CGrabResultPtr::operator=(const CGrabResultPtr& other) {
  if (this != &other) {
    if (other.m_slot != nullptr) {
      other.m_slot->addRef();
    }
    Release();
    m_slot = other.m_slot;
    m_data = other.m_data;
  }
  return *this;
}

CGrabResultPtr& CGrabResultPtr::operator=(CGrabResultPtr&& other) noexcept {
  if (this != &other) {
    Release();
    m_slot = other.m_slot;
    m_data = other.m_data;
    other.m_slot = nullptr;
    other.m_data = nullptr;
  }
  return *this;
}

CGrabResultPtr::~CGrabResultPtr() { Release(); }

CGrabResultData* CGrabResultPtr::operator->() const {
  if (m_data == nullptr) {
    throw LOGICAL_ERROR_EXCEPTION("The grab result pointer is empty.");
  }
  return m_data;
}

void CGrabResultPtr::Release() {
  Internal::ResultSlot* slot = m_slot;
  m_slot = nullptr;
  m_data = nullptr;
  if (slot != nullptr) {
    slot->release();
  }
}

CGrabResultPtr CGrabResultPtr::Adopt(Internal::ResultSlot* slot, CGrabResultData* data) {
  CGrabResultPtr result;
  result.m_slot = slot;
  result.m_data = data;
  return result;
}

}  // namespace Pylon
