#include "tip_list.h"

#include "language.h"
#include "text_format.h"

#include <iterator>

namespace kh {
namespace {

constexpr std::string_view kDefaultTips[] = {
    "What is Keyhaven?\n\nRemember One Password, Leave the Others to Keyhaven!",
    "How to use Keyhaven?\n\nFirst, setup an Account.\nThen you can add multiple entries to the "
    "Account.\n\nAll you need to remember is only your Account name and Account password!",
    "How to setup a new Account?\n\nSelect 'Setup New Account' from 'Account' menu, or click the "
    "first button of the toolbar, then follow the wizard!\n\nYou can specify your Account name, "
    "Account password in the wizard.",
    "How to add entries to Account?\n\nFirst, login Account, then select 'Add Blank Entry' from "
    "'Entries' menu, then follow the wizard!\n\nSome information such as entry title, Password "
    "(to be stored in the entry) are required in the wizard.",
    "Is Keyhaven Secure Enough?\n\nYES!\nAll the data are stored encrypted in your own "
    "computer!\n\nOnly the people who provide the correct Account name and Account Password can "
    "access the data!",
    "What is Password Guard (under 'Tools' menu)?\n\nSometimes you need to copy password from "
    "Keyhaven to other applications, eg: when login to bbs, If Password Guard is Enabled, "
    "Keyhaven will remove the password from Clipboard after 20 seconds passed, otherwise the "
    "password will stayed in the Clipboard until you copy other data to Clipboard.",
    "What is Secure File Remover?\n\nThere're some softwares can recover the file been deleted "
    "in past time. To avoid your private data be discovered by other people, you can use Secure "
    "File Remover to remove the file. After removed, even if the file was recovered, they will "
    "view nothing.",
    "What is Automatically logout?\n\nIf automatically logout is enabled, Keyhaven will logout "
    "account automatically if there's no user action for 20 minutes.\n(you can change this "
    "value in 'Preferrence'.)\nNote: When automatically logout, all unsaved data will lost.",
    "What is Password Generator?\n\nPassword Generator is a useful utility to generate random "
    "password. Through Password Generator you can generate absolutely random password.\nAre you "
    "still worry about your password?\nNO!",
};

// The display rule: before the first tip means the last one, past the last the first.
int displayIndex(int index, int count) {
    if (index < 0) return count - 1;
    if (index >= count) return 0;
    return index;
}

} // namespace

std::string_view defaultTipText(int slot) {
    if (slot < 0 || slot >= static_cast<int>(std::size(kDefaultTips))) return {};
    return kDefaultTips[slot];
}

TipList TipList::fromLanguage(const QLanguage& language) {
    std::vector<std::string> tips;
    for (int slot = 0; slot < kTipSlotCount; ++slot) {
        std::string text(defaultTipText(slot));
        language.lookupText(formatText("Tip%d", {slot}), text); // a miss keeps the default
        if (!text.empty()) tips.push_back(std::move(text));
    }
    return TipList(std::move(tips));
}

const std::string& TipList::currentText() const {
    static const std::string none;
    if (current_ < 0 || current_ >= count()) return none;
    return tips_[static_cast<std::size_t>(current_)];
}

bool TipList::select(int index) {
    const int n = count();
    if (n == 0) return false;
    if (index < 0 || index >= n) {
        index %= n;
        if (index < 0) index += n;
    }
    current_ = index;
    return true;
}

void TipList::step(int delta) {
    const int n = count();
    if (n == 0) return;
    current_ = displayIndex(current_ + delta, n);
}

void TipList::clear() {
    tips_.clear();
    current_ = -1;
}

} // namespace kh
