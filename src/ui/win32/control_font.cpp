// The font of a dialog's text controls. The dialog's size comes from its
// template's font as the system realises it (its dialog units), which may be
// another face or size than the template names, and which grows with the
// system's scaling. The controls' font is made from that realised font:
// as high as its line (or the lowest text control's, if lower), so that the
// texts keep their proportion to the controls at any scaling, and lowered
// where a text would be cut otherwise.
#include <algorithm>
#include <string>
#include <vector>

#include "ui/win32/gui_state.h"

namespace tav::windows {

namespace {

constexpr int kSmallestHeight = 6;  // pixels; below this nothing is readable

// A control that shows text, and where that text must fit.
struct TextControl {
  HWND control = nullptr;
  std::vector<std::string> lines;  // as drawn: without mnemonic marks
  RECT area{};
};

bool IsButton(HWND control) {
  char name[16] = {};
  GetClassNameA(control, name, sizeof name);
  return lstrcmpiA(name, "Button") == 0;
}

bool ShowsText(HWND control) {
  char name[16] = {};
  GetClassNameA(control, name, sizeof name);
  if (lstrcmpiA(name, "Button") == 0) return true;
  if (lstrcmpiA(name, "Static") != 0) return false;
  auto type = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)) & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE;
}

// "&&" shows one ampersand; a single "&" underlines the next letter and
// takes no room.
std::vector<std::string> DrawnLines(HWND control) {
  char text[512] = {};
  GetWindowTextA(control, text, sizeof text);
  std::vector<std::string> lines(1);
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '&' && c[1] != '\0') ++c;
    if (*c == '\n') {
      lines.emplace_back();
    } else if (*c != '\r') {
      lines.back() += *c;
    }
  }
  if (lines.size() == 1 && lines[0].empty()) lines.clear();
  return lines;
}

// A button draws its text inside its raised edge and focus rectangle.
RECT TextArea(HWND control) {
  RECT area{};
  GetClientRect(control, &area);
  if (IsButton(control)) {
    InflateRect(&area, -2 * GetSystemMetrics(SM_CXEDGE), -2 * GetSystemMetrics(SM_CYEDGE));
  }
  return area;
}

std::vector<TextControl> TextControls(HWND dialog, int first, int last) {
  std::vector<TextControl> controls;
  for (int id = first; id <= last; ++id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr || !ShowsText(control)) continue;
    controls.push_back({control, DrawnLines(control), TextArea(control)});
  }
  return controls;
}

bool FitsAll(HDC dc, const std::vector<TextControl>& controls) {
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  for (const TextControl& text : controls) {
    LONG height = std::max<LONG>(1, static_cast<LONG>(text.lines.size())) * metrics.tmHeight;
    if (height > text.area.bottom - text.area.top) return false;
    for (const std::string& line : text.lines) {
      SIZE extent{};
      GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &extent);
      if (extent.cx > text.area.right - text.area.left) return false;
    }
  }
  return true;
}

LOGFONTA FaceOf(HWND dialog) {
  LOGFONTA face{};
  auto font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  if (font == nullptr || GetObjectA(font, sizeof face, &face) == 0) {
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
  }
  face.lfWidth = 0;
  return face;
}

// A line of the dialog's own font (8 of its vertical units), or the lowest
// text control's line where that is lower.
int LineHeight(HWND dialog, const std::vector<TextControl>& controls) {
  RECT line{0, 0, 0, 8};
  MapDialogRect(dialog, &line);
  LONG lowest = line.bottom;
  for (const TextControl& text : controls) {
    LONG height = (text.area.bottom - text.area.top) / std::max<LONG>(1, static_cast<LONG>(text.lines.size()));
    if (lowest == 0 || height < lowest) lowest = height;
  }
  return std::max<int>(kSmallestHeight, static_cast<int>(lowest));
}

// The highest font from the line height down whose texts all fit.
HFONT FittingFont(HWND dialog, const std::vector<TextControl>& controls) {
  LOGFONTA face = FaceOf(dialog);
  HDC dc = GetDC(dialog);
  HFONT font = nullptr;
  for (int height = LineHeight(dialog, controls); height >= kSmallestHeight; --height) {
    face.lfHeight = height;
    HFONT candidate = CreateFontIndirectA(&face);
    if (candidate == nullptr) continue;
    HGDIOBJ previous = SelectObject(dc, candidate);
    bool fits = FitsAll(dc, controls);
    SelectObject(dc, previous);
    if (font != nullptr) DeleteObject(font);
    font = candidate;
    if (fits) break;
  }
  ReleaseDC(dialog, dc);
  return font;
}

}  // namespace

HFONT FitControlFont(HWND dialog, int first, int last) {
  std::vector<TextControl> controls = TextControls(dialog, first, last);
  HFONT font = FittingFont(dialog, controls);
  if (font == nullptr) return nullptr;
  for (const TextControl& text : controls) SendMessageA(text.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return font;
}

}  // namespace tav::windows
