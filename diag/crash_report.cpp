#include "crash_report.h"

#include "text_codec.h"
#include "text_format.h"

namespace kh {
namespace {

std::string_view architectureName(std::uint16_t architecture) {
    switch (architecture) {
    case 0:
        return "Intel";
    case 1:
        return "MIPS";
    case 2:
        return "ALPHA";
    case 3:
        return "PPC";
    default:
        return "Unknown";
    }
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// Every line break, whatever its form, as CR LF.
std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

struct FaultName {
    std::uint32_t code;
    const char* name;
};

constexpr FaultName kFaultNames[] = {
    {0x80000002u, "Data type misalignment"},
    {0xC0000006u, "In-page error"},
    {0xC000001Du, "Illegal instruction"},
    {0xC000008Cu, "Array bounds exceeded"},
    {0xC000008Du, "Floating-point denormal operand"},
    {0xC000008Eu, "Floating-point division by zero"},
    {0xC000008Fu, "Floating-point inexact result"},
    {0xC0000090u, "Floating-point invalid operation"},
    {0xC0000091u, "Floating-point overflow"},
    {0xC0000092u, "Floating-point stack check"},
    {0xC0000093u, "Floating-point underflow"},
    {0xC0000094u, "Integer division by zero"},
    {0xC0000095u, "Integer overflow"},
    {0xC0000096u, "Privileged instruction"},
    {0xC00000FDu, "Stack overflow"},
};

constexpr std::uint32_t kAccessViolation = 0xC0000005u;

} // namespace

std::string describeSystem(const SystemFacts& facts) {
    std::string text = "Windows";
    if (facts.versionKnown) {
        text += formatText(facts.platformId == kPlatformWin9x ? " 9x(%u.%u.%u)" : " NT(%u.%u.%u)",
                           {facts.majorVersion, facts.minorVersion, facts.buildNumber & 0xFFFFu});
        text += facts.servicePack;
    }
    text += formatText(" Language: %u", {facts.oemCodePage});
    if (facts.versionKnown && facts.platformId == kPlatformWinNT) {
        text += formatText(" CPU: %s(%u) Number: (%u)",
                           {architectureName(facts.processorArchitecture), facts.processorRevision,
                            facts.processorCount});
    }
    text += formatText(" PageSize: %u", {facts.pageSize});
    return text;
}

std::string crashAddressText(std::uintptr_t address) {
    return formatText("0x%08X", {address});
}

std::string crashReportText(std::string_view systemDescription, std::uintptr_t address,
                            std::string_view message) {
    std::string report(systemDescription);
    report += formatText(" Keyhaven Version: %d. The following error occured in application at "
                         "Address: 0x%08X. Message: ",
                         {kCrashReportVersion, address});
    report += message;
    report += '.';
    return report;
}

std::string mailtoEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = windows1252ToUtf8(withCrLf(text));
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string bugReportLink(std::string_view report, std::string_view comment) {
    std::string link = "mailto:";
    link += kSupportMailAddress;
    link += "?Subject=BugReport&Body=";
    link += mailtoEncode(report);
    link += mailtoEncode(comment);
    return link;
}

std::string structuredExceptionMessage(std::uint32_t code, std::uintptr_t address,
                                       std::span<const std::uintptr_t> parameters) {
    if (code == kAccessViolation) {
        std::string text = formatText("Access violation at address 0x%08X", {address});
        if (parameters.size() >= 2) {
            const char* access = parameters[0] == 0   ? "Read"
                                 : parameters[0] == 1 ? "Write"
                                 : parameters[0] == 8 ? "Execution"
                                                      : "Access";
            text += formatText(". %s of address 0x%08X", {access, parameters[1]});
        }
        return text;
    }
    for (const FaultName& fault : kFaultNames)
        if (fault.code == code) return formatText("%s at address 0x%08X", {fault.name, address});
    return formatText("Exception 0x%08X at address 0x%08X", {code, address});
}

} // namespace kh
