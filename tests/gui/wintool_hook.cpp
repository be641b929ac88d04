// wintool_hook.dll: measures a control's text inside the process that owns
// it, where the control's font handle is valid. wintool installs the hook on
// the window's thread and sends the control the registered message
// kMeasureMessage with its own process id; the hook writes the result into
// the file mapping wintool made under that id (wintool_hook.h).
#include "wintool_hook.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

// The text as drawn: "&&" is one ampersand, a single "&" marks the mnemonic
// and takes no room (unless a static control says SS_NOPREFIX).
std::string DrawnText(HWND control) {
  char buffer[1024] = {};
  ::GetWindowTextA(control, buffer, sizeof buffer);
  std::string text = buffer;
  auto style = static_cast<DWORD>(::GetWindowLongPtrA(control, GWL_STYLE));
  if (_stricmp(ClassOf(control).c_str(), "Static") == 0 && (style & SS_NOPREFIX) != 0) return text;
  std::string drawn;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    drawn += text[i];
  }
  return drawn;
}

// The widest line's width and the lines' height together, in the
// control's own font.
SIZE Extent(HWND control, const std::string& text) {
  HDC dc = ::GetDC(control);
  auto font = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = ::SelectObject(dc, font != nullptr ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
  TEXTMETRICA metrics{};
  ::GetTextMetricsA(dc, &metrics);
  SIZE extent{0, 0};
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    SIZE size{};
    ::GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
    extent.cx = std::max(extent.cx, size.cx);
    extent.cy += metrics.tmHeight;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  ::SelectObject(dc, previous);
  ::ReleaseDC(control, dc);
  return extent;
}

void Measure(HWND control, DWORD requester) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%lu", kFitMappingPrefix, static_cast<unsigned long>(requester));
  HANDLE mapping = ::OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (mapping == nullptr) return;
  auto* result = static_cast<FitResult*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(FitResult)));
  if (result != nullptr) {
    std::string text = DrawnText(control);
    std::snprintf(result->text, sizeof result->text, "%s", text.c_str());
    result->extent = Extent(control, text);
    ::GetClientRect(control, &result->client);
    result->measured = 1;
    ::UnmapViewOfFile(result);
  }
  ::CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MeasureHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT measure = ::RegisterWindowMessageA(kMeasureMessage);
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call != nullptr && call->message == measure) {
    Measure(call->hwnd, static_cast<DWORD>(call->wParam));
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
