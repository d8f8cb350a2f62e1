// Every control of the form framework on one window, to look at the skin at any DPI.
// Not shipped; images are drawn at start so that the program needs no resources.
#include "win32/form.h"
#include "win32/menu.h"
#include "win32/skin_controls.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

#include <cmath>
#include <string>

namespace kh {
namespace {

constexpr COLORREF kNavy = RGB(0, 0, 0x80);
constexpr COLORREF kRed = RGB(0xc0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 0x80, 0);
constexpr int kIdForgot = 300;

const ControlDef kControls[] = {
    {.name = "pbCaption", .kind = ControlKind::PaintButton, .width = 640, .height = 23},
    {.name = "sbMinimize",
     .kind = ControlKind::BitmapButton,
     .hint = "Minimize",
     .x = 568,
     .y = 1,
     .width = 21,
     .height = 21,
     .options = opt::noTabStop},
    {.name = "sbClose",
     .kind = ControlKind::BitmapButton,
     .hint = "Close",
     .x = 590,
     .y = 1,
     .width = 21,
     .height = 21,
     .options = opt::noTabStop,
     .modalResult = ModalResult::Close},
    {.name = "abButterFly",
     .kind = ControlKind::AnimatedButton,
     .hint = "Keyhaven",
     .x = 612,
     .y = 0,
     .width = 24,
     .height = 23},
    {.name = "tbAccount",
     .kind = ControlKind::ToolButton,
     .caption = "&Account",
     .x = 4,
     .y = 26,
     .width = 70,
     .height = 22},
    {.name = "tbHelpMenu",
     .kind = ControlKind::ToolButton,
     .caption = "&Help",
     .x = 76,
     .y = 26,
     .width = 50,
     .height = 22},
    {.name = "tbNewAccount",
     .kind = ControlKind::ToolButton,
     .hint = "Create New Account",
     .x = 4,
     .y = 50,
     .width = 28,
     .height = 26},
    {.name = "tbSaveAccount",
     .kind = ControlKind::ToolButton,
     .hint = "Save Current Account",
     .x = 34,
     .y = 50,
     .width = 28,
     .height = 26,
     .options = opt::inactive},
    {.name = "tbStyle",
     .kind = ControlKind::ToolButton,
     .hint = "Change View Style",
     .x = 64,
     .y = 50,
     .width = 40,
     .height = 26},
    {.name = "tbComment",
     .kind = ControlKind::ToolButton,
     .hint = "Show/Hide Comment Window",
     .x = 106,
     .y = 50,
     .width = 28,
     .height = 26},
    {.name = "mTabType",
     .kind = ControlKind::TabControl,
     .x = 4,
     .y = 80,
     .width = 65,
     .height = 262},
    {.name = "lvPassword",
     .kind = ControlKind::ListView,
     .x = 72,
     .y = 80,
     .width = 300,
     .height = 150,
     .style = LVS_REPORT | LVS_SHOWSELALWAYS},
    {.name = "lbTitle",
     .kind = ControlKind::Label,
     .caption = "Keyhaven Account Wizard",
     .x = 384,
     .y = 80,
     .width = 250,
     .height = 22,
     .options = opt::bold | opt::large},
    {.name = "lbRemember",
     .kind = ControlKind::Label,
     .caption = "Remember:",
     .x = 384,
     .y = 106,
     .width = 100,
     .height = 16,
     .options = opt::bold,
     .textColor = kRed},
    {.name = "lbNavy",
     .kind = ControlKind::Label,
     .caption = "Keyhaven would: Keep your other passwords securely.",
     .x = 384,
     .y = 124,
     .width = 250,
     .height = 32,
     .textColor = kNavy},
    {.name = "lbForgot",
     .kind = ControlKind::Label,
     .caption = "Forgot your password?",
     .x = 384,
     .y = 160,
     .width = 160,
     .height = 16,
     .commandId = kIdForgot,
     .options = opt::underline | opt::handCursor,
     .textColor = kGreen},
    {.name = "rbNew",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Create New Account",
     .x = 384,
     .y = 182,
     .width = 220,
     .height = 20,
     .options = opt::checked},
    {.name = "rbImport",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Import Existing Account",
     .x = 384,
     .y = 204,
     .width = 220,
     .height = 20},
    {.name = "cbGuard",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Password &Guard",
     .hint = "Clears a copied password from the clipboard",
     .x = 384,
     .y = 226,
     .width = 200,
     .height = 20,
     .options = opt::checked},
    {.name = "cbOff",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Inactive check box",
     .x = 384,
     .y = 248,
     .width = 200,
     .height = 20,
     .options = opt::inactive},
    {.name = "gbPassword",
     .kind = ControlKind::GroupBox,
     .caption = "Account Password",
     .x = 72,
     .y = 236,
     .width = 300,
     .height = 106},
    {.name = "lbName",
     .kind = ControlKind::Label,
     .caption = "Account Name:",
     .x = 10,
     .y = 22,
     .width = 90,
     .height = 16,
     .parent = "gbPassword"},
    {.name = "edAccountName",
     .kind = ControlKind::Edit,
     .hint = "Up to 150 characters",
     .x = 104,
     .y = 19,
     .width = 180,
     .height = 22,
     .parent = "gbPassword",
     .maxLength = 150},
    {.name = "lbPassword",
     .kind = ControlKind::Label,
     .caption = "Password:",
     .x = 10,
     .y = 50,
     .width = 90,
     .height = 16,
     .parent = "gbPassword"},
    {.name = "edPassword",
     .kind = ControlKind::MaskEdit,
     .x = 104,
     .y = 47,
     .width = 180,
     .height = 22,
     .parent = "gbPassword",
     .maxLength = 75},
    {.name = "cmbLanguage",
     .kind = ControlKind::ComboBox,
     .x = 104,
     .y = 75,
     .width = 180,
     .height = 120,
     .parent = "gbPassword"},
    {.name = "mmComment",
     .kind = ControlKind::Memo,
     .caption = "A memo: notes go here.",
     .x = 384,
     .y = 272,
     .width = 250,
     .height = 46},
    {.name = "plBar", .kind = ControlKind::Panel, .x = 0, .y = 350, .width = 640, .height = 40},
    {.name = "sbBack",
     .kind = ControlKind::SkinButton,
     .caption = "&Back",
     .x = 300,
     .y = 8,
     .width = 75,
     .height = 25,
     .parent = "plBar",
     .options = opt::inactive},
    {.name = "sbNext",
     .kind = ControlKind::SkinButton,
     .caption = "&Next",
     .hint = "Next page",
     .x = 380,
     .y = 8,
     .width = 75,
     .height = 25,
     .parent = "plBar"},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 460,
     .y = 8,
     .width = 75,
     .height = 25,
     .parent = "plBar",
     .modalResult = ModalResult::Cancel},
    {.name = "stStatus",
     .kind = ControlKind::StaticText,
     .caption = "Click 'Log In to Existing Account' to log in",
     .x = 8,
     .y = 12,
     .width = 280,
     .height = 16,
     .parent = "plBar"},
};

const MenuItemDef kViewMenu[] = {
    {.name = "miLarge", .caption = "Large Icons", .commandId = 401, .options = menuopt::radio},
    {.name = "miSmall", .caption = "Small Icons", .commandId = 402, .options = menuopt::radio},
    {.name = "miList", .caption = "List", .commandId = 403, .options = menuopt::radio},
    {.name = "miDetails",
     .caption = "Details",
     .commandId = 404,
     .options = menuopt::radio | menuopt::checked},
    {.name = "N1", .caption = "-"},
    {.name = "miMore", .caption = "&More"},
    {.name = "miFind", .caption = "&Find Password ...\tCtrl+F", .commandId = 405, .level = 1},
};

// Draws `count` square images with GDI into a new image list.
template <class Draw> HIMAGELIST makeImages(int size, int count, Draw draw) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, count, 0);
    WindowDc screen(nullptr);
    for (int i = 0; i < count; ++i) {
        Bitmap bitmap(CreateCompatibleBitmap(screen.get(), size, size));
        HDC dc = CreateCompatibleDC(screen.get());
        {
            SelectGuard select(dc, bitmap.get());
            RECT all{0, 0, size, size};
            SetDCBrushColor(dc, RGB(0xff, 0, 0xff));
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
            draw(dc, i, size);
        }
        DeleteDC(dc);
        ImageList_AddMasked(list, bitmap.get(), RGB(0xff, 0, 0xff));
    }
    return list;
}

