// The list view's pictures and column header as the program paints them: pictures blended
// once and copied after, and the flat header with its sort arrow.
#include "win32/flat_images.h"
#include "win32/gdi.h"
#include "win32/paint_buffer.h"
#include "win32/skin_header.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

namespace kh {
namespace {

// A 32-bit DIB section to draw into, with its pixels readable.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        bitmap_ = createDib32(width, height, &bits_);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    void fill(COLORREF color) {
        SetDCBrushColor(dc_, color);
        const RECT all{0, 0, width_, height_};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    std::vector<COLORREF> pixels(const RECT& area) const {
        GdiFlush();
        std::vector<COLORREF> out;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                out.push_back(GetPixel(dc_, x, y));
        return out;
    }

  private:
    int width_;
    int height_;
    void* bits_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// Two 8-pixel pictures with straight alpha: a half-transparent red disc in a fully
// transparent square, and an opaque blue square.
HIMAGELIST twoPictures() {
    constexpr int kSize = 8;
    void* bits = nullptr;
    Bitmap strip(createDib32(kSize * 2, kSize, &bits));
    auto* p = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize * 2; ++x, p += 4) {
            if (x >= kSize) {
                p[0] = 200, p[3] = 255;
            } else if ((x - 4) * (x - 4) + (y - 4) * (y - 4) < 9) {
                p[2] = 220, p[3] = 128;
            }
        }
    }
    HIMAGELIST list = ImageList_Create(kSize, kSize, ILC_COLOR32, 2, 2);
    ImageList_Add(list, strip.get(), nullptr);
    return list;
}

TEST(FlatImageCache, DrawsEachPictureAsTheImageListDoesOnThatBackground) {
    HIMAGELIST images = twoPictures();
    ASSERT_EQ(2, ImageList_GetImageCount(images));
    FlatImageCache cache;
    cache.reset(images);
    const RECT box{0, 0, 8, 8};
    for (const COLORREF background : {RGB(255, 255, 255), RGB(243, 244, 248), RGB(0, 120, 215)}) {
        for (int index = 0; index < 2; ++index) {
            Canvas expected(8, 8);
            expected.fill(background);
            ImageList_Draw(images, index, expected.dc(), 0, 0, ILD_TRANSPARENT);
            // Twice: once made, once from what was kept.
            for (int round = 0; round < 2; ++round) {
                Canvas drawn(8, 8);
                drawn.fill(RGB(1, 2, 3)); // covered completely
                EXPECT_TRUE(cache.draw(drawn.dc(), index, 0, 0, background));
                EXPECT_EQ(expected.pixels(box), drawn.pixels(box))
                    << "picture " << index << ", round " << round;
            }
        }
    }
    // The inactive look: grey only, and not the active one.
    Canvas active(8, 8);
    Canvas inactive(8, 8);
    ASSERT_TRUE(cache.draw(active.dc(), 0, 0, 0, RGB(255, 255, 255)));
    ASSERT_TRUE(cache.draw(inactive.dc(), 0, 0, 0, RGB(255, 255, 255), true));
    EXPECT_NE(active.pixels(box), inactive.pixels(box));
    for (const COLORREF c : inactive.pixels(box))
        EXPECT_TRUE(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)) << std::hex << c;

    Canvas untouched(8, 8);
    untouched.fill(RGB(9, 9, 9));
    EXPECT_FALSE(cache.draw(untouched.dc(), 2, 0, 0, RGB(255, 255, 255)));
    EXPECT_FALSE(cache.draw(untouched.dc(), -1, 0, 0, RGB(255, 255, 255)));
    cache.reset(nullptr);
    EXPECT_FALSE(cache.draw(untouched.dc(), 0, 0, 0, RGB(255, 255, 255)));
    EXPECT_EQ(std::vector<COLORREF>(64, RGB(9, 9, 9)), untouched.pixels(box));
    ImageList_Destroy(images);
}

class SkinHeaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | WS_VISIBLE | LVS_REPORT, 0, 0,
                                400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, list_);
        const wchar_t* captions[] = {L"Title", L"Details"};
        for (int i = 0; i < 2; ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            column.fmt = i == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
            column.cx = 150;
            column.pszText = const_cast<wchar_t*>(captions[i]);
            SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
        header_ = ListView_GetHeader(list_);
        ASSERT_NE(nullptr, header_);
    }
    void TearDown() override { DestroyWindow(list_); }

    void setSort(int column, int sortFlag) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header_, column, &item);
        item.fmt = (item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN)) | sortFlag;
        Header_SetItem(header_, column, &item);
    }
    // The header as it paints, and the pixels of one column's item.
    std::vector<COLORREF> paintedColumn(int column) {
        RECT client{};
        GetClientRect(header_, &client);
        Canvas canvas(client.right, client.bottom);
        canvas.fill(RGB(1, 2, 3));
        SendMessageW(header_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()),
                     PRF_CLIENT);
        RECT item{};
        Header_GetItemRect(header_, column, &item);
        return canvas.pixels(item);
    }
    static int countOf(const std::vector<COLORREF>& pixels, COLORREF color) {
        int n = 0;
        for (COLORREF c : pixels)
            n += c == color;
        return n;
    }

    HWND list_ = nullptr;
    HWND header_ = nullptr;
};

TEST_F(SkinHeaderTest, PaintsAFlatFaceWithTheTextAndTheArrowOfTheSortedColumnOnly) {
    useSkinHeader(header_);
    useSkinHeader(header_); // a second call changes nothing
    setSort(1, HDF_SORTDOWN);
    const std::vector<COLORREF> title = paintedColumn(0);
    const std::vector<COLORREF> details = paintedColumn(1);
    // Flat face, text drawn, no unpainted pixels; the arrow only where the sort is.
    for (const auto* pixels : {&title, &details}) {
        EXPECT_EQ(0, countOf(*pixels, RGB(1, 2, 3)));
        EXPECT_GT(countOf(*pixels, skin::kFormFace), static_cast<int>(pixels->size()) / 2);
        EXPECT_GT(countOf(*pixels, skin::kText), 0);
    }
    EXPECT_EQ(0, countOf(title, skin::kAccent));
    EXPECT_GT(countOf(details, skin::kAccent), 6);

    // The arrow follows the header's format.
    setSort(1, 0);
    setSort(0, HDF_SORTUP);
    EXPECT_EQ(0, countOf(paintedColumn(1), skin::kAccent));
    EXPECT_GT(countOf(paintedColumn(0), skin::kAccent), 6);

    // The header is still the control: its items keep their places and sizes.
    RECT second{};
    ASSERT_TRUE(Header_GetItemRect(header_, 1, &second));
    EXPECT_EQ(150, second.left);
    EXPECT_EQ(300, second.right);
}

