// Picture windows: a borderless pop-up exactly the size of a "DIB" resource,
// centred on the screen, that closes itself when its timer fires.
//
// A resource that is missing, or whose headers or bits would lie beyond its
// end, makes no window at all: WM_CREATE fails, OpenPictureWindow returns
// null and ShowPicture then does nothing.
#include <cstddef>
#include <vector>

#include "ui/picture.h"
#include "ui/win32/gui_state.h"

namespace tav::windows {
namespace {

// What one picture window draws. The pixel bits stay in the resource, which
// stays loaded while the program runs; the headers are copied so that GDI
// reads them aligned (in the resource they start at byte 14).
struct Picture {
  std::vector<unsigned char> header;  // information header and colour table
  const unsigned char* bits = nullptr;
  int width = 0;
  int height = 0;
  LOGPALETTE* logPalette = nullptr;  // from the private heap
  HPALETTE palette = nullptr;
};

Picture* PictureOf(HWND window) { return reinterpret_cast<Picture*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

std::optional<DibImage> LoadDibResource(HINSTANCE instance, const char* name) {
  HRSRC found = FindResourceA(instance, name, "DIB");
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(instance, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return std::nullopt;
  return ReadDib(static_cast<const unsigned char*>(data), SizeofResource(instance, found));
}

std::vector<unsigned char> AlignedHeaderOf(const DibImage& image) {
  std::vector<unsigned char> header(image.info, image.info + image.infoSize);
  // GDI must not take a size for the bits other than the one checked.
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
  info->biSizeImage = static_cast<DWORD>(image.bitsSize);
  return header;
}

LOGPALETTE* LogicalPaletteOf(HANDLE heap, const std::vector<Colour>& colours) {
  SIZE_T bytes = offsetof(LOGPALETTE, palPalEntry) + colours.size() * sizeof(PALETTEENTRY);
  auto* palette = static_cast<LOGPALETTE*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes));
  if (palette == nullptr) return nullptr;
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(colours.size());
  PALETTEENTRY* entries = palette->palPalEntry;  // declared with one entry, allocated with all
  for (std::size_t i = 0; i < colours.size(); ++i) {
    entries[i] = PALETTEENTRY{colours[i].red, colours[i].green, colours[i].blue, 0};
  }
  return palette;
}

void MakePalette(Picture& picture, const DibImage& image) {
  if (image.palette.empty()) return;
  picture.logPalette = LogicalPaletteOf(State().heap, image.palette);
  if (picture.logPalette != nullptr) picture.palette = CreatePalette(picture.logPalette);
}

void FreePalette(Picture& picture) {
  if (picture.palette != nullptr) DeleteObject(picture.palette);
  if (picture.logPalette != nullptr) HeapFree(State().heap, 0, picture.logPalette);
  picture.palette = nullptr;
  picture.logPalette = nullptr;
}

SIZE ScreenSize(HWND window) {
  HDC dc = GetDC(window);
  SIZE size{GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
  ReleaseDC(window, dc);
  return size;
}

void PlaceCentred(HWND window, const Picture& picture) {
  SIZE screen = ScreenSize(window);
  ScreenPosition at = CentreOnScreen(screen.cx, screen.cy, picture.width, picture.height);
  MoveWindow(window, at.left, at.top, picture.width, picture.height, FALSE);
}

// WM_CREATE: -1 refuses the window when there is nothing sound to show.
LRESULT OnCreate(HWND window, const CREATESTRUCTA& create) {
  const char* name = static_cast<const char*>(create.lpCreateParams);
  std::optional<DibImage> image = LoadDibResource(create.hInstance, name);
  if (!image) return -1;
  auto* picture = new Picture{AlignedHeaderOf(*image), image->bits, image->width, image->Rows()};
  MakePalette(*picture, *image);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(picture));
  PlaceCentred(window, *picture);
  return 0;
}

void DrawPicture(HWND window, HDC dc, const Picture& picture) {
  HPALETTE previous = nullptr;
  if (picture.palette != nullptr) {
    previous = SelectPalette(dc, picture.palette, GetFocus() != window);
    RealizePalette(dc);
  }
  auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(picture.header.data());
  HBITMAP bitmap = CreateDIBitmap(dc, info, CBM_INIT, picture.bits, reinterpret_cast<const BITMAPINFO*>(info),
                                  DIB_RGB_COLORS);
  HDC memory = CreateCompatibleDC(dc);
  if (bitmap != nullptr && memory != nullptr) {
    HGDIOBJ shown = SelectObject(memory, bitmap);
    BitBlt(dc, 0, 0, picture.width, picture.height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, shown);
  }
  // Made anew on every paint, so released on every paint.
  if (memory != nullptr) DeleteDC(memory);
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (previous != nullptr) SelectPalette(dc, previous, TRUE);
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (const Picture* picture = PictureOf(window)) DrawPicture(window, dc, *picture);
  EndPaint(window, &paint);
}

void OnTimer(HWND window) {
  KillTimer(window, kPictureTimer);
  if (Picture* picture = PictureOf(window)) FreePalette(*picture);
  DestroyWindow(window);
}

void OnFinalDestroy(HWND window) {
  Picture* picture = PictureOf(window);
  if (picture == nullptr) return;
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  FreePalette(*picture);
  delete picture;
}

}  // namespace

LRESULT CALLBACK PictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_ERASEBKGND:
      return 1;  // the picture covers the whole window
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_TIMER:
      if (wParam != kPictureTimer) break;
      OnTimer(window);
      return 0;
    case WM_SYSCOLORCHANGE:
      ForwardColourChange(State());
      return 0;
    case WM_NCDESTROY:
      OnFinalDestroy(window);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenPictureWindow(GuiState& gui, const char* resourceName) {
  return CreateWindowExA(0, kPictureClass, nullptr, WS_POPUP, 0, 0, 0, 0, gui.owner, nullptr, gui.instance,
                         const_cast<char*>(resourceName));
}

void ShowPicture(HWND picture, UINT milliseconds) {
  if (picture == nullptr) return;
  ShowWindow(picture, SW_SHOW);
  InvalidateRect(picture, nullptr, FALSE);
  UpdateWindow(picture);
  SetTimer(picture, kPictureTimer, milliseconds, nullptr);
}

}  // namespace tav::windows
