// What wintool and its hook library share to measure a control's text in
// the process that owns the control (wintool_hook.cpp).
#pragma once

#include <windows.h>

// Registered window message; wParam is the requesting process's id.
constexpr const char* kMeasureMessage = "WintoolMeasureText";
// The requester's file mapping: this prefix and its process id.
constexpr const char* kFitMappingPrefix = "Local\\wintool-fit-";

struct FitResult {
  LONG measured;  // set by the hook
  SIZE extent;    // the text's extent in the control's font
  RECT client;    // the control's client rectangle
  char text[256];
};
