#pragma once

#include <QtGlobal>

namespace ToolEnvironment {

// Benchmarks and soak runs need no display and no debug chatter, unless the caller asks.
inline void quietOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "default.debug=false");
}

} // namespace ToolEnvironment
