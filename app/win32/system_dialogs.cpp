#include "system_dialogs.h"

#include <commdlg.h>

#include <vector>

namespace kh {

bool yesNoBox(HWND owner, const std::string& text, const std::string& caption) {
    return MessageBoxA(owner, text.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void warningBox(HWND owner, const std::string& text, const std::string& caption) {
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

namespace {

// "A|*.a|B|*.b" -> "A\0*.a\0B\0*.b\0\0"
std::vector<char> dialogFilter(const std::string& filter) {
    std::vector<char> out(filter.begin(), filter.end());
    for (char& c : out) {
        if (c == '|') c = '\0';
    }
    out.push_back('\0');
    out.push_back('\0');
    return out;
}

std::optional<std::string> runFileDialog(HWND owner, const FileDialogRequest& request, bool save) {
    std::vector<char> filter = dialogFilter(request.filter);
    std::vector<char> name(32768, '\0');
    request.initialName.copy(name.data(), std::min(request.initialName.size(), name.size() - 1));

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.data();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (save) {
        if (request.askOverwrite) ofn.Flags |= OFN_OVERWRITEPROMPT;
        if (!GetSaveFileNameA(&ofn)) return std::nullopt;
    } else {
        ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        if (!GetOpenFileNameA(&ofn)) return std::nullopt;
    }
    return std::string(name.data());
}

} // namespace

std::optional<std::string> saveFileDialog(HWND owner, const FileDialogRequest& request) {
    return runFileDialog(owner, request, true);
}

std::optional<std::string> openFileDialog(HWND owner, const FileDialogRequest& request) {
    return runFileDialog(owner, request, false);
}

} // namespace kh
