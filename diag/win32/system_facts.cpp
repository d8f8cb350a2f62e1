#include "system_facts.h"

#include <windows.h>

#include <cstring>

namespace kh {

SystemFacts readSystemFacts() {
    SystemFacts facts;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(&version)) {
        facts.versionKnown = true;
        facts.platformId = version.dwPlatformId;
        facts.majorVersion = version.dwMajorVersion;
        facts.minorVersion = version.dwMinorVersion;
        facts.buildNumber = version.dwBuildNumber;
        facts.servicePack.assign(version.szCSDVersion,
                                 strnlen(version.szCSDVersion, sizeof(version.szCSDVersion)));
    }
    facts.oemCodePage = GetOEMCP();
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    facts.processorArchitecture = info.wProcessorArchitecture;
    facts.processorRevision = info.wProcessorRevision;
    facts.processorCount = info.dwNumberOfProcessors;
    facts.pageSize = info.dwPageSize;
    return facts;
}

std::string systemDescription() {
    return describeSystem(readSystemFacts());
}

} // namespace kh
