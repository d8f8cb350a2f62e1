#include "message_table.h"

#include "language.h"

namespace kh {
namespace {

struct MessageRow {
    Msg msg;
    std::string_view key;
    std::string_view text;
};

// The key is the enumerator's own name, so the two cannot drift apart.
#define KH_MESSAGE(name, english)                                                                  \
    MessageRow {                                                                                   \
        Msg::name, #name, english                                                                  \
    }

constexpr std::array<MessageRow, kMsgCount> kMessages{{
    KH_MESSAGE(apptitle, "Keyhaven"),
    KH_MESSAGE(passwordtext, "Password"),
    KH_MESSAGE(linktext, "Link"),
    KH_MESSAGE(texttext, "Text"),
    KH_MESSAGE(unknowntext, "Unknown"),
    KH_MESSAGE(warning, "Hint"),
    KH_MESSAGE(querylogout, "Are you sure you want to log out of the current account?"),
    KH_MESSAGE(querysave, "Do you want to save the current account?"),
    KH_MESSAGE(savefailed, "Save Account File: %s Failed!"),
    KH_MESSAGE(loadfailed, "Load Account File: %s Failed!"),
    KH_MESSAGE(prompting, "Waiting For Login..."),
    KH_MESSAGE(loadok, "Successfully Loaded: %s!"),
    KH_MESSAGE(changepassword, "Change Password: %s"),
    KH_MESSAGE(saveok, "Successfully Saved!"),
    KH_MESSAGE(copyok, "Entry %s has been copied to the Clipboard!"),
    KH_MESSAGE(warnimport, "Please input file or select file from hard disk!"),
    KH_MESSAGE(warnaccess, "Can't access file: %s!"),
    KH_MESSAGE(warnforgotaccount, "Here is the Description of Account:\n\nDescription: %s"),
    KH_MESSAGE(warnforgot,
               "Here is the Description of Account Password:\n\nAccount Name: %s\nDescription: %s"),
    KH_MESSAGE(warnpassword, "Please input password!"),
    KH_MESSAGE(
        warnaccesspassword,
        "Can't access file: %s!\nPlease make sure the file exists and the password is correct!"),
    KH_MESSAGE(warnaccount, "Please input account name!"),
    KH_MESSAGE(warnpasswordmismatch, "Password mismatch!"),
    KH_MESSAGE(editaccount, "Edit Account"),
    KH_MESSAGE(editentry, "Edit Entry: %s!"),
    KH_MESSAGE(addnewentry, "Add New Entry"),
    KH_MESSAGE(buttonfinish, "&Finish"),
    KH_MESSAGE(buttonnext, "&Next"),
    KH_MESSAGE(filexml, "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>"),
    KH_MESSAGE(itemxml, "<Entry>\r\n  <Title>%s</Title>\r\n  <Description>%s</Description>\r\n  "
                        "<Type>%s</Type>\r\n  <Version>%d</Version>\r\n  <Data>%s</Data>\r\n  "
                        "<WhatsThis>%s</WhatsThis>\r\n</Entry>\r\n"),
    KH_MESSAGE(warncutall, "Cut deletes the entries once their data is on the Clipboard!\n"
                           "Are you sure you want to delete all the entries?"),
    KH_MESSAGE(warncut, "Cut deletes the entry once its data is on the Clipboard!\n"
                        "Are you sure you want to delete entry: %s?"),
    KH_MESSAGE(
        warnreplace,
        "Are you sure you want to replace the password of entry %s with the Clipboard's text?"),
    KH_MESSAGE(warndeleteselected, "Are you sure you want to delete all the selected entries?"),
    KH_MESSAGE(warndeleteall, "Are you sure you want to delete all the entries?"),
    KH_MESSAGE(warndelete, "Are you sure you want to delete entry: %s?"),
    KH_MESSAGE(warntitle, "Please input entry title!"),
    KH_MESSAGE(warnplease, "Please add some comment here:"),
    KH_MESSAGE(importitems, "Import From XML: %d %{item|items} imported!"),
    KH_MESSAGE(exportitems, "Export To XML: %d %{item|items} exported!"),
    KH_MESSAGE(exportwarning, "The items have been successfully exported to the file:\n%s\n\nThe "
                              "data in the XML file is NOT ENCRYPTED.\nYou can use 'Tools'-'Secure "
                              "File Remover' to REMOVE it when it's no longer needed!"),
    KH_MESSAGE(guarding, "Guarding...\n."),
    KH_MESSAGE(removefilefailed, "Remove File: %s Failed!"),
    KH_MESSAGE(removeprompt, "Are you sure you want to remove file: %s?"),
    KH_MESSAGE(removeok, "File: %s has been successfully removed!"),
    KH_MESSAGE(crcerror,
               "%d %{entry was|entries were} not loaded because %{its|their} check failed "
               "(CRC error)!"),
    KH_MESSAGE(warnfindstring, "Please input the find string!"),
    KH_MESSAGE(warnnotfound, "String: %s not found!"),
    KH_MESSAGE(itemfound, "Found: %d %{item|items}!"),
    KH_MESSAGE(itemcount, "Account: %s [Total: %d %{Entry|Entries}]"),
    KH_MESSAGE(hotkeyfailed,
               "Register Hotkey Failed! Please choose another hotkey in 'Preferences'!"),
    KH_MESSAGE(columnuser, "What's this"),
    KH_MESSAGE(column0, "Title"),
    KH_MESSAGE(column1, "Password"),
    KH_MESSAGE(column2, "Details"),
    KH_MESSAGE(column3, "Type"),
    KH_MESSAGE(backupfailed, "Backup account file to: %s failed!"),
    KH_MESSAGE(weblink, "Input Web Address (ie: https://www.example.com):"),
    KH_MESSAGE(description, "Input Entry Description (ie: Password of Credit Card):"),
    KH_MESSAGE(detailtext, "Input Detailed Message:"),
    KH_MESSAGE(ieget, "Get Password From Keyhaven"),
    KH_MESSAGE(iesave, "Save Password To Keyhaven"),
    KH_MESSAGE(iegenerate, "Generate Password By Keyhaven"),
    KH_MESSAGE(HPromptTitle, "Please input the title of the new entry"),
    KH_MESSAGE(HSaveUser, "Save user"),
    KH_MESSAGE(HPassword, "Password"),
    KH_MESSAGE(HToKeyhaven, "To Keyhaven"),
    KH_MESSAGE(HWebUrl, "Web URL"),
    KH_MESSAGE(HEntryExist, "Entry already exists, the operation will OVERWRITE the existing one"),
    KH_MESSAGE(HQueryOverwrite, "Are you sure to overwrite the existing one"),
    KH_MESSAGE(HSaved, "Password Saved"),
    KH_MESSAGE(HSaveFailed, "Save Password to Keyhaven failed"),
    KH_MESSAGE(HNonPassword, "Are you sure to insert password to non-password input field"),
    KH_MESSAGE(HSavePassword, "Do you want to save password"),
    KH_MESSAGE(HGetFailed, "Get Password From Keyhaven Failed"),
    KH_MESSAGE(HPromptPassword, "No password found! Please input entry password"),
    KH_MESSAGE(warnweblink, "Only web addresses that begin with http://, https:// or ftp:// "
                            "are opened.\n\n%s"),
    KH_MESSAGE(importcut, "%d of them had texts longer than an entry can hold: the texts were "
                          "cut."),
    KH_MESSAGE(exportlossy, "%d of them contain the export's own tags in their texts and "
                            "cannot be imported back intact: keep the account file."),
    KH_MESSAGE(generatorstrength, "Strength: %d bits"),
    KH_MESSAGE(queryreplacefile, "The file %s already exists.\nDo you want to replace it?"),
    KH_MESSAGE(hotkeyinvalid, "A hotkey needs Ctrl or Alt together with a key."),
    KH_MESSAGE(taball, "ALL"),
    KH_MESSAGE(slogan, "Simple is the Best."),
    KH_MESSAGE(loginhint, "Click 'Log In to Existing Account' to log in"),
    KH_MESSAGE(queryquit, "Are you sure you want to quit Keyhaven?"),
    KH_MESSAGE(backupsame, "A backup copy cannot replace the open account file itself.\n"
                           "Please choose another file for the copy."),
    KH_MESSAGE(idlediscarded, "The automatic logout after %d %{minute|minutes} without use closed "
                              "account %s and discarded its unsaved changes."),
    KH_MESSAGE(untitledskipped, "%d %{entry has|entries have} no title and %{was|were} not loaded. "
                                "The next save of the account leaves %{it|them} out."),
    KH_MESSAGE(wrongcredentials, "Wrong name or password for the account file %s."),
    KH_MESSAGE(unknownaccount, "This account file holds no account named %s.\nCheck the "
                               "account name: its password description is shown with it."),
    KH_MESSAGE(generatornoclass, "Choose at least one kind of character to generate a password."),
    KH_MESSAGE(browserfailed, "No web browser could be started to open %s."),
    KH_MESSAGE(aboutversion, "%s version %s, built on %s"),
    KH_MESSAGE(importsummary, "Import From %s: %d %{item|items} imported, %d skipped."),
    KH_MESSAGE(importlossy, "%d of them had texts that an entry cannot hold whole (too long, or "
                            "with characters that Windows-1252 lacks): the texts were cut or "
                            "those characters replaced by '?'."),
    KH_MESSAGE(importleftout, "%d of them had notes of a web login, further web addresses, "
                              "one-time password keys or custom fields, for which an entry has "
                              "no place: those were left out."),
    KH_MESSAGE(importskipped, "Not imported:"),
    KH_MESSAGE(importnotlogin, "- %s: not a login or a note (a card or an identity, say)"),
    KH_MESSAGE(importnotexact, "- %s: its user name or password cannot be stored exactly (too "
                               "long, or with characters that Windows-1252 lacks)"),
    KH_MESSAGE(importnotitle, "- %s: no name, user name or web address to give it a title"),
    KH_MESSAGE(importdeleted, "- %s: deleted (it was in the recycle bin of the program it came "
                              "from)"),
    KH_MESSAGE(importmore, "- and %d more"),
    KH_MESSAGE(importline, "line %d"),
    KH_MESSAGE(importitem, "item %d"),
    KH_MESSAGE(importunknown, "This file is not in a format that Keyhaven can import. Keyhaven "
                              "imports these formats: %s."),
    KH_MESSAGE(importwrongheader, "This file is not a %s export: it lacks %s."),
    KH_MESSAGE(importencrypted,
               "This Bitwarden export is encrypted, and Keyhaven cannot read it. Export the vault "
               "again as unencrypted JSON, import that file, then remove it with 'Tools'-'Secure "
               "File Remover'."),
    KH_MESSAGE(importbadcsv, "This file cannot be read as CSV: the quoted text that begins on "
                             "line %d never ends."),
    KH_MESSAGE(importbadjson, "This file cannot be read as JSON: it goes wrong on line %d."),
    KH_MESSAGE(clipboardtoolong, "The text on the Clipboard is longer than the %d characters an "
                                 "entry's password can hold. Nothing was replaced."),
    KH_MESSAGE(clipboardcut, "The text on the Clipboard is longer than the %d characters an "
                             "entry's password can hold: the new entry takes only its beginning."),
    KH_MESSAGE(keyctrl, "Ctrl"),
    KH_MESSAGE(keyalt, "Alt"),
    KH_MESSAGE(keyshift, "Shift"),
    KH_MESSAGE(keybackspace, "Backspace"),
    KH_MESSAGE(keytab, "Tab"),
    KH_MESSAGE(keyenter, "Enter"),
    KH_MESSAGE(keypause, "Pause"),
    KH_MESSAGE(keycapslock, "Caps Lock"),
    KH_MESSAGE(keyesc, "Esc"),
    KH_MESSAGE(keyspace, "Space"),
    KH_MESSAGE(keypageup, "PgUp"),
    KH_MESSAGE(keypagedown, "PgDn"),
    KH_MESSAGE(keyend, "End"),
    KH_MESSAGE(keyhome, "Home"),
    KH_MESSAGE(keyleft, "Left"),
    KH_MESSAGE(keyup, "Up"),
    KH_MESSAGE(keyright, "Right"),
    KH_MESSAGE(keydown, "Down"),
    KH_MESSAGE(keyprintscreen, "PrtSc"),
    KH_MESSAGE(keyinsert, "Ins"),
    KH_MESSAGE(keydelete, "Del"),
    KH_MESSAGE(keynumlock, "Num Lock"),
    KH_MESSAGE(keyscrolllock, "Scroll Lock"),
    KH_MESSAGE(keynumpad, "Num"),
    KH_MESSAGE(protectionstrong,
               "This account has strong protection: %s.\n\nChange it back to compatible "
               "protection? The compatible format is weak: anyone who has the file can try "
               "billions of passwords a second. Older programs open it. The change takes effect "
               "when the account is next saved."),
    KH_MESSAGE(protectioncompatible,
               "This account has compatible protection, which is weak: anyone who has the file "
               "can try billions of passwords a second.\n\nChange it to strong protection "
               "(Argon2id and AES-256-GCM)? Only this version of Keyhaven and later open such "
               "files. The change takes effect when the account is next saved."),
    KH_MESSAGE(strongdamaged,
               "The account file %s is damaged and was not opened. A strongly protected file is "
               "refused whole when any part of it is damaged: open one of the account's backup "
               "copies instead."),
    KH_MESSAGE(logoutwarning, "Account %s has not been used for a while. Keyhaven logs out in %d "
                              "%{second|seconds}, and the unsaved changes will be lost."),
    KH_MESSAGE(lockdiscarded, "Keyhaven logged out of account %s when the workstation was locked "
                              "or the computer went to sleep, and discarded its unsaved changes."),
    KH_MESSAGE(filechanged, "The account file was changed by another program since you opened it."
                            "\n\n%s\n\nSave Anyway replaces that change with yours. Save As "
                            "writes yours to another file and leaves that one as it is."),
    KH_MESSAGE(filechangedsave, "Save &Anyway"),
    KH_MESSAGE(filechangedsaveas, "Save &As..."),
    KH_MESSAGE(filechangedcancel, "Cancel"),
    KH_MESSAGE(protectionnamecompatible, "compatible"),
    KH_MESSAGE(protectionnamestrong, "strong (Argon2id, t=%d, m=%d KiB, p=%d, AES-256-GCM)"),
}};

#undef KH_MESSAGE

constexpr bool rowsInEnumOrder() {
    for (std::size_t i = 0; i < kMessages.size(); ++i)
        if (static_cast<std::size_t>(kMessages[i].msg) != i) return false;
    return true;
}
static_assert(rowsInEnumOrder(), "message rows must follow the order of Msg");

const MessageRow& row(Msg msg) {
    return kMessages.at(static_cast<std::size_t>(msg));
}

} // namespace

std::string_view msgKey(Msg msg) {
    return row(msg).key;
}

std::string_view msgDefault(Msg msg) {
    return row(msg).text;
}

MessageTable::MessageTable() {
    resetToDefaults();
}

const std::string& MessageTable::text(Msg msg) const {
    return texts_.at(static_cast<std::size_t>(msg));
}

void MessageTable::resetToDefaults() {
    for (std::size_t i = 0; i < kMsgCount; ++i)
        texts_[i] = kMessages[i].text;
}

void MessageTable::refreshFrom(const QLanguage& language) {
    resetToDefaults();
    // A miss leaves the default in place.
    for (std::size_t i = 0; i < kMsgCount; ++i)
        language.lookupText(kMessages[i].key, texts_[i]);
}

void MessageTable::addDefaultsTo(QLanguage& language) const {
    for (std::size_t i = 0; i < kMsgCount; ++i)
        language.addMessageDefault(kMessages[i].key, texts_[i]);
}

} // namespace kh
