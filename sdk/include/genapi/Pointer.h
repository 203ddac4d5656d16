// GenApi::CPointer: a smart pointer to a node interface, converted with a dynamic type check. An
// empty pointer is no error until it is used: then it raises LogicalErrorException
// "NULL pointer dereferenced".
#pragma once

#include <type_traits>

#include "gcbase/GCException.h"
#include "genapi/ICommand.h"
#include "genapi/IEnumeration.h"
#include "genapi/IInteger.h"
#include "genapi/INode.h"
#include "genapi/IString.h"

namespace GenApi {

template <class T, class B = IBase>
class CPointer {
 public:
  CPointer() = default;
  CPointer(T* target) : m_ptr(target) {}                // NOLINT: implicit by design
  CPointer(B* base) : m_ptr(dynamic_cast<T*>(base)) {}  // NOLINT: implicit by design
  template <class U, class = std::enable_if_t<!std::is_same<U, T>::value && !std::is_same<U, B>::value>>
  CPointer(U* other) : m_ptr(dynamic_cast<T*>(other)) {}  // NOLINT: implicit by design

  CPointer& operator=(B* base) {
    m_ptr = dynamic_cast<T*>(base);
    return *this;
  }

  T* operator->() const { return checked(); }
  T& operator*() const { return *checked(); }
  operator T*() const { return checked(); }  // NOLINT: implicit by design

  bool IsValid() const { return m_ptr != nullptr; }
  explicit operator bool() const { return IsValid(); }
  void Release() { m_ptr = nullptr; }

 private:
  T* checked() const {
    if (m_ptr == nullptr) {
      throw GenICam::ExceptionReporter<GenICam::LogicalErrorException>("genapi/pointer", 105,
                                                                       "LogicalErrorException")
          .Report("NULL pointer dereferenced");
    }
    return m_ptr;
  }

  T* m_ptr = nullptr;
};

using CNodePtr = CPointer<INode>;
using CEnumerationPtr = CPointer<IEnumeration>;
using CEnumEntryPtr = CPointer<IEnumEntry>;
using CCommandPtr = CPointer<ICommand>;
using CIntegerPtr = CPointer<IInteger>;
using CStringPtr = CPointer<IString>;

}  // namespace GenApi
