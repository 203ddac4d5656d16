// GenICam exceptions: the base class with its four values and the full what() text, the kinds
// derived from it, and the printf-style description formatting every raising site uses.
#include "gcbase/GCException.h"

#include <cstdio>
#include <string>

namespace GenICam {

namespace {

std::string composeWhat(const std::string& description, const std::string& type, const std::string& file,
                        unsigned int line) {
  std::string text = description;
  text += " : ";
  text += type.empty() ? "GenericException" : type;
  text += " thrown (file '";
  text += file;
  text += "', line ";
  text += std::to_string(line);
  text += ")";
  return text;
}

}  // namespace

GenericException::GenericException(const char* description, const char* sourceFileName,
                                   unsigned int sourceLine)
    : GenericException(description, sourceFileName, sourceLine, "GenericException") {}

GenericException::GenericException(const char* description, const char* sourceFileName,
                                   unsigned int sourceLine, const char* exceptionType)
    : m_description(description != nullptr ? description : ""),
      m_sourceFileName(sourceFileName != nullptr ? sourceFileName : ""),
      m_sourceLine(sourceLine),
      m_exceptionType(exceptionType != nullptr ? exceptionType : ""),
      m_what(composeWhat(m_description, m_exceptionType, m_sourceFileName, m_sourceLine)) {}

GenericException::~GenericException() = default;

const char* GenericException::GetDescription() const { return m_description.c_str(); }
const char* GenericException::GetSourceFileName() const { return m_sourceFileName.c_str(); }
unsigned int GenericException::GetSourceLine() const { return m_sourceLine; }
const char* GenericException::GetExceptionType() const { return m_exceptionType.c_str(); }
const char* GenericException::what() const { return m_what.c_str(); }

#define ZAZOD_DEFINE_EXCEPTION(Name)                                                       \
  Name::Name(const char* description, const char* sourceFileName, unsigned int sourceLine) \
      : GenericException(description, sourceFileName, sourceLine, #Name) {}                \
  Name::Name(const char* description, const char* sourceFileName, unsigned int sourceLine, \
             const char* exceptionType)                                                    \
      : GenericException(description, sourceFileName, sourceLine, exceptionType) {}        \
  Name::~Name() = default;

ZAZOD_DEFINE_EXCEPTION(RuntimeException)
ZAZOD_DEFINE_EXCEPTION(LogicalErrorException)
ZAZOD_DEFINE_EXCEPTION(InvalidArgumentException)
ZAZOD_DEFINE_EXCEPTION(OutOfRangeException)
ZAZOD_DEFINE_EXCEPTION(BadAllocException)
ZAZOD_DEFINE_EXCEPTION(AccessException)
ZAZOD_DEFINE_EXCEPTION(TimeoutException)

#undef ZAZOD_DEFINE_EXCEPTION

std::string FormatExceptionDescription(const char* format, va_list arguments) {
  if (format == nullptr) {
    return std::string();
  }
  // "%hs" (an 8-bit string where wide strings are the default) is "%s" here. "%%hs" stays a literal.
  std::string translated;
  for (const char* p = format; *p != '\0'; ++p) {
    translated += *p;
    if (*p == '%') {
      if (p[1] == '%') {
        translated += '%';
        ++p;
        continue;
      }
      // Copy flags, width and precision, then drop an 'h' directly before 's'.
      const char* q = p + 1;
      while (*q != '\0' && std::string("-+ #0123456789.*").find(*q) != std::string::npos) {
        translated += *q++;
      }
      if (q[0] == 'h' && q[1] == 's') {
        ++q;
      }
      p = q - 1;
    }
  }
  char buffer[256];
  va_list copy;
  va_copy(copy, arguments);
  const int written = std::vsnprintf(buffer, sizeof buffer, translated.c_str(), copy);
  va_end(copy);
  if (written < 0) {
    return std::string();
  }
  return std::string(buffer);
}

}  // namespace GenICam