void disc(HDC dc, int x, int y, int radius, COLORREF color) {
    SelectGuard pen(dc, GetStockObject(DC_PEN));
    SelectGuard brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, color);
    SetDCBrushColor(dc, color);
    Ellipse(dc, x - radius, y - radius, x + radius, y + radius);
}

// A glyph strip of four frames: normal, hot, pressed, inactive.
Bitmap makeGlyph(int size, bool cross) {
    WindowDc screen(nullptr);
    Bitmap strip(CreateCompatibleBitmap(screen.get(), size * 4, size));
    HDC dc = CreateCompatibleDC(screen.get());
    {
        SelectGuard select(dc, strip.get());
        RECT all{0, 0, size * 4, size};
        SetDCBrushColor(dc, RGB(0xff, 0, 0xff));
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        const COLORREF colors[4] = {skin::kText, skin::kAccent, RGB(0xc0, 0x20, 0x20),
                                    skin::kTextInactive};
        for (int f = 0; f < 4; ++f) {
            Pen pen(CreatePen(PS_SOLID, 2, colors[f]));
            SelectGuard usePen(dc, pen.get());
            const int l = f * size + 5;
            const int r = f * size + size - 5;
            if (cross) {
                MoveToEx(dc, l, 5, nullptr);
                LineTo(dc, r, size - 5);
                MoveToEx(dc, r, 5, nullptr);
                LineTo(dc, l, size - 5);
            } else {
                MoveToEx(dc, l, size - 6, nullptr);
                LineTo(dc, r, size - 6);
            }
        }
    }
    DeleteDC(dc);
    return strip;
}

