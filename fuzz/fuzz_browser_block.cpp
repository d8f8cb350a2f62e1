// Arbitrary bytes as a bridge's request block and a small entry list: every request is
// served from them. The reply must keep every byte outside its fields, force the
// terminators, cut its texts to the fields, and the answers must agree with each other.
#include "account_file.h"
#include "login_match.h"
#include "request_server.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kh::browser;

void checkAt(bool ok, int line) {
    if (ok) return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}
#define check(ok) checkAt((ok), __LINE__)

struct Row {
    std::string title, description, data;
    std::int32_t type;
    std::int64_t fileOffset;
};

class Store : public LoginStore {
  public:
    bool isLoggedIn() override { return true; }
    std::size_t rowCount() const override { return rows.size(); }
    std::optional<StoredRow> row(std::size_t i) const override {
        const Row& r = rows.at(i);
        return StoredRow{r.title, r.description, r.type, r.fileOffset, r.data};
    }
    bool replaceData(std::size_t i, std::string_view data) override {
        rows.at(i).data = std::string(data);
        return true;
    }
    bool addLink(std::string_view title, std::string_view data, std::string_view,
                 std::string_view description) override {
        rows.push_back({std::string(title), std::string(description), std::string(data),
                        kh::kEntryLink, kh::kOffsetUnsaved});
        return true;
    }
    bool hasFileName() const override { return false; }
    bool saveNow() override { return true; }
    std::vector<Row> rows;
};

class Memory : public ProcessMemory {
  public:
    class Process : public BridgeProcess {
      public:
        explicit Process(RequestBlock& b) : b_(b) {}
        std::size_t read(std::uintptr_t, std::span<std::uint8_t> into) override {
            std::memcpy(into.data(), b_.data(), std::min(into.size(), kBlockSize));
            return std::min(into.size(), kBlockSize);
        }
        std::size_t write(std::uintptr_t, std::span<const std::uint8_t> from) override {
            std::memcpy(b_.data(), from.data(), std::min(from.size(), kBlockSize));
            return std::min(from.size(), kBlockSize);
        }

      private:
        RequestBlock& b_;
    };
    std::unique_ptr<BridgeProcess> open(std::uint32_t) override {
        return std::make_unique<Process>(block);
    }
    RequestBlock block;
};

class Host : public RequestHost {
  public:
    bool isLoggedIn() override { return true; }
    bool ensureLoggedIn() override { return true; }
    void endRequest() override {}
};

// Rows from "title\x1Fdescription\x1Fdata" lines; the first byte of a line picks type and
// deletion.
std::vector<Row> rowsFrom(std::string_view text) {
    std::vector<Row> rows;
    while (!text.empty() && rows.size() < 16) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty()) continue;
        const auto flags = static_cast<unsigned char>(line.front());
        line.remove_prefix(1);
        std::string parts[3];
        for (std::string& part : parts) {
            const std::size_t sep = std::min(line.find('\x1F'), line.size());
            // Entry texts come from zero-terminated fields.
            const std::string_view field = line.substr(0, sep);
            part = std::string(field.substr(0, field.find('\0')));
            line.remove_prefix(std::min(sep + 1, line.size()));
        }
        rows.push_back({parts[0], parts[1], parts[2], static_cast<std::int32_t>(flags % 4),
                        (flags & 4) ? kh::kOffsetDeleted : 0});
    }
    return rows;
}

bool isOutputByte(std::size_t i) {
    return (i >= kUserNameField.offset && i < kUserNameField.offset + kUserNameField.size) ||
           (i >= kPasswordField.offset && i < kPasswordField.offset + kPasswordField.size) ||
           (i >= kCompletionOffset && i < kCompletionOffset + 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RequestBlock request;
    std::memcpy(request.data(), data, std::min(size, kBlockSize));
    const std::string_view rest =
        size > kBlockSize
            ? std::string_view(reinterpret_cast<const char*>(data) + kBlockSize, size - kBlockSize)
            : std::string_view();

    RequestBlock forced = request;
    const RequestFields in = decodeRequest(forced);
    check(in.userName.size() < 80 && in.password.size() < 80 && in.address.size() < 192);
    for (std::size_t at : kTerminators)
        check(forced[at] == 0);

    for (const std::uint32_t message : {0x1621u, 0x1623u, 0x1625u, 0x1627u}) {
        Store store;
        store.rows = rowsFrom(rest);
        Memory memory;
        memory.block = request;
        Host host;
        RequestServer server(store, host, memory);
        const std::intptr_t result = server.serve(message, 1, 1);
        check(result == 0 || result == 1);

        const std::uint32_t code = completionCode(memory.block);
        const bool replied = code != completionCode(request);
        if (!replied) {
            check(std::memcmp(memory.block.data(), request.data(), kBlockSize) == 0);
            // CheckLogin answers 1 once the process is open, refused block or not; the
            // others need a reply.
            check(result == (message == 0x1627 ? 1 : 0));
            continue;
        }
        check(in.completionCode == 0 && code == message && result == 1);
        for (std::size_t i = 0; i < kBlockSize; ++i)
            if (!isOutputByte(i)) check(memory.block[i] == forced[i]);
        check(memory.block[83] == 0 && memory.block[243] == 0);

        if (message == 0x1621 || message == 0x1625) {
            // What came back is a stored login of the list.
            const std::string_view user = fieldText(memory.block, kUserNameField);
            const std::string_view password = fieldText(memory.block, kPasswordField);
            check(!user.empty() && !password.empty());
            bool stored = false;
            for (const Row& r : store.rows)
                stored =
                    stored || (r.title.substr(0, 79) == user && r.data.substr(0, 79) == password);
            check(stored);
        } else if (message == 0x1623) {
            // The saved login is found again, exactly.
            const auto row = findExactLogin(store, in.userName, in.address);
            check(row && store.rows[*row].data == in.password.view());
        } else {
            check(findExactLogin(store, in.userName, in.address).has_value());
        }
    }

    // The address forms are parts of the address.
    const std::string_view site = sitePrefix(in.address);
    const std::string_view host = hostPart(in.address);
    check(in.address.find(site) != std::string_view::npos);
    check(site.find(host) != std::string_view::npos);
    return 0;
}
