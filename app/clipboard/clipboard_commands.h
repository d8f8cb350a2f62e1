// The commands that take secrets out of the vault through the clipboard, and the ones
// that delete entries: the shared handlers of the Operation menu (copy, cut, delete,
// replace, select all) and of the list context menu and tbCopy (copy a field, open a
// link), with their confirmation questions, and the double-click on a row.
#pragma once

#include "command_table.h"
#include "entry_list.h"
#include "message_table.h"
#include "password_guard.h"
#include "services.h"
#include "session.h"
#include "settings.h"
#include "xml_interchange.h"

#include <functional>
#include <optional>
#include <string_view>

namespace kh {

// Only these may be handed to the shell: anything else in a Details text (a program, a
// document, a script) would run on the user's machine.
bool isOpenableWebAddress(std::string_view address);

class ClipboardCommands {
  public:
    ClipboardCommands(Session& session, EntryList& list, const Settings& settings,
                      const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard,
                      Shell& shell, MainWindowControl& window,
                      std::function<InterchangeTexts()> texts);

    // The Operation menu's handler (tags 0 to 16, 101, 1001, 1002).
    void copyEntry(CopyTag tag);
    // The list context menu's handler; tbCopy passes `fromCopyButton`.
    void copyEntryPassword(ContextTag tag, bool fromCopyButton);
    // A double-click on a row of either list; `edit` runs the Edit command.
    void doubleClick(const std::function<void()>& edit);

  private:
    struct Current {
        int row = -1;
        const RowRecord* record = nullptr;
        bool operator==(const Current&) const = default;
    };
    std::optional<Current> current() const;
    // The question of a tag, if it has one; true when the command may go on.
    bool confirm(CopyTag tag);
    EntryValues valuesOf(EntryView list, int row) const;
    SecretString textOfRows(EntryView list, const std::vector<int>& rows) const;
    void cutRows(CopyTag tag);
    void replaceFromClipboard();
    void openLink(const EntryRow& row);

    Session& session_;
    EntryList& list_;
    const Settings& settings_;
    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    Shell& shell_;
    MainWindowControl& window_;
    std::function<InterchangeTexts()> texts_;
};

} // namespace kh
