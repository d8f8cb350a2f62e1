// The entry wizard's logic without its window: the four pages and the way between them,
// the checks Next makes, the keys, the texts that follow the page and the type, and what
// the wizard hands back when it finishes. TfrmAddItem shows it; tests run it as tables.
#pragma once

#include "entry_commands.h"
#include "message_table.h"
#include "secure_memory.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kh {

// Pages of the notebook nbWizard.
inline constexpr int kWizardWelcome = 0;  // "Welcome": title and what's this
inline constexpr int kWizardNew = 1;      // "New": description and type
inline constexpr int kWizardPass = 2;     // "Pass": password twice
inline constexpr int kWizardFinished = 3; // "Finished"

// The type the type buttons stand for: "Web Account" first, then "Text Message".
std::int32_t typeFromButtons(bool webAccount, bool textMessage);
// The description label of a type: weblink, detailtext, or description for any other.
Msg descriptionLabel(std::int32_t type);
// The wizard's caption and the heading of page 0.
std::string wizardCaption(const MessageTable& messages, bool isNew, const std::string& title);

// What the fields hold when Next is pressed.
struct WizardFields {
    std::string_view title;
    std::string_view whatsThis;
    std::string_view description;
    std::int32_t buttonType = kEntryPassword; // from the type buttons
    std::string_view password;
    std::string_view confirm;
};

enum class WizardStep {
    Moved,            // another page is shown
    Finish,           // Next on page 3: the wizard closes with OK
    TitleMissing,     // stays on page 0 with the warntitle box
    PasswordMismatch, // stays on page 2 with the warnpasswordmismatch box
};

// The page shown and the values the wizard has taken so far.
class EntryWizardFlow {
  public:
    // Every opening (steps 2 and 3 of editEntryValues): an empty what's-this becomes the
    // title; page 0, the draft's type, nothing taken yet.
    void open(EntryDraft& draft);
    WizardStep next(const WizardFields& fields);
    // One page back on the path that led here (a Text entry skips the password page).
    void back();
    // A click on a type button changes the held type at once.
    void chooseType(std::int32_t type) { type_ = type; }

    int page() const { return page_; }
    std::int32_t type() const { return type_; }
    bool backEnabled() const { return page_ != kWizardWelcome; }
    Msg nextCaption() const {
        return page_ == kWizardFinished ? Msg::buttonfinish : Msg::buttonnext;
    }

    const std::string& title() const { return title_; }
    const std::string& whatsThis() const { return whatsThis_; }
    const std::string& description() const { return description_; }
    const SecretString& password() const { return password_; }
    void forgetPassword() { password_.wipe(); }

    // Step 6 of editEntryValues: the values taken into the draft; a Text entry's data is
    // the time of finishing, any other's the password.
    void finishInto(EntryDraft& draft, const LocalTime& now) const;

  private:
    int page_ = kWizardWelcome;
    std::int32_t type_ = kEntryPassword;
    std::string title_;
    std::string whatsThis_;
    std::string description_;
    SecretString password_;
};

// What a key does in the wizard (its window-level keys); None leaves it to the control.
enum class WizardKey { None, Next, Back, Cancel, Paste };

// Virtual-key codes, kept numeric so the rule stays platform-free.
inline constexpr unsigned kVkReturn = 0x0D;
inline constexpr unsigned kVkEscape = 0x1B;

// `inDescription`: the description field has the focus (a plain Enter there is a new line).
WizardKey wizardKey(unsigned key, bool ctrl, bool alt, bool shift, int page, bool inDescription);

} // namespace kh
