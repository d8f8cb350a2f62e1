// The crash report's texts: the system line in its NT and 9x shapes, the report around the
// error's own message, and the mail link that must carry any message intact.
#include "crash_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kh {
namespace {

SystemFacts ntFacts() {
    SystemFacts facts;
    facts.versionKnown = true;
    facts.platformId = kPlatformWinNT;
    facts.majorVersion = 5;
    facts.minorVersion = 1;
    facts.buildNumber = 2600;
    facts.servicePack = "Service Pack 2";
    facts.oemCodePage = 437;
    facts.processorArchitecture = 0;
    facts.processorRevision = 1793;
    facts.processorCount = 1;
    facts.pageSize = 4096;
    return facts;
}

TEST(SystemDescription, ShapesOfTheNtAnd9xFamilies) {
    struct Case {
        const char* what;
        SystemFacts facts;
        const char* expected;
    };
    std::vector<Case> cases;
    cases.push_back({"NT, one processor", ntFacts(),
                     "Windows NT(5.1.2600)Service Pack 2 Language: 437 CPU: Intel(1793) "
                     "Number: (1) PageSize: 4096"});
    {
        SystemFacts f = ntFacts();
        f.majorVersion = 10;
        f.minorVersion = 0;
        f.buildNumber = 19045;
        f.servicePack.clear();
        f.processorArchitecture = 9; // x64 is not one of the four named ones
        f.processorRevision = 0xFFFF;
        f.processorCount = 8;
        f.oemCodePage = 850;
        f.pageSize = 65536;
        cases.push_back({"NT, no service pack, eight processors", f,
                         "Windows NT(10.0.19045) Language: 850 CPU: Unknown(65535) Number: (8) "
                         "PageSize: 65536"});
    }
    {
        SystemFacts f = ntFacts();
        f.platformId = kPlatformWin9x;
        f.majorVersion = 4;
        f.minorVersion = 10;
        f.buildNumber = 0x040A08AE; // the 9x family keeps major and minor in the high word
        f.servicePack = " A ";
        f.oemCodePage = 850;
        cases.push_back({"9x: no processor part, still the page size", f,
                         "Windows 9x(4.10.2222) A  Language: 850 PageSize: 4096"});
    }
    {
        SystemFacts f = ntFacts();
        f.platformId = 0; // Win32s counts as not 9x, but has no processor part
        cases.push_back(
            {"Win32s", f, "Windows NT(5.1.2600)Service Pack 2 Language: 437 PageSize: 4096"});
    }
    {
        SystemFacts f = ntFacts();
        f.versionKnown = false;
        cases.push_back({"version unreadable", f, "Windows Language: 437 PageSize: 4096"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, describeSystem(c.facts));
    }

    const char* const names[] = {"Intel", "MIPS", "ALPHA", "PPC", "Unknown"};
    for (std::uint16_t arch = 0; arch < 5; ++arch) {
        SystemFacts f = ntFacts();
        f.processorArchitecture = arch;
        EXPECT_NE(std::string::npos,
                  describeSystem(f).find(std::string(" CPU: ") + names[arch] + "(1793)"))
            << arch;
    }
}

TEST(CrashReport, HeadMessageAndClosingDot) {
    const std::string system = describeSystem(ntFacts());
    EXPECT_EQ(system +
                  " Keyhaven Version: 1. The following error occured in application at Address: "
                  "0x0040ABCD. Message: List index out of bounds (5).",
              crashReportText(system, 0x0040ABCD, "List index out of bounds (5)"));
    // The message is the error's own text, never a pattern.
    EXPECT_EQ("W Keyhaven Version: 1. The following error occured in application at Address: "
              "0x00000000. Message: 100% %s%d.",
              crashReportText("W", 0, "100% %s%d"));
    EXPECT_EQ('.', crashReportText("W", 7, "").back());
}

TEST(CrashReport, AddressLabelHasAtLeastEightUpperCaseDigits) {
    const std::pair<std::uintptr_t, const char*> cases[] = {
        {0, "0x00000000"},
        {0xabc, "0x00000ABC"},
        {0xFFFFFFFFu, "0xFFFFFFFF"},
        {static_cast<std::uintptr_t>(0x140001558ull), "0x140001558"},
    };
    for (const auto& [address, text] : cases)
        EXPECT_EQ(text, crashAddressText(address));
}

TEST(MailtoEncode, EscapesEverythingButUnreservedCharacters) {
    struct Case {
        const char* what;
        std::string text;
        const char* encoded;
    };
    const Case cases[] = {
        {"unreserved", "Abz-0.9_~", "Abz-0.9_~"},
        {"blank", "a b", "a%20b"},
        {"field and fragment separators", "a&b=c?d#e", "a%26b%3Dc%3Fd%23e"},
        {"percent", "100%", "100%25"},
        {"plus, slash, colon, at", "+/:@", "%2B%2F%3A%40"},
        {"LF", "a\nb", "a%0D%0Ab"},
        {"CR LF", "a\r\nb", "a%0D%0Ab"},
        {"CR", "a\rb", "a%0D%0Ab"},
        {"LF CR is two breaks", "a\n\rb", "a%0D%0A%0D%0Ab"},
        {"Windows-1252 as UTF-8", "caf\xE9 \x80", "caf%C3%A9%20%E2%82%AC"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.encoded, mailtoEncode(c.text));
    }
}

// Percent-decoding, to see what a mail program makes of the link.
std::string decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

TEST(BugReportLink, SubjectThenTheEncodedReportAndComment) {
    EXPECT_EQ("mailto:support@keyhaven.example.org?Subject=BugReport&Body=Windows%20NT.Please%20add"
              "%20some%20comment%20here%3A",
              bugReportLink("Windows NT.", "Please add some comment here:"));

    // A message that would end the body, add header fields or cut the link off.
    const std::string report = "Message: a&cc=x@example.com&Subject=y#z?w%41\nnext.";
    const std::string link = bugReportLink(report, "Comment:");
    const std::string prefix = "mailto:support@keyhaven.example.org?Subject=BugReport&Body=";
    ASSERT_EQ(prefix, link.substr(0, prefix.size()));
    const std::string body = link.substr(prefix.size());
    EXPECT_EQ(std::string::npos, body.find_first_of("&=?# \n\r"));
    EXPECT_EQ("Message: a&cc=x@example.com&Subject=y#z?w%41\r\nnext.Comment:", decode(body));
}

TEST(StructuredExceptionMessage, NamesTheFaultAndWhereItHappened) {
    struct Case {
        std::uint32_t code;
        std::uintptr_t address;
        std::vector<std::uintptr_t> parameters;
        const char* expected;
    };
    const Case cases[] = {
        {0xC0000005u,
         static_cast<std::uintptr_t>(0x140001558ull),
         {1, 0xBAD},
         "Access violation at address 0x140001558. Write of address 0x00000BAD"},
        {0xC0000005u,
         0x401000,
         {0, 0},
         "Access violation at address 0x00401000. Read of address "
         "0x00000000"},
        {0xC0000005u,
         0x401000,
         {8, 0x1234},
         "Access violation at address 0x00401000. Execution "
         "of address 0x00001234"},
        {0xC0000005u, 0x401000, {}, "Access violation at address 0x00401000"},
        {0xC0000094u, 0x401000, {}, "Integer division by zero at address 0x00401000"},
        {0xC000001Du, 0x12, {}, "Illegal instruction at address 0x00000012"},
        {0xE0001234u, 0x10, {}, "Exception 0xE0001234 at address 0x00000010"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, structuredExceptionMessage(c.code, c.address, c.parameters));
}

} // namespace
} // namespace kh
