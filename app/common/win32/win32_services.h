// The platform interfaces of app/services.h on Win32: boxes and file dialogs owned by
// the window that opens them, the clipboard, the shell and the clock.
#pragma once

#include "services.h"

#include <windows.h>

#include <functional>

namespace kh {

class TForm;

// The owner is asked for at each use: a form's window exists only once it is created.
using OwnerWindow = std::function<HWND()>;
OwnerWindow ownerOf(const TForm& form);

class WindowPrompts : public Prompts {
  public:
    explicit WindowPrompts(OwnerWindow owner) : owner_(std::move(owner)) {}
    bool ask(const std::string& caption, const std::string& text,
             DefaultButton defaultButton) override;
    void warning(const std::string& caption, const std::string& text) override;
    void information(const std::string& caption, const std::string& text) override;
    int choose(const std::string& caption, const std::string& text,
               const std::array<std::string, 3>& buttons) override;

  private:
    OwnerWindow owner_;
};

class WindowFileDialogs : public FileDialogs {
  public:
    explicit WindowFileDialogs(OwnerWindow owner) : owner_(std::move(owner)) {}
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> chooseFolder(const std::string& title,
                                            const std::string& start) override;

  private:
    OwnerWindow owner_;
};

class SystemClipboard : public Clipboard {
  public:
    bool hasText() override;
    std::optional<SecretString> text() override;
    bool setText(std::string_view text) override;
    bool clear() override;
};

class SystemShell : public Shell {
  public:
    bool open(const std::string& target, const std::string& parameters, ShowMode mode) override;
};

class SystemClock : public Clock {
  public:
    LocalTime localTime() override;
};

} // namespace kh
