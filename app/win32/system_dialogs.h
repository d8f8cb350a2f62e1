#pragma once
// The system's message boxes and file dialogs, with the program's conventions: warning
// icon, "No" as the default answer, filters written as "Name|*.ext|Name|*.ext".
#include <windows.h>

#include <optional>
#include <string>

namespace kh {

bool yesNoBox(HWND owner, const std::string& text, const std::string& caption);
void warningBox(HWND owner, const std::string& text, const std::string& caption);

struct FileDialogRequest {
    std::string filter;      // "Keyhaven Files|*.khk|All Files|*.*"
    int filterIndex = 1;     // 1-based, as the dialog counts
    std::string initialName; // full path or bare name; may be empty
    bool askOverwrite = false;
};
std::optional<std::string> saveFileDialog(HWND owner, const FileDialogRequest& request);
std::optional<std::string> openFileDialog(HWND owner, const FileDialogRequest& request);

} // namespace kh
