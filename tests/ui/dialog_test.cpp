// The design fixed-size dialogs share, as the created window shows it.
#include "win32/dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kh {
namespace {

// No sizing frame and no maximize box; a dialog with an icon of its own keeps the plain
// border, the only one that shows the icon in the caption, the others the modal frame.
TEST(Dialog, FixedDesignCannotBeResizedAndShowsItsIcon) {
    const HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    ASSERT_NE(nullptr, icon);
    struct Case {
        const char* className;
        HICON icon;
        bool modalFrame;
    };
    const Case cases[] = {
        {"TfrmFixedPlain", nullptr, true},
        {"TfrmFixedWithIcon", icon, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        TDialog dialog(fixedDialogDesign(c.className, "Fixed", 300, 120, c.icon), {});
        ASSERT_TRUE(dialog.create());
        const HWND hwnd = dialog.handle();
        const auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE));
        EXPECT_EQ(static_cast<DWORD>(WS_CAPTION | WS_SYSMENU),
                  style &
                      (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
        EXPECT_EQ(c.modalFrame, (exStyle & WS_EX_DLGMODALFRAME) != 0);
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(c.icon), GetClassLongPtrA(hwnd, GCLP_HICON));
        RECT client{};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(dialog.scale(300), client.right);
        EXPECT_EQ(dialog.scale(120), client.bottom);
    }
}

} // namespace
} // namespace kh
