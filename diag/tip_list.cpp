#include "tip_list.h"

#include "language.h"
#include "text_format.h"

#include <iterator>

namespace kh {
namespace {

constexpr std::string_view kDefaultTips[] = {
    "What is Keyhaven?\n\nRemember One Password, Leave the Others to Keyhaven!",
    "How do I use Keyhaven?\n\nFirst set up an account.\nThen add as many entries to the "
    "account as you like.\n\nAll you need to remember is the account's name and password!",
    "How do I set up a new account?\n\nChoose 'Set Up New Account' from the 'Account' menu, or "
    "click the first button of the toolbar, and follow the wizard!\n\nThe wizard asks for the "
    "account's name and password.",
    "How do I add entries to an account?\n\nLog in to the account, choose 'New Blank Item' "
    "from the 'Entries' menu and follow the wizard!\n\nThe wizard asks for the entry's title "
    "and the password to be kept in it, among other things.",
    "Is Keyhaven secure enough?\n\nAll the data is stored encrypted on your own computer.\n\n"
    "Only someone who gives the right account name and account password can read it, so keep "
    "your account password long and secret.",
    "What is the Password Guard (in the 'Tools' menu)?\n\nSometimes you copy a password from "
    "Keyhaven into another program, for example to log in to a forum. With the Password Guard "
    "on, Keyhaven removes the password from the Clipboard after 20 seconds; otherwise it stays "
    "there until you copy something else.",
    "What is the Secure File Remover?\n\nSome programs can recover files that were deleted. So "
    "that nobody finds your private data, remove such files with the Secure File Remover: even "
    "if the file is recovered afterwards, nothing can be read in it.",
    "What is the automatic logout?\n\nWhen it is on, Keyhaven logs out of the account after 20 "
    "minutes without use.\n(You can change the time in 'Preferences'.)\nNote: changes that "
    "were not saved are lost at an automatic logout.",
    "What is the Password Generator?\n\nThe Password Generator makes random passwords, so "
    "that yours are truly random.\nStill worried about your passwords?\nNo need!",
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
