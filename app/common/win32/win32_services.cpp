#include "win32_services.h"

#include "win32/form.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

namespace kh {
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
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
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

int CALLBACK folderStart(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data) SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

// Another program may hold the clipboard for a moment; a few short tries get past that.
class OpenedClipboard {
  public:
    explicit OpenedClipboard(HWND owner) {
        for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
            open_ = OpenClipboard(owner) != FALSE;
            if (!open_) Sleep(10);
        }
    }
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

  private:
    bool open_ = false;
};

// The clipboard needs an owner window: with none, what is put there may be refused.
HWND clipboardOwner() {
    static HWND owner = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KeyhavenClipboardOwner";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    }();
    return owner;
}

HGLOBAL globalCopy(const void* data, std::size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(target, data, size);
    GlobalUnlock(memory);
    return memory;
}

// A secret on the clipboard stays out of the clipboard history, cloud synchronisation and
// clipboard monitors that honour these formats.
void markAsPrivate() {
    const DWORD zero = 0;
    if (UINT format = RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing")) {
        if (HGLOBAL data = globalCopy(&zero, sizeof zero))
            if (!SetClipboardData(format, data)) GlobalFree(data);
    }
    for (const char* name : {"CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"}) {
        if (UINT format = RegisterClipboardFormatA(name)) {
            if (HGLOBAL data = globalCopy(&zero, sizeof zero))
                if (!SetClipboardData(format, data)) GlobalFree(data);
        }
    }
}

} // namespace

OwnerWindow ownerOf(const TForm& form) {
    return [&form] { return form.handle(); };
}

bool WindowPrompts::ask(const std::string& caption, const std::string& text,
                        DefaultButton defaultButton) {
    const UINT button = defaultButton == DefaultButton::Yes ? MB_DEFBUTTON1 : MB_DEFBUTTON2;
    return MessageBoxA(owner_(), text.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONWARNING | button) == IDYES;
}

void WindowPrompts::warning(const std::string& caption, const std::string& text) {
    MessageBoxA(owner_(), text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

void WindowPrompts::information(const std::string& caption, const std::string& text) {
    MessageBoxA(owner_(), text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

namespace {

// The captions a three-button box gets when it is activated (a box of the system cannot
// be given them otherwise), for the box this thread is about to show.
thread_local HHOOK tButtonHook = nullptr;
thread_local const std::array<std::string, 3>* tButtonCaptions = nullptr;

LRESULT CALLBACK captionButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && tButtonCaptions) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        const int ids[] = {IDYES, IDNO, IDCANCEL};
        for (int i = 0; i < 3; ++i)
            SetDlgItemTextA(box, ids[i], (*tButtonCaptions)[static_cast<std::size_t>(i)].c_str());
        tButtonCaptions = nullptr; // the box only, not what it may open
    }
    return CallNextHookEx(tButtonHook, code, wParam, lParam);
}

} // namespace

int WindowPrompts::choose(const std::string& caption, const std::string& text,
                          const std::array<std::string, 3>& buttons) {
    tButtonCaptions = &buttons;
    tButtonHook = SetWindowsHookExA(WH_CBT, captionButtons, nullptr, GetCurrentThreadId());
    const int pressed = MessageBoxA(owner_(), text.c_str(), caption.c_str(),
                                    MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON1);
    if (tButtonHook) UnhookWindowsHookEx(tButtonHook);
    tButtonHook = nullptr;
    tButtonCaptions = nullptr;
    return pressed == IDYES ? 0 : pressed == IDNO ? 1 : 2;
}

std::optional<std::string> WindowFileDialogs::saveFile(const FileDialogRequest& request) {
    return runFileDialog(owner_(), request, true);
}

std::optional<std::string> WindowFileDialogs::openFile(const FileDialogRequest& request) {
    return runFileDialog(owner_(), request, false);
}

std::optional<std::string> WindowFileDialogs::chooseFolder(const std::string& title,
                                                           const std::string& start) {
    BROWSEINFOA info{};
    info.hwndOwner = owner_();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = folderStart;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen) return std::nullopt;
    char path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListA(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!ok || !path[0]) return std::nullopt;
    return std::string(path);
}

bool SystemClipboard::hasText() {
    return IsClipboardFormatAvailable(CF_TEXT) != FALSE;
}

std::optional<SecretString> SystemClipboard::text() {
    OpenedClipboard open(clipboardOwner());
    if (!open) return std::nullopt;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) return std::nullopt;
    const auto* bytes = static_cast<const char*>(GlobalLock(data));
    if (!bytes) return std::nullopt;
    const std::size_t size = GlobalSize(data);
    std::size_t length = 0;
    while (length < size && bytes[length] != '\0')
        ++length;
    SecretString text(std::string_view(bytes, length));
    GlobalUnlock(data);
    return text;
}

bool SystemClipboard::setText(std::string_view text) {
    OpenedClipboard open(clipboardOwner());
    if (!open || !EmptyClipboard()) return false;
    std::vector<char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    HGLOBAL data = globalCopy(bytes.data(), bytes.size());
    secureWipe(bytes.data(), bytes.size());
    if (!data) return false;
    if (!SetClipboardData(CF_TEXT, data)) {
        GlobalFree(data);
        return false;
    }
    markAsPrivate();
    return true;
}

bool SystemClipboard::clear() {
    OpenedClipboard open(clipboardOwner());
    return open && EmptyClipboard() != FALSE;
}

bool SystemShell::open(const std::string& target, const std::string& parameters, ShowMode mode) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
        nullptr, "open", target.c_str(), parameters.empty() ? nullptr : parameters.c_str(), nullptr,
        mode == ShowMode::Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL));
    return result > 32;
}

LocalTime SystemClock::localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace kh
