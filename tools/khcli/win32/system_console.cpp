#include "system_console.h"

#include "secure_memory.h"

#include <algorithm>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

namespace kh::cli {
namespace {

// Wide text whose every buffer is wiped when it grows or goes.
using WideSecret = std::basic_string<wchar_t, std::char_traits<wchar_t>, WipingAllocator<wchar_t>>;

// UTF-8 of wide text, straight into `out`. A lone surrogate becomes U+FFFD, which no
// account text takes: such input is refused where it is used.
void appendUtf8(const wchar_t* text, int length, SecretString& out) {
    if (length <= 0) return;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[start], bytes, nullptr, nullptr);
}

bool isConsole(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

// A console shows the text as the characters it is; a pipe or a file gets the bytes.
void writeTo(HANDLE h, std::string_view text) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return;
    if (isConsole(h)) {
        const int size = static_cast<int>(text.size());
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
        if (length <= 0) return;
        WideSecret wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
        DWORD written = 0;
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        secureWipe(wide.data(), wide.size() * sizeof(wchar_t));
        return;
    }
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
        if (!WriteFile(h, text.data(), chunk, &written, nullptr) || written == 0) return;
        text.remove_prefix(written);
    }
}

// One line typed at a console, read as the characters typed (whatever the console's code
// page) into memory that wipes itself; a line of any length is read whole, so that no rest
// of it is left for the next question.
bool readConsoleLine(HANDLE in, SecretString& line) {
    line.wipe();
    WideSecret typed;
    wchar_t buffer[256];
    DWORD read = 0;
    bool any = false;
    while (ReadConsoleW(in, buffer, 256, &read, nullptr) && read > 0) {
        any = true;
        typed.append(buffer, read);
        if (typed.find(L'\n') != typed.npos) break;
    }
    SecureZeroMemory(buffer, sizeof buffer);
    const auto end = typed.find_first_of(L"\r\n");
    appendUtf8(typed.data(), static_cast<int>(end == typed.npos ? typed.size() : end), line);
    secureWipe(typed.data(), typed.size() * sizeof(wchar_t));
    return any;
}

// One line of a pipe or file, one byte at a time: nothing after the line is taken from the
// input, which may hold the answer to the next question.
bool readPipeLine(HANDLE in, SecretString& line) {
    line.wipe();
    // Room for a usual line first, so that the text does not grow out of the object's own
    // buffer and leave its first bytes there.
    line.resize(128);
    line.resize(0);
    bool any = false;
    char c = 0;
    DWORD read = 0;
    while (ReadFile(in, &c, 1, &read, nullptr) && read == 1) {
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    c = 0;
    if (!line.empty() && line.view().back() == '\r') line.resize(line.size() - 1);
    return any;
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

class Win32Console final : public Console {
  public:
    void out(std::string_view text) override { writeTo(GetStdHandle(STD_OUTPUT_HANDLE), text); }
    void err(std::string_view text) override { writeTo(GetStdHandle(STD_ERROR_HANDLE), text); }

    bool readLine(SecretString& line) override {
        const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        if (in == nullptr || in == INVALID_HANDLE_VALUE) return false;
        return isConsole(in) ? readConsoleLine(in, line) : readPipeLine(in, line);
    }

    bool promptHidden(std::string_view prompt, SecretString& answer) override {
        Handle in(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
        Handle out(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr));
        DWORD mode = 0;
        if (!in.valid() || !out.valid() || !GetConsoleMode(in.get(), &mode)) return false;
        writeTo(out.get(), prompt);
        SetConsoleMode(in.get(),
                       (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        const bool ok = readConsoleLine(in.get(), answer);
        SetConsoleMode(in.get(), mode);
        writeTo(out.get(), "\r\n");
        return ok;
    }
};

} // namespace

std::unique_ptr<Console> makeSystemConsole() {
    return std::make_unique<Win32Console>();
}

std::optional<std::vector<std::string>> systemArguments(int, char**) {
    // The wide command line, so that any character arrives whatever the ANSI code page.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::nullopt;
    std::vector<std::string> args;
    // Sized once: a short argument lives inside the vector's own buffer, and a buffer left
    // behind by growing would keep it (an entry's data given with --data, say).
    args.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    bool valid = true;
    for (int i = 1; i < count; ++i) {
        const int length = lstrlenW(wide[i]);
        const int bytes = length == 0 ? 0
                                      : WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i],
                                                            length, nullptr, 0, nullptr, nullptr);
        if (length > 0 && bytes <= 0) valid = false;
        std::string& arg = args.emplace_back(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], length, arg.data(), bytes,
                                nullptr, nullptr);
        // The system's copy of the split line goes back to the heap wiped.
        SecureZeroMemory(wide[i], static_cast<std::size_t>(length) * sizeof(wchar_t));
    }
    LocalFree(wide);
    if (!valid) {
        for (std::string& arg : args)
            secureWipe(arg.data(), arg.capacity());
        return std::nullopt;
    }
    return args;
}

} // namespace kh::cli
