// The crash report's texts: the one-line description of the system, the report itself, the
// address label, the mail link that sends the report, and the messages of the processor
// faults that reach the report.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kh {

// Where "Send report" addresses its mail.
inline constexpr std::string_view kSupportMailAddress = "support@keyhaven.example.org";
// The report format's own version, not the program's.
inline constexpr int kCrashReportVersion = 1;

inline constexpr std::uint32_t kPlatformWin9x = 1;
inline constexpr std::uint32_t kPlatformWinNT = 2;

// What the system says about itself (GetVersionExA, GetOEMCP, GetSystemInfo).
struct SystemFacts {
    bool versionKnown = false; // GetVersionExA answered
    std::uint32_t platformId = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0; // only its low 16 bits are shown
    std::string servicePack;
    std::uint32_t oemCodePage = 0;
    std::uint16_t processorArchitecture = 0;
    std::uint16_t processorRevision = 0;
    std::uint32_t processorCount = 0;
    std::uint32_t pageSize = 0;
};

// "Windows NT(5.1.2600)Service Pack 2 Language: 437 CPU: Intel(1793) Number: (1) PageSize:
// 4096"; the 9x family has no processor part.
std::string describeSystem(const SystemFacts& facts);

// "0x%08X": at least eight upper-case digits (a 64-bit address shows all of its digits).
std::string crashAddressText(std::uintptr_t address);

// The system description, the head with the version and the address, the error message
// and a closing ".".
std::string crashReportText(std::string_view systemDescription, std::uintptr_t address,
                            std::string_view message);

// Percent-encoding for a mailto header value: everything but letters, digits and "-._~" is
// escaped, so that "&", "#", "?" or "%" in a text cannot end the body or start another
// field. Line breaks become CR LF (as mail wants them) and the Windows-1252 text is sent as
// UTF-8.
std::string mailtoEncode(std::string_view text);

// "mailto:" the support address "?Subject=BugReport&Body=" and the encoded report followed
// by the encoded comment line.
std::string bugReportLink(std::string_view report, std::string_view comment);

// The message for a processor fault or system exception with its code, its address and
// the record's parameters (for an access violation: the kind of access and the address).
std::string structuredExceptionMessage(std::uint32_t code, std::uintptr_t address,
                                       std::span<const std::uintptr_t> parameters);

} // namespace kh
