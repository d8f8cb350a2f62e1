// The message table: every fixed text the program shows outside its window designs (message
// boxes, banners, list columns, browser pages), addressed by message key, with its
// compiled-in English default. A language file replaces these texts by key.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace kh {

class QLanguage;

// One enumerator per message key, named as the key, in the order the texts are loaded.
enum class Msg : std::size_t {
    apptitle,
    passwordtext,
    linktext,
    texttext,
    unknowntext,
    warning,
    querylogout,
    querysave,
    savefailed,
    loadfailed,
    prompting,
    loadok,
    changepassword,
    saveok,
    copyok,
    warnimport,
    warnaccess,
    warnforgotaccount,
    warnforgot,
    warnpassword,
    warnaccesspassword,
    warnaccount,
    warnpasswordmismatch,
    editaccount,
    editentry,
    addnewentry,
    buttonfinish,
    buttonnext,
    filexml,
    itemxml,
    warncutall,
    warncut,
    warnreplace,
    warndeleteselected,
    warndeleteall,
    warndelete,
    warntitle,
    warnplease,
    importitems,
    exportitems,
    exportwarning,
    guarding,
    removefilefailed,
    removeprompt,
    removeok,
    crcerror,
    warnfindstring,
    warnnotfound,
    itemfound,
    itemcount,
    hotkeyfailed,
    columnuser,
    column0,
    column1,
    column2,
    column3,
    backupfailed,
    weblink,
    description,
    detailtext,
    ieget,
    iesave,
    iegenerate,
    HPromptTitle,
    HSaveUser,
    HPassword,
    HToKeyhaven,
    HWebUrl,
    HEntryExist,
    HQueryOverwrite,
    HSaved,
    HSaveFailed,
    HNonPassword,
    HSavePassword,
    HGetFailed,
    HPromptPassword,
    // The program's own messages beyond the classic table; a language file that lacks
    // them shows them in English.
    warnweblink,
    importcut,
    exportlossy,
    generatorstrength,
    queryreplacefile,
    hotkeyinvalid,
    taball,
    slogan,
    loginhint,
    queryquit,
    backupsame,
    idlediscarded,
    untitledskipped,
    wrongcredentials,
    unknownaccount,
    generatornoclass,
    browserfailed,
    aboutversion,
    importsummary,
    importlossy,
    importleftout,
    importskipped,
    importnotlogin,
    importnotexact,
    importnotitle,
    importdeleted,
    importmore,
    importline,
    importitem,
    importunknown,
    importwrongheader,
    importencrypted,
    importbadcsv,
    importbadjson,
    clipboardtoolong,
    clipboardcut,
    // Key names in shortcut texts (menus, the hotkey field).
    keyctrl,
    keyalt,
    keyshift,
    keybackspace,
    keytab,
    keyenter,
    keypause,
    keycapslock,
    keyesc,
    keyspace,
    keypageup,
    keypagedown,
    keyend,
    keyhome,
    keyleft,
    keyup,
    keyright,
    keydown,
    keyprintscreen,
    keyinsert,
    keydelete,
    keynumlock,
    keyscrolllock,
    keynumpad,
    protectionstrong,
    protectioncompatible,
    strongdamaged,
    logoutwarning,
    lockdiscarded,
    filechanged,
    filechangedsave,
    filechangedsaveas,
    filechangedcancel,
    protectionnamecompatible,
    protectionnamestrong,
};

inline constexpr std::size_t kMsgCount = static_cast<std::size_t>(Msg::protectionnamestrong) + 1;

// The key that names the message in a language file.
std::string_view msgKey(Msg msg);
// The compiled-in English text ("\n" and "\r" as line feed and carriage return).
std::string_view msgDefault(Msg msg);

// The current text of every message. Starts with the English defaults.
class MessageTable {
  public:
    MessageTable();

    const std::string& text(Msg msg) const;
    void resetToDefaults();
    // After a language has loaded: every message takes the language's text for its key,
    // or its English default when the language lacks the key (never the previous
    // language's text).
    void refreshFrom(const QLanguage& language);
    // Enters every message with its current text into the language's default template,
    // in table order, so that choosing English again can bring the messages back.
    void addDefaultsTo(QLanguage& language) const;

  private:
    std::array<std::string, kMsgCount> texts_;
};

} // namespace kh