class TfrmGallery : public TForm {
  public:
    TfrmGallery()
        : TForm(FormDesign{.className = "TfrmGallery",
                           .caption = "Keyhaven controls",
                           .clientWidth = 640,
                           .clientHeight = 390,
                           .style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_SYSMENU |
                                    WS_THICKFRAME | WS_MINIMIZEBOX},
                kControls) {
        addMenu("pmView", kViewMenu);
    }

  protected:
    void onCreate() override {
        const int icon = scale(16);
        logo_.reset(makeImages(scale(20), 22, [](HDC dc, int i, int size) {
            const double angle = i * 2 * 3.14159265 / 22;
            const int c = size / 2;
            disc(dc, c + static_cast<int>(std::cos(angle) * size / 4),
                 c + static_cast<int>(std::sin(angle) * size / 4), size / 5, skin::kAccent);
        }));
        tools_.reset(makeImages(icon, 4, [](HDC dc, int i, int size) {
            const COLORREF colors[4] = {RGB(0x2a, 0x8a, 0x3a), RGB(0x22, 0x5c, 0xb0),
                                        RGB(0xd0, 0x80, 0x10), RGB(0x80, 0x40, 0xa0)};
            disc(dc, size / 2, size / 2, size / 2 - 1, colors[i]);
        }));

        auto& caption = get<TPaintButton>("pbCaption");
        caption.OnPaint = [this](HDC dc, const RECT& area) {
            SetDCBrushColor(dc, RGB(0xe6, 0xeb, 0xf3));
            FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
            RECT text = area;
            text.left = scale(19);
            SelectGuard bold(dc, font(opt::bold));
            SetTextColor(dc, skin::kAccent);
            DrawTextA(dc, "Remember One Password, Leave the Others to Keyhaven!", -1, &text,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        };
        caption.OnMouseDown = [this](int, int) {
            ReleaseCapture();
            SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        };
        get<QBitmapButton>("sbMinimize").setGlyph(makeGlyph(16, false), 4, RGB(0xff, 0, 0xff));
        get<QBitmapButton>("sbClose").setGlyph(makeGlyph(16, true), 4, RGB(0xff, 0, 0xff));
        get<QBitmapButton>("sbClose").OnClick = [] { PostQuitMessage(0); };
        auto& logo = get<QAnimatedButton>("abButterFly");
        logo.setImages(logo_.get());
        logo.setInterval(50);
        logo.start();

        const char* tools[] = {"tbNewAccount", "tbSaveAccount", "tbStyle", "tbComment"};
        for (int i = 0; i < 4; ++i) {
            auto& button = get<TToolButton>(tools[i]);
            button.setImages(tools_.get());
            button.setImageIndex(i);
        }
        auto& style = get<TToolButton>("tbStyle");
        style.setDropDown(true);
        style.OnDropDown = [this, &style] {
            RECT r;
            GetWindowRect(style.handle(), &r);
            menu("pmView")->popup(handle(), POINT{r.left, r.bottom});
        };
        auto& comment = get<TToolButton>("tbComment");
        comment.setDown(true);
        comment.OnClick = [this, &comment] {
            comment.setDown(!comment.isDown());
            get<TControl>("mmComment").setVisible(comment.isDown());
        };

        auto& tabs = get<QTabControl>("mTabType");
        tabs.setOrientation(TabOrientation::Vertical);
        tabs.setTabs({"ALL", "Password", "Link", "Text"});
        tabs.OnDrawTab = [this, &tabs](HDC dc, int index, const RECT& area, bool selected,
                                       bool hot) {
            const int size = scale(16);
            const int shift = hot && !selected ? 1 : 0;
            const int cx = (area.left + area.right) / 2 + shift;
            const int top = (area.top + area.bottom) / 2 - size + shift;
            ImageList_Draw(tools_.get(), index, dc, cx - size / 2, top, ILD_TRANSPARENT);
            RECT text{area.left, top + size + scale(2), area.right, area.bottom};
            SetTextColor(dc, selected ? skin::kAccent : skin::kText);
            const std::string& label = tabs.tabs()[static_cast<std::size_t>(index)];
            DrawTextA(dc, label.c_str(), -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE);
        };

        HWND list = get<TControl>("lvPassword").handle();
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        const char* columns[] = {"Title", "What's this", "Password", "Details", "Type"};
        const int widths[] = {80, 80, 60, 60, 50};
        for (int i = 0; i < 5; ++i) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = const_cast<char*>(columns[i]);
            column.cx = scale(widths[i]);
            SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        }
        const char* rows[][5] = {{"mail", "example.org", "******", "Webmail", "Link"},
                                 {"bank", "", "******", "Card PIN", "Password"},
                                 {"notes", "", "******", "Wi-Fi at home", "Text"}};
        for (int r = 0; r < 3; ++r) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>(rows[r][0]);
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            for (int c = 1; c < 5; ++c) {
                item.iSubItem = c;
                item.pszText = const_cast<char*>(rows[r][c]);
                SendMessageA(list, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
            }
        }
        HWND combo = get<TControl>("cmbLanguage").handle();
        for (const char* language : {"English", "Deutsch",
                                     "Fran\xe7"
                                     "ais"})
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language));
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
        get<QSkinButton>("sbCancel").OnClick = [] { PostQuitMessage(0); };
    }

    bool onKeyDown(const KeyPress& key) override {
        if (key.key == VK_ESCAPE) {
            PostQuitMessage(0);
            return true;
        }
        return false;
    }

    void onCommand(int id, int code, HWND) override {
        if (id == kIdForgot && code == STN_CLICKED)
            get<TControl>("stStatus").setText("Forgot your password? clicked");
    }

  private:
    ImageList logo_;
    ImageList tools_;
};

} // namespace
} // namespace kh

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kh::TfrmGallery gallery;
    if (!gallery.create()) return 1;
    gallery.show();
    return kh::runMessageLoop();
}
