// The three-button box under Wine: the buttons carry the given captions (the English and
// the German ones fit the system's button width) and the one pressed is what it answers.
#include "win32_services.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdlib>
#include <string>

namespace kh {
namespace {

struct BoxSeen {
    std::array<std::string, 3> captions;
    std::array<bool, 3> wideEnough{};
    bool found = false;
};

BoxSeen* gSeen = nullptr;
int gPress = IDCANCEL;
int gTicks = 0;
int gLingerTicks = 0; // a while on the screen before the press, for a screenshot

bool captionFits(HWND button) {
    char text[128] = {};
    GetWindowTextA(button, text, sizeof text);
    std::string shown;
    for (const char* c = text; *c; ++c)
        if (*c != '&') shown += *c;
    const HDC dc = GetDC(button);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(button, dc);
    RECT rect{};
    GetClientRect(button, &rect);
    RECT box{};
    GetClientRect(GetParent(button), &box);
    POINT corner{rect.right, 0};
    MapWindowPoints(button, GetParent(button), &corner, 1);
    return size.cx < rect.right && corner.x <= box.right;
}

void CALLBACK pressWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND box = FindWindowA("#32770", "Choice test");
    if (!box) {
        if (++gTicks > 100) KillTimer(nullptr, timer); // no box: the test fails on its own
        return;
    }
    if (!gSeen->found) {
        const int ids[] = {IDYES, IDNO, IDCANCEL};
        for (int i = 0; i < 3; ++i) {
            char text[128] = {};
            GetDlgItemTextA(box, ids[i], text, sizeof text);
            gSeen->captions[static_cast<std::size_t>(i)] = text;
            gSeen->wideEnough[static_cast<std::size_t>(i)] = captionFits(GetDlgItem(box, ids[i]));
        }
        gSeen->found = true;
    }
    if (gLingerTicks-- > 0) return;
    KillTimer(nullptr, timer);
    PostMessageA(GetDlgItem(box, gPress), BM_CLICK, 0, 0);
}

TEST(WindowPromptsChoose, TheButtonsCarryTheirCaptionsAndAnswerWhichWasPressed) {
    WindowPrompts prompts([] { return HWND(nullptr); });
    struct Case {
        std::array<std::string, 3> captions;
        int press;
        int answer;
    };
    const Case cases[] = {
        {{"Save &Anyway", "Save &As...", "Cancel"}, IDYES, 0},
        {{"&Ersetzen", "&Neue Datei...", "Abbrechen"}, IDNO, 1},
        {{"Save &Anyway", "Save &As...", "Cancel"}, IDCANCEL, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.captions[0]);
        BoxSeen seen;
        gSeen = &seen;
        gPress = c.press;
        gTicks = 0;
        if (const char* ms = std::getenv("KH_TEST_LINGER_MS")) gLingerTicks = std::atoi(ms) / 50;
        SetTimer(nullptr, 0, 50, pressWhenShown);
        const int answer = prompts.choose(
            "Choice test", "The account file was changed by another program since you opened it.",
            c.captions);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(seen.captions, c.captions);
        EXPECT_EQ(seen.wideEnough, (std::array<bool, 3>{true, true, true}));
    }
    gSeen = nullptr;
}

} // namespace
} // namespace kh
