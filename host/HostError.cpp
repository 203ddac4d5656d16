#include "HostError.h"

HostError::HostError(ExitCode code, const QString& message)
    : std::runtime_error(message.toStdString()), m_code(code) {}
