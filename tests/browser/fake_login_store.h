// An entry list for the browser requests: rows in list order, with every change recorded.
#pragma once

#include "account_file.h"
#include "login_match.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace kh::browser::test {

struct FakeRow {
    std::string title;
    std::string description;
    std::int32_t type = kEntryLink;
    std::string data = "secret";
    std::int64_t fileOffset = 0;
    bool hasRecord = true;
};

inline FakeRow link(std::string title, std::string description, std::string data) {
    return {std::move(title), std::move(description), kEntryLink, std::move(data)};
}
inline FakeRow password(std::string title, std::string description, std::string data) {
    return {std::move(title), std::move(description), kEntryPassword, std::move(data)};
}

class FakeLoginStore : public LoginStore {
  public:
    FakeLoginStore() = default;
    explicit FakeLoginStore(std::vector<FakeRow> r) : rows(std::move(r)) {}

    bool isLoggedIn() override {
        ++loggedInCalls;
        return loggedIn;
    }
    std::size_t rowCount() const override { return rows.size(); }
    std::optional<StoredRow> row(std::size_t index) const override {
        if (throwOnRow) throw std::runtime_error("list broken");
        const FakeRow& r = rows.at(index);
        if (!r.hasRecord) return std::nullopt;
        return StoredRow{r.title, r.description, r.type, r.fileOffset, r.data};
    }
    bool replaceData(std::size_t index, std::string_view data) override {
        ++replaces;
        rows.at(index).data = std::string(data);
        rows.at(index).fileOffset = kOffsetUnsaved;
        return true;
    }
    bool addLink(std::string_view title, std::string_view data, std::string_view whatsThis,
                 std::string_view description) override {
        if (!addSucceeds) return false;
        FakeRow r = link(std::string(title), std::string(description), std::string(data));
        r.fileOffset = kOffsetUnsaved;
        rows.push_back(r);
        addedWhatsThis = std::string(whatsThis);
        return true;
    }
    bool hasFileName() const override { return fileName; }
    bool saveNow() override {
        ++saves;
        return saveSucceeds;
    }

    std::vector<FakeRow> rows;
    bool loggedIn = true;
    bool fileName = true;
    bool saveSucceeds = true;
    bool addSucceeds = true;
    bool throwOnRow = false;
    int loggedInCalls = 0;
    int replaces = 0;
    int saves = 0;
    std::string addedWhatsThis;
};

} // namespace kh::browser::test
