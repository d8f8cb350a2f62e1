// Login benchmark of the Windows program: a 10,240-entry account opened in the real main
// window and timed until its first rows are painted. On the open account it also times
// sorting by each column and switching the type tabs, each with its repaint. Medians of
// several repetitions. The yardstick is the bare readAccountFile of the same file in the
// same process with the table-driven cipher engine, so that a faster cipher does not move
// the bar: what the login adds to its own read, and the slowest tab or sort, are given
// as multiples of it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <commctrl.h>

#include "account_file.h"
#include "app.h"
#include "des_bitslice.h"
#include "entry_list.h"
#include "secure_memory.h"
#include "win32/form.h"
#include "win32/skin_controls.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 10240;
constexpr int kRepetitions = 9;
constexpr double kOverheadTarget = 0.25;  // login less its read, / yardstick read
constexpr double kTabOrSortTarget = 0.30; // slowest tab or sort with repaint, / yardstick read
constexpr char kAccountName[] = "benchmark";
constexpr char kAccountPassword[] = "correct horse battery staple";

double frequency() {
    static const double f = [] {
        LARGE_INTEGER q{};
        QueryPerformanceFrequency(&q);
        return static_cast<double>(q.QuadPart);
    }();
    return f;
}

double nowMs() {
    LARGE_INTEGER t{};
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / frequency();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// A private folder under the user's temp folder, removed with its files at the end.
class BenchFolder {
  public:
    BenchFolder() {
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "kh-login-bench-" + std::to_string(GetCurrentProcessId());
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        ok_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
        path_ += "\\";
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool ok_ = false;
};

// Exactly `width` characters: the text cut or padded with a filler sentence.
std::string fitted(std::string text, std::size_t width) {
    static constexpr char kFiller[] = " - kept for the yearly review, ask IT before changing";
    while (text.size() < width)
        text += kFiller;
    text.resize(width);
    return text;
}

// Entries as people keep them: services with numbers, user names or mail addresses,
// 20-character generated passwords and 60-character details, all three types in turn.
std::vector<kh::AccountEntry> sampleEntries() {
    static constexpr const char* kServices[] = {
        "Mail",      "Bank",    "Intranet", "Router", "Shop",  "Forum", "Cloud drive",
        "Insurance", "Payroll", "VPN",      "Wiki",   "Phone", "Tax",   "Library"};
    static constexpr const char* kPeople[] = {"anna", "ben", "chloe", "dmitri", "eva", "farid"};
    static constexpr char kAlphabet[] =
        "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789!#$%&*+-=?@";
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);

    std::vector<kh::AccountEntry> entries(kEntries);
    char password[21] = {};
    for (int i = 0; i < kEntries; ++i) {
        kh::AccountEntry& e = entries[static_cast<std::size_t>(i)];
        const std::string service = kServices[rng() % std::size(kServices)];
        const std::string person = kPeople[rng() % std::size(kPeople)];
        const std::string number = std::to_string(rng() % 100000);
        e.type = 1 + i % 3;
        for (int c = 0; c < 20; ++c)
            password[c] = kAlphabet[pick(rng)];
        switch (e.type) {
        case kh::kEntryPassword:
            e.title = service + " " + number;
            e.whatsThis = person + "." + number;
            e.data = std::string_view(password, 20);
            e.description =
                fitted("Login for " + service + " account " + number + ", changed in spring", 60);
            break;
        case kh::kEntryLink:
            e.title = service + " portal " + number;
            // Left empty on every other link: the list then shows the host of the address.
            if (i % 2) e.whatsThis = person + "@example.org";
            e.data = std::string_view(password, 20);
            e.description = fitted("https://" + person + number + ".example.org/login?next=", 60);
            break;
        default:
            e.title = "Note on " + service + " " + number;
            e.whatsThis = "PIN and recovery codes";
            e.data = std::string_view(password, 20);
            e.description = fitted("Recovery codes for " + service + " are in the blue folder", 60);
            break;
        }
    }
    kh::secureWipe(password, sizeof password);
    return entries;
}

// The window and its list view repainted now, then every message waiting handled: what
// the user sees once the program is idle again.
void paintNow(kh::TfrmMain& main) {
    UpdateWindow(main.handle());
    UpdateWindow(main.lists().visibleListView());
    kh::processPendingMessages();
    GdiFlush();
}

// True when the visible list holds `rows` rows and nothing of it is left to paint.
bool listPainted(kh::TfrmMain& main, int rows) {
    HWND list = main.lists().visibleListView();
    return ListView_GetItemCount(list) == rows && IsWindowVisible(list) &&
           GetUpdateRect(list, nullptr, FALSE) == FALSE;
}

// A box would wait for a click that never comes: print it and answer No instead.
class PrintedPrompts : public kh::Prompts {
  public:
    bool ask(const std::string& caption, const std::string& text, kh::DefaultButton) override {
        std::printf("%s: %s (answered No)\n", caption.c_str(), text.c_str());
        return false;
    }
    void warning(const std::string& caption, const std::string& text) override {
        std::printf("%s: %s\n", caption.c_str(), text.c_str());
    }
    void information(const std::string& caption, const std::string& text) override {
        std::printf("%s: %s\n", caption.c_str(), text.c_str());
    }
    int choose(const std::string& caption, const std::string& text,
               const std::array<std::string, 3>& buttons) override {
        std::printf("%s: %s (answered %s)\n", caption.c_str(), text.c_str(), buttons[2].c_str());
        return 2;
    }
};

// The steps of a login, from the models' events as the program runs them: the list
// emptied after the read (Reset), the rows in (Added), the session started, the type list
// rebuilt (TypeListRebuilt). Each listener runs after the window's own, so each time is
// the end of a step with the window's work on it.
class LoginSteps {
  public:
    struct Steps {
        double readDone = 0; // the read and the emptied list
        double addRows = 0;
        double started = 0;
        double typeList = 0;
    };

    explicit LoginSteps(kh::App& app)
        : rows_(app.entries().OnRowsChanged.subscribe([this](kh::RowsChange change) {
              const double t = nowMs();
              switch (change) {
              case kh::RowsChange::Reset:
                  if (steps.readDone == 0) steps.readDone = t;
                  break;
              case kh::RowsChange::Added:
                  steps.addRows += t - lastEnd_;
                  break;
              case kh::RowsChange::TypeListRebuilt:
                  steps.typeList += t - lastEnd_;
                  break;
              default:
                  break;
              }
              lastEnd_ = t;
          })),
          started_(app.session().OnStarted.subscribe([this] {
              const double t = nowMs();
              steps.started += t - lastEnd_;
              lastEnd_ = t;
          })) {}

    void reset() {
        steps = {};
        lastEnd_ = 0;
    }
    Steps steps;

  private:
    double lastEnd_ = 0;
    kh::Event<kh::RowsChange>::Subscription rows_;
    kh::Event<>::Subscription started_;
};

// The end of the read inside a login: the list is emptied right after it. Subscribed
// before the main window exists, so it hears that before the window does its work on it.
class ReadEnd {
  public:
    explicit ReadEnd(kh::EntryList& list)
        : rows_(list.OnRowsChanged.subscribe([this](kh::RowsChange change) {
              if (change == kh::RowsChange::Reset && at == 0) at = nowMs();
          })) {}
    double at = 0;

  private:
    kh::Event<kh::RowsChange>::Subscription rows_;
};

// A click on a column header, as the list view reports it to the window.
void clickHeader(kh::TfrmMain& main, int column) {
    HWND list = main.lists().visibleListView();
    NMLISTVIEW info{};
    info.hdr.hwndFrom = list;
    info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    info.hdr.code = LVN_COLUMNCLICK;
    info.iItem = -1;
    info.iSubItem = column;
    SendMessageA(main.handle(), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
}

struct Row {
    std::string name;
    double ms;
};

void printTable(const char* heading, const std::vector<Row>& rows, double read) {
    std::printf("\n%-44s %10s %12s\n", heading, "median", "/ yardstick");
    for (const Row& r : rows)
        std::printf("  %-42s %7.1f ms %11.2fx\n", r.name.c_str(), r.ms, r.ms / read);
}

int run() {
    BenchFolder folder;
    if (!folder.ok()) {
        std::printf("cannot create the temporary folder %s\n", folder.path().c_str());
        return 1;
    }
    const std::string file = folder.path() + "bench.khk";

    kh::Account account;
    account.name = kAccountName;
    account.password = kAccountPassword;
    account.accountDescription = "10,240 entries for the login benchmark";
    account.passwordDescription = "the usual one";
    {
        std::vector<kh::AccountEntry> entries = sampleEntries();
        if (kh::writeAccountFile(file, account, entries) != kh::SaveOutcome::Saved) {
            std::printf("writeAccountFile failed for %s\n", file.c_str());
            return 1;
        }
    }
    std::printf("Account: %d entries, %llu bytes, %d repetitions (medians); cipher in use: "
                "bitsliced, %s\n",
                kEntries, static_cast<unsigned long long>(std::filesystem::file_size(file)),
                kRepetitions, kh::bitslice::avx2Usable() ? "AVX2" : "64-bit");

    kh::AppPaths paths{folder.path(), folder.path()};
    PrintedPrompts prompts;
    kh::App app(paths, {&prompts, nullptr, nullptr, nullptr});
    ReadEnd readEnd(app.entries());
    if (!app.create()) {
        std::printf("the main window was not created\n");
        return 1;
    }
    kh::TfrmMain& main = app.mainWindow();
    LoginSteps timer(app);
    // Row texts the list views asked for: proof that rows were really drawn.
    int textRequests = 0;
    main.addMessageHook([&textRequests](UINT msg, WPARAM, LPARAM lParam, LRESULT&) {
        if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == LVN_GETDISPINFOA)
            ++textRequests;
        return false;
    });
    ShowWindow(main.handle(), SW_SHOWNORMAL);
    paintNow(main);

    // Each repetition: the yardstick read (table engine), the bare read with the engine in
    // use and the model fill on its result outside any window, then the login until the
    // first rows are visible, then the logout (not timed). Reads and logins take turns so
    // that both see the same load on the machine.
    std::vector<double> yardstickTimes;
    std::vector<double> readTimes;
    std::vector<double> innerReadTimes;
    std::vector<double> overheadTimes;
    std::vector<double> fillTimes;
    std::vector<double> loginTimes;
    std::vector<double> callTimes;
    std::vector<double> paintTimes;
    std::vector<double> pairRatios;
    std::vector<std::vector<double>> stepTimes(5);
    for (int rep = 0; rep <= kRepetitions; ++rep) {
        double yardstick = 0;
        {
            kh::LoadedAccount loaded;
            kh::setCipherEngine(kh::CipherEngine::Table);
            const double t0 = nowMs();
            const kh::ReadOutcome outcome =
                kh::readAccountFile(file, kAccountName, kAccountPassword, loaded);
            const double t1 = nowMs();
            kh::setCipherEngine(kh::CipherEngine::Auto);
            if (outcome != kh::ReadOutcome::Loaded || loaded.entries.size() != kEntries) {
                std::printf("readAccountFile failed\n");
                return 1;
            }
            yardstick = t1 - t0;
            if (rep > 0) yardstickTimes.push_back(yardstick);
        }
        {
            kh::LoadedAccount loaded;
            const double t0 = nowMs();
            const kh::ReadOutcome outcome =
                kh::readAccountFile(file, kAccountName, kAccountPassword, loaded);
            const double t1 = nowMs();
            if (outcome != kh::ReadOutcome::Loaded || loaded.entries.size() != kEntries) {
                std::printf("readAccountFile failed\n");
                return 1;
            }
            kh::EntryList model;
            model.setOpen(true);
            const double t2 = nowMs();
            const int added = model.loadEntries(loaded);
            model.rebuildTypeList();
            const double t3 = nowMs();
            if (added != kEntries) {
                std::printf("the model took %d of %d entries\n", added, kEntries);
                return 1;
            }
            if (rep > 0) {
                readTimes.push_back(t1 - t0);
                fillTimes.push_back(t3 - t2);
            }
        }

        timer.reset();
        readEnd.at = 0;
        textRequests = 0;
        const double t0 = nowMs();
        const bool in = app.session().loginAccount(file, kAccountName, kAccountPassword);
        const double t1 = nowMs();
        paintNow(main);
        const double t2 = nowMs();
        if (!in || readEnd.at == 0 || !listPainted(main, kEntries) || textRequests == 0) {
            std::printf("login %d: %s\n", rep, in ? "the list was not painted" : "failed");
            return 1;
        }
        // The first round only warms the file cache, the heap and the window.
        if (rep > 0) {
            loginTimes.push_back(t2 - t0);
            callTimes.push_back(t1 - t0);
            paintTimes.push_back(t2 - t1);
            innerReadTimes.push_back(readEnd.at - t0);
            overheadTimes.push_back(t2 - readEnd.at);
            pairRatios.push_back((t2 - readEnd.at) / yardstick);
            const LoginSteps::Steps& st = timer.steps;
            const double inList = st.addRows + st.started + st.typeList;
            const double steps[] = {st.readDone - t0, st.addRows, st.started, st.typeList,
                                    t1 - st.readDone - inList};
            for (std::size_t i = 0; i < std::size(steps); ++i)
                stepTimes[i].push_back(steps[i]);
        }
        if (rep < kRepetitions) {
            app.session().endSession();
            paintNow(main);
        }
    }
    const double read = median(yardstickTimes);
    const double login = median(loginTimes);
    const double overhead = median(overheadTimes);

    // What a repaint costs on its own, and the item count of a virtual list view.
    HWND list = main.lists().visibleListView();
    std::vector<double> listPaint, windowPaint, itemCount, refresh;
    for (int rep = 0; rep < kRepetitions; ++rep) {
        double t0 = nowMs();
        InvalidateRect(list, nullptr, TRUE);
        UpdateWindow(list);
        listPaint.push_back(nowMs() - t0);

        t0 = nowMs();
        RedrawWindow(main.handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        windowPaint.push_back(nowMs() - t0);

        ListView_SetItemCountEx(list, 0, LVSICF_NOSCROLL);
        paintNow(main);
        t0 = nowMs();
        ListView_SetItemCountEx(list, kEntries, LVSICF_NOSCROLL);
        itemCount.push_back(nowMs() - t0);
        paintNow(main);

        t0 = nowMs();
        app.entries().selectAllRows(app.entries().visibleList(), false);
        app.entries().OnRowsChanged(kh::RowsChange::Updated);
        refresh.push_back(nowMs() - t0);
        paintNow(main);
    }

    // Logged in: a click on each column header, then on each tab, as the user does them.
    std::vector<std::vector<double>> sortTimes(kh::kColumnCount);
    for (int rep = 0; rep < kRepetitions; ++rep) {
        for (int column = 0; column < kh::kColumnCount; ++column) {
            textRequests = 0;
            const double t0 = nowMs();
            clickHeader(main, column);
            paintNow(main);
            sortTimes[static_cast<std::size_t>(column)].push_back(nowMs() - t0);
            if (app.entries().sortColumn() != column || !listPainted(main, kEntries) ||
                textRequests == 0) {
                std::printf("sort by column %d did not happen\n", column);
                return 1;
            }
        }
    }
    auto& tabs = main.get<kh::QTabControl>("mTabType");
    constexpr int kTabOrder[] = {1, 2, 3, 0};
    std::vector<std::vector<double>> tabTimes(std::size(kTabOrder));
    for (int rep = 0; rep < kRepetitions; ++rep) {
        for (std::size_t i = 0; i < std::size(kTabOrder); ++i) {
            const int tab = kTabOrder[i];
            textRequests = 0;
            const double t0 = nowMs();
            const bool changed = tabs.selectTab(tab);
            paintNow(main);
            tabTimes[i].push_back(nowMs() - t0);
            const int expected = tab == kh::kTabAll ? kEntries : kEntries / 3 + (tab == 1);
            if (!changed || app.entries().shownType() != tab || !listPainted(main, expected) ||
                textRequests == 0) {
                std::printf("tab %d was not shown\n", tab);
                return 1;
            }
        }
    }

    printTable("Open 10,240 entries",
               {{"yardstick: readAccountFile, table engine", read},
                {"readAccountFile, engine in use", median(readTimes)},
                {"model fill (loadEntries + type list)", median(fillTimes)},
                {"loginAccount call", median(callTimes)},
                {"paint until idle", median(paintTimes)},
                {"login until the first rows are visible", login},
                {"of which the read inside the login", median(innerReadTimes)},
                {"login overhead (the rest)", overhead}},
               read);
    printTable("Where the login time goes",
               {{"readAccountFile inside the login, list emptied", median(stepTimes[0])},
                {"rows into the model + item counts", median(stepTimes[1])},
                {"session started (timer, tool bar, banner)", median(stepTimes[2])},
                {"type list + item counts", median(stepTimes[3])},
                {"rest of the login call", median(stepTimes[4])},
                {"paint until idle", median(paintTimes)},
                {"list view repaint alone", median(listPaint)},
                {"whole window repaint", median(windowPaint)},
                {"item count 0 -> 10,240 alone", median(itemCount)},
                {"list refresh alone, same counts", median(refresh)}},
               read);
    static constexpr const char* kColumnNames[] = {"Title", "What's this", "Password", "Details",
                                                   "Type"};
    std::vector<Row> sorts;
    for (int column = 0; column < kh::kColumnCount; ++column)
        sorts.push_back({std::string("sort by ") + kColumnNames[column] + " + repaint",
                         median(sortTimes[static_cast<std::size_t>(column)])});
    printTable("Logged in, 10,240 entries", sorts, read);
    static constexpr const char* kTabNames[] = {"Password", "Link", "Text", "ALL"};
    std::vector<Row> tabRows;
    for (std::size_t i = 0; i < std::size(kTabOrder); ++i)
        tabRows.push_back({std::string("tab ") + kTabNames[i] + " + repaint", median(tabTimes[i])});
    printTable("Tabs", tabRows, read);

    double slowest = 0;
    for (const Row& r : sorts)
        slowest = std::max(slowest, r.ms);
    for (const Row& r : tabRows)
        slowest = std::max(slowest, r.ms);
    const double overheadRatio = overhead / read;
    const double slowestRatio = slowest / read;
    std::printf("\nRatios (same file, same process; yardstick: the table engine's bare read):\n");
    std::printf("login overhead / yardstick read: %.2fx\n", overheadRatio);
    std::printf("slowest tab or sort / yardstick read: %.2fx\n", slowestRatio);
    std::printf("  targets: login overhead <= %.2fx %s, slowest tab or sort <= %.2fx %s\n",
                kOverheadTarget, overheadRatio <= kOverheadTarget ? "ok" : "ABOVE TARGET",
                kTabOrSortTarget, slowestRatio <= kTabOrSortTarget ? "ok" : "ABOVE TARGET");
    std::printf("  login overhead / yardstick read, median of each repetition's: %.2fx\n",
                median(pairRatios));
    std::printf("  login until the first rows are visible / yardstick read: %.2fx\n", login / read);

    app.session().endSession();
    DestroyWindow(main.handle());
    return 0;
}

} // namespace

int main() {
    return run();
}
