#include "system_console.h"
#include "stream_console.h"

#include "secure_memory.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

namespace kh::cli {
namespace {

std::string toUtf8(const wchar_t* text, int length) {
    if (length == 0) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

class Win32Console final : public StreamConsole {
  public:
    Win32Console() {
        // The same bytes on every platform: no CR inserted before line feeds.
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
        _setmode(_fileno(stdin), _O_BINARY);
    }

    std::string filePath(const std::string& utf8) override {
        // The file functions take names in the ANSI code page.
        const int wideLength =
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        if (wideLength <= 0) return utf8;
        std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            wideLength);
        const int length =
            WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
        std::string ansi(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
        if (length > 0)
            WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), length, nullptr,
                                nullptr);
        return ansi;
    }

    bool promptHidden(std::string_view prompt, SecretString& answer) override {
        HANDLE in =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE out =
            CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0;
        if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE ||
            !GetConsoleMode(in, &mode)) {
            if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
            if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
            return false;
        }
        DWORD written = 0;
        WriteConsoleA(out, prompt.data(), static_cast<DWORD>(prompt.size()), &written, nullptr);
        SetConsoleMode(in, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        answer.wipe();
        wchar_t buffer[256];
        DWORD read = 0;
        bool ok = false;
        // Its memory is wiped whenever it grows or goes, so a line of any length is read
        // whole and leaves no copy behind (nor a rest for the next prompt to read).
        std::basic_string<wchar_t, std::char_traits<wchar_t>, WipingAllocator<wchar_t>> typed;
        while (ReadConsoleW(in, buffer, 256, &read, nullptr) && read > 0) {
            ok = true;
            typed.append(buffer, read);
            if (typed.find(L'\n') != typed.npos) break;
        }
        SecureZeroMemory(buffer, sizeof buffer);
        SetConsoleMode(in, mode);
        WriteConsoleA(out, "\r\n", 2, &written, nullptr);
        const auto end = typed.find_first_of(L"\r\n");
        if (end != typed.npos) typed.resize(end);
        std::string utf8 = toUtf8(typed.data(), static_cast<int>(typed.size()));
        answer.assign(utf8);
        wipeString(utf8);
        secureWipe(typed.data(), typed.size() * sizeof(wchar_t));
        CloseHandle(in);
        CloseHandle(out);
        return ok;
    }
};

} // namespace

std::unique_ptr<Console> makeSystemConsole() {
    return std::make_unique<Win32Console>();
}

std::vector<std::string> systemArguments(int, char**) {
    // The wide command line, so that any character arrives whatever the ANSI code page.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    // Sized once: a short argument lives inside the vector's own buffer, and a buffer left
    // behind by growing would keep it (an entry's data given with --data, say).
    args.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(toUtf8(wide[i], static_cast<int>(lstrlenW(wide[i]))));
    if (wide != nullptr) LocalFree(wide);
    return args;
}

} // namespace kh::cli
