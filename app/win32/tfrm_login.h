#pragma once
// The login dialog: account file, name and password. It exists, hidden, for the whole
// run, and its window carries the instance marker that a second start looks for.
#include "secure_memory.h"
#include "win32/form.h"

#include <string>

namespace kh {

class TfrmMain;

inline constexpr LONG_PTR kInstanceMarker = 0x12345678;

class TfrmKeyhavenLogin : public TForm {
  public:
    explicit TfrmKeyhavenLogin(TfrmMain& main);

    // Fills the boxes for a new opening: the file is kept only when it has a readable
    // account header; the password box starts empty.
    void prefill(const std::string& file, const std::string& name);
    // The three texts the dialog keeps between openings.
    const std::string& keptFile() const { return keptFile_; }
    const std::string& keptName() const { return keptName_; }
    SecretString takeKeptPassword();
    bool holdsPassword() const { return !keptPassword_.empty(); }
    // Overwrites and empties the password box.
    void clearPassword();

    void loginClick();
    void browseClick();
    void forgotClick();

  protected:
    void onCreate() override;
    void onShow() override;
    bool onKeyDown(const KeyPress& key) override;
    void onCommand(int id, int notifyCode, HWND from) override;

  private:
    TfrmMain& main_;
    std::string keptFile_;
    std::string keptName_;
    SecretString keptPassword_;
};

} // namespace kh
