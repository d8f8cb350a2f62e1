#pragma once
// What the crash report says about the system it runs on.
#include "crash_report.h"

#include <string>

namespace kh {

// From GetVersionExA, GetOEMCP and GetSystemInfo.
SystemFacts readSystemFacts();
// describeSystem() of this system.
std::string systemDescription();

} // namespace kh
