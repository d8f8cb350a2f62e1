// What the session needs from the entry list it loads and saves.
#pragma once

#include "account_file.h"

#include <cstddef>
#include <span>
#include <vector>

namespace kh {

class SessionEntries {
  public:
    virtual ~SessionEntries() = default;
    // Empties the list, wiping every entry's secret.
    virtual void clearEntries() = 0;
    // Adds loaded entries as rows, in order, inside one list update; wipes their secrets
    // and returns how many became rows (an entry without a title cannot be one).
    virtual int addLoadedEntries(std::vector<AccountEntry>& entries) = 0;
    // Every row in list order, those marked deleted included.
    virtual std::vector<AccountEntry> entriesToWrite() = 0;
    // After a save: the file offsets the writer set, in the order of entriesToWrite, then
    // saved rows get their type icon back and deleted rows go.
    virtual void normalizeAfterSave(std::span<const AccountEntry> written) = 0;
    virtual std::size_t rowCount() const = 0;
    virtual bool rebuildTypeList() = 0;
};

} // namespace kh