// Paints borrow one surface in turn; each gets it in the default state, whatever the one
// before selected into it, and a paint inside a paint or a huge one gets its own.
TEST(PaintBuffer, LendsOneSurfaceInTurnClean) {
    Canvas screen(400, 300);
    const RECT small{0, 0, 10, 10};
    HDC first = nullptr;
    {
        PaintBuffer buffer(screen.dc(), 10, 10);
        ASSERT_NE(nullptr, buffer.get());
        first = buffer.get();
        // A paint that leaves things selected and set, as a careless one might.
        SelectObject(buffer.get(), GetStockObject(ANSI_FIXED_FONT));
        SetTextColor(buffer.get(), RGB(1, 2, 3));
        SetBkMode(buffer.get(), TRANSPARENT);
        IntersectClipRect(buffer.get(), 0, 0, 2, 2);
        SetDCBrushColor(buffer.get(), RGB(200, 0, 0));
        FillRect(buffer.get(), &small, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        buffer.copyTo(screen.dc(), 5, 5);
    }
    // Only the clipped corner was painted, and only the 10 x 10 area was copied.
    EXPECT_EQ(RGB(200, 0, 0), screen.pixels({5, 5, 6, 6})[0]);
    {
        // Larger than before: the same DC, grown, with nothing left of the last paint's state.
        PaintBuffer buffer(screen.dc(), 300, 200);
        EXPECT_TRUE(buffer.shared());
        EXPECT_EQ(first, buffer.get());
        EXPECT_EQ(GetStockObject(SYSTEM_FONT), GetCurrentObject(buffer.get(), OBJ_FONT));
        EXPECT_EQ(RGB(0, 0, 0), GetTextColor(buffer.get()));
        EXPECT_EQ(OPAQUE, GetBkMode(buffer.get()));
        RECT clip{};
        EXPECT_EQ(SIMPLEREGION, GetClipBox(buffer.get(), &clip));
        EXPECT_GE(clip.right, 300);
        EXPECT_GE(clip.bottom, 200);

        const RECT all{0, 0, 300, 200};
        SetDCBrushColor(buffer.get(), RGB(0, 0, 220));
        FillRect(buffer.get(), &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        {
            // Asked for while the shared one is lent: a surface of its own that works.
            PaintBuffer inner(screen.dc(), 20, 20);
            EXPECT_FALSE(inner.shared());
            EXPECT_NE(buffer.get(), inner.get());
            const RECT area{0, 0, 20, 20};
            SetDCBrushColor(inner.get(), RGB(0, 160, 0));
            FillRect(inner.get(), &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
            inner.copyTo(buffer.get(), 10, 10);
        }
        buffer.copyTo(screen.dc());
    }
    EXPECT_EQ(RGB(0, 0, 220), screen.pixels({299, 199, 300, 200})[0]);
    EXPECT_EQ(RGB(0, 160, 0), screen.pixels({29, 29, 30, 30})[0]);
    EXPECT_EQ(RGB(0, 0, 220), screen.pixels({30, 30, 31, 31})[0]);
    {
        PaintBuffer huge(screen.dc(), 4000, 4000);
        EXPECT_FALSE(huge.shared());
        PaintBuffer next(screen.dc(), 10, 10);
        EXPECT_TRUE(next.shared());
    }
}

// A bitmap lent to a blit source is free again afterwards, also when sources nest.
TEST(PaintBuffer, BlitSourceGivesItsBitmapBack) {
    Canvas screen(40, 10);
    void* bits = nullptr;
    Bitmap red(createDib32(4, 4, &bits));
    Bitmap green(createDib32(4, 4, &bits));
    for (auto [bitmap, color] : {std::pair{red.get(), RGB(255, 0, 0)}, {green.get(), RGB(0, 255, 0)}}) {
        BlitSource source(screen.dc(), bitmap);
        const RECT area{0, 0, 4, 4};
        SetDCBrushColor(source.get(), color);
        FillRect(source.get(), &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    {
        BlitSource outer(screen.dc(), red.get());
        BlitSource inner(screen.dc(), green.get());
        EXPECT_NE(outer.get(), inner.get());
        BitBlt(screen.dc(), 0, 0, 4, 4, outer.get(), 0, 0, SRCCOPY);
        BitBlt(screen.dc(), 10, 0, 4, 4, inner.get(), 0, 0, SRCCOPY);
    }
    EXPECT_EQ(RGB(255, 0, 0), screen.pixels({1, 1, 2, 2})[0]);
    EXPECT_EQ(RGB(0, 255, 0), screen.pixels({11, 1, 12, 2})[0]);
    // Neither bitmap is still selected anywhere: another DC can take each.
    HDC other = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(other, red.get());
    EXPECT_NE(nullptr, old);
    EXPECT_NE(nullptr, SelectObject(other, green.get()));
    SelectObject(other, old);
    DeleteDC(other);
}

} // namespace
} // namespace kh
