// GenICam exceptions: GenericException, the base of every SDK failure, and its kinds. They do not
// derive from std::exception. ExceptionReporter formats a description printf-style (at most 255
// characters; "%hs" takes an 8-bit string) and builds the exception of a given kind from it.
#pragma once

#include <cstdarg>
#include <string>

#include "gcbase/Export.h"
#include "gcbase/GCString.h"

namespace GenICam {

class ZAZOD_SDK_API GenericException {
 public:
  GenericException(const char* description, const char* sourceFileName, unsigned int sourceLine);
  GenericException(const char* description, const char* sourceFileName, unsigned int sourceLine,
                   const char* exceptionType);
  GenericException(const GenericException&) = default;
  GenericException& operator=(const GenericException&) = default;
  virtual ~GenericException();

  // The description alone.
  const char* GetDescription() const;
  const char* GetSourceFileName() const;
  unsigned int GetSourceLine() const;
  const char* GetExceptionType() const;
  // The full text: description, type name, source file and line.
  virtual const char* what() const;

 private:
  std::string m_description;
  std::string m_sourceFileName;
  unsigned int m_sourceLine;
  std::string m_exceptionType;
  std::string m_what;
};

#define ZAZOD_DECLARE_EXCEPTION(Name)                                                   \
  class ZAZOD_SDK_API Name : public GenericException {                                  \
   public:                                                                              \
    Name(const char* description, const char* sourceFileName, unsigned int sourceLine); \
    Name(const char* description, const char* sourceFileName, unsigned int sourceLine,  \
         const char* exceptionType);                                                    \
    ~Name() override;                                                                   \
  }

ZAZOD_DECLARE_EXCEPTION(RuntimeException);
ZAZOD_DECLARE_EXCEPTION(LogicalErrorException);
ZAZOD_DECLARE_EXCEPTION(InvalidArgumentException);
ZAZOD_DECLARE_EXCEPTION(OutOfRangeException);
ZAZOD_DECLARE_EXCEPTION(BadAllocException);
ZAZOD_DECLARE_EXCEPTION(AccessException);
ZAZOD_DECLARE_EXCEPTION(TimeoutException);

#undef ZAZOD_DECLARE_EXCEPTION

// Formats a description the way every SDK exception is raised: printf-style into a buffer of 256
// bytes, cut at 255 characters. "%hs" is accepted as an 8-bit string conversion.
ZAZOD_SDK_API std::string FormatExceptionDescription(const char* format, va_list arguments);

// Remembers where an exception is raised (file, line, type name) and builds it from a format.
template <typename E>
class ExceptionReporter {
 public:
  ExceptionReporter(const char* sourceFileName, unsigned int sourceLine, const char* exceptionType)
      : m_sourceFileName(sourceFileName), m_sourceLine(sourceLine), m_exceptionType(exceptionType) {}

  // Not checked as a printf format: "%hs" is a conversion of its own here.
  E Report(const char* format, ...) const {
    va_list arguments;
    va_start(arguments, format);
    const std::string description = FormatExceptionDescription(format, arguments);
    va_end(arguments);
    return E(description.c_str(), m_sourceFileName, m_sourceLine, m_exceptionType);
  }

  E Report() const { return E("", m_sourceFileName, m_sourceLine, m_exceptionType); }

 private:
  const char* m_sourceFileName;
  unsigned int m_sourceLine;
  const char* m_exceptionType;
};

}  // namespace GenICam

// Raising helpers in the GenICam style: throw RUNTIME_EXCEPTION("Node %s missing", name);
#define ZAZOD_EXCEPTION(Kind, ...) \
  GenICam::ExceptionReporter<GenICam::Kind>(__FILE__, __LINE__, #Kind).Report(__VA_ARGS__)
#define RUNTIME_EXCEPTION(...) ZAZOD_EXCEPTION(RuntimeException, __VA_ARGS__)
#define LOGICAL_ERROR_EXCEPTION(...) ZAZOD_EXCEPTION(LogicalErrorException, __VA_ARGS__)
#define INVALID_ARGUMENT_EXCEPTION(...) ZAZOD_EXCEPTION(InvalidArgumentException, __VA_ARGS__)
#define OUT_OF_RANGE_EXCEPTION(...) ZAZOD_EXCEPTION(OutOfRangeException, __VA_ARGS__)
#define ACCESS_EXCEPTION(...) ZAZOD_EXCEPTION(AccessException, __VA_ARGS__)
#define TIMEOUT_EXCEPTION(...) ZAZOD_EXCEPTION(TimeoutException, __VA_ARGS__)
