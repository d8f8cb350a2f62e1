// The commands that create and change entries through the entry wizard: New, Edit,
// Duplicate and Paste From Clipboard, and Undelete.
#pragma once

#include "entry_list.h"
#include "password_guard.h"
#include "secure_memory.h"
#include "services.h"
#include "session.h"

#include <cstdint>
#include <string>

namespace kh {

// The values the wizard shows and gives back.
struct EntryDraft {
    std::string title;
    std::string whatsThis;
    std::string description;
    SecretString data;
    std::int32_t type = kEntryPassword;
};

// The entry wizard as the commands use it: fills its fields from the draft, runs modally,
// and on Finish writes the values back (for a Text entry the data is the time stamp of
// finishing). True when the user finished it.
class EntryEditor {
  public:
    virtual ~EntryEditor() = default;
    virtual bool editEntryValues(EntryDraft& draft, bool isNew) = 0;
};

// "2004-01-31 09:05:07": the data of a Text entry.
std::string entryTimestamp(const LocalTime& time);

class EntryCommands {
  public:
    EntryCommands(Session& session, EntryList& list, Clipboard& clipboard, PasswordGuard& guard,
                  MainWindowControl& window, EntryEditor* editor = nullptr);
    void setEditor(EntryEditor* editor) { editor_ = editor; }

    void newEntry();
    void edit();
    void duplicate();
    void pasteFromClipboard();
    void undelete();

  private:
    EntryDraft draftOf(int masterRow) const;

    Session& session_;
    EntryList& list_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    MainWindowControl& window_;
    EntryEditor* editor_;
};

} // namespace kh
