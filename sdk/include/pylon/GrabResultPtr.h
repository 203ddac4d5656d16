// Pylon::CGrabResultPtr: a counted reference to a grab result. The result's buffer goes back to the
// device's pool when the last reference is released; no allocation happens per result.
#pragma once

#include "gcbase/Export.h"
#include "pylon/GrabResultData.h"

namespace Pylon {

class ZAZOD_SDK_API CGrabResultPtr {
 public:
  CGrabResultPtr() = default;
  CGrabResultPtr(const CGrabResultPtr& other);
  CGrabResultPtr(CGrabResultPtr&& other) noexcept;
  CGrabResultPtr& operator=(const CGrabResultPtr& other);
  CGrabResultPtr& operator=(CGrabResultPtr&& other) noexcept;
  ~CGrabResultPtr();

  // Raises LogicalErrorException when empty.
  CGrabResultData* operator->() const;
  bool IsValid() const { return m_data != nullptr; }
  explicit operator bool() const { return IsValid(); }
  void Release();

  // Takes over one reference that the caller already holds on the slot.
  static CGrabResultPtr Adopt(Internal::ResultSlot* slot, CGrabResultData* data);

 private:
  Internal::ResultSlot* m_slot = nullptr;
  CGrabResultData* m_data = nullptr;
};

}  // namespace Pylon
