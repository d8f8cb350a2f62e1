#pragma once
// The main window's chrome: every picture it shows (tool bar, menus, rows, tabs, logo and
// the painted bands), the caption bar with its two buttons, the account banner, the status
// bar, the frame and the type tabs, each drawn for the window's DPI.
#include "win32/gdi.h"

#include <windows.h>

#include <string>

namespace kh {

class TfrmMain;

class MainChrome {
  public:
    explicit MainChrome(TfrmMain& main) : main_(main) {}
    ~MainChrome();
    MainChrome(const MainChrome&) = delete;
    MainChrome& operator=(const MainChrome&) = delete;

    // Loads the pictures and gives the painted controls their painting.
    void attach();
    // The pictures again at the window's present DPI, handed to the controls that show
    // them (the tool buttons and lists take theirs from their own owners).
    void reloadImages();
    void paintFrame();
    // Wide enough for the bold caption of the selected tab, in whatever language.
    int tabStripWidth();

    HIMAGELIST toolImages() const { return toolImages_.get(); }
    HIMAGELIST menuImages() const { return menuImages_.get(); }
    HIMAGELIST menuImagesGreyed() const { return menuImagesGreyed_.get(); }
    HIMAGELIST rowImages() const { return rowImages_.get(); }
    HIMAGELIST rowImagesLarge() const { return rowImagesLarge_.get(); }

  private:
    void loadImages();
    void paintCaption(HDC dc, const RECT& client);
    void paintBanner(HDC dc, const RECT& client);
    void paintStatus(HDC dc, const RECT& client);
    void drawTab(HDC dc, int index, const RECT& area, bool selected, bool hot);

    TfrmMain& main_;
    ImageList toolImages_;
    ImageList menuImages_;
    ImageList menuImagesGreyed_; // for disabled menu items
    ImageList rowImages_;
    ImageList rowImagesLarge_;
    ImageList tabImages_;
    ImageList logoImages_;
    Bitmap chromeFrame_;
    Bitmap chromeCaption_;
    Bitmap chromeBanner_;
    Bitmap chromeStatus_;
    HICON smallIcon_ = nullptr;
    COLORREF statusColor_ = RGB(236, 239, 247);
};

// A text for one line (a list row, the status bar): line breaks and tabs become spaces.
void asOneLine(char* text, std::size_t length);

} // namespace kh
