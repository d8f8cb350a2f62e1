// The core's paths (std::string in the process's path encoding) in the system's wide form
// and back. Every file function of this folder goes through the wide functions with them:
// the ANSI ones would map a character that the code page lacks to a look-alike ("best
// fit"), and a name could then lead to another file than the one it names.
#pragma once

#include "file_system.h"

#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace kh::win32 {

inline UINT pathCodePage() {
    return pathEncoding() == PathEncoding::Utf8 ? CP_UTF8 : CP_ACP;
}

// The wide form of `path`; empty when the path is empty or does not convert exactly.
inline std::wstring widePath(const std::string& path) {
    if (path.empty() || path.size() > 0x7FFFFFFF) return {};
    const int size = static_cast<int>(path.size());
    const int length =
        MultiByteToWideChar(pathCodePage(), MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(pathCodePage(), MB_ERR_INVALID_CHARS, path.data(), size, wide.data(),
                            length) != length)
        return {};
    // A zero inside would end the name early at the system.
    if (wide.find(L'\0') != std::wstring::npos) return {};
    return wide;
}

// `wide` in the given code page; false when a character has no exact form there.
inline bool narrowTo(UINT codePage, const std::wstring& wide, std::string& out) {
    out.clear();
    if (wide.empty()) return true;
    if (wide.size() > 0x7FFFFFFF) return false;
    const int size = static_cast<int>(wide.size());
    // UTF-8 holds every character but a lone surrogate; a code page needs the check that
    // nothing was replaced.
    const bool utf8 = codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* lossyOut = utf8 ? nullptr : &lossy;
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, lossyOut);
    if (length <= 0 || lossy) return false;
    out.assign(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), size, out.data(), length, nullptr,
                            lossyOut) != length ||
        lossy) {
        out.clear();
        return false;
    }
    return true;
}

// `wide` in the process's path encoding.
inline bool narrowPath(const std::wstring& wide, std::string& out) {
    return narrowTo(pathCodePage(), wide, out);
}

} // namespace kh::win32
