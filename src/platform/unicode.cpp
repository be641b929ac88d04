#include "platform/unicode.h"

namespace tav::platform::unicode {

namespace {

// The characters of the bytes 0x80 to 0x9F in Windows-1252.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint32_t AnsiChar(uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte; }

void AppendUnit(std::vector<uint8_t>& out, uint32_t unit) {
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

bool InRange(uint32_t cp, uint32_t first, uint32_t last) { return cp >= first && cp <= last; }

uint32_t UpperCase(uint32_t cp) {
  if (InRange(cp, 'a', 'z')) return cp - 0x20;
  if (cp < 0xE0) return cp;
  if (cp <= 0xFE) return cp == 0xF7 ? cp : cp - 0x20;
  if (cp == 0xFF) return 0x178;
  // Latin Extended-A: pairs with the capital first, or (in two runs) second.
  if (InRange(cp, 0x100, 0x12F) || InRange(cp, 0x132, 0x137) || InRange(cp, 0x14A, 0x177)) {
    return (cp & 1) != 0 ? cp - 1 : cp;
  }
  if (InRange(cp, 0x139, 0x148) || InRange(cp, 0x179, 0x17E)) return (cp & 1) == 0 ? cp - 1 : cp;
  if (InRange(cp, 0x3B1, 0x3C9) && cp != 0x3C2) return cp - 0x20;
  if (InRange(cp, 0x430, 0x44F)) return cp - 0x20;
  if (InRange(cp, 0x450, 0x45F)) return cp - 0x50;
  return cp;
}

// The number of bytes that follow a lead byte: C2..DF one, E0..EF two,
// F0..F4 three. -1 for bytes that begin no character: continuation bytes,
// C0 and C1 (they could only begin overlong forms) and F5..FF (they could
// only begin characters beyond U+10FFFF).
int FollowingBytes(uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int64_t NextCodePoint(std::string_view s, size_t& i) {
  uint8_t lead = static_cast<uint8_t>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = FollowingBytes(lead);
  if (extra < 0 || i + static_cast<size_t>(extra) > s.size()) return -1;
  uint32_t cp = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    uint8_t next = static_cast<uint8_t>(s[i + static_cast<size_t>(k)]);
    if ((next & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and characters beyond U+10FFFF.
  static constexpr uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  i += static_cast<size_t>(extra);
  return cp;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) AppendUtf8(out, AnsiChar(static_cast<uint8_t>(c)));
  return out;
}

std::vector<uint8_t> Utf8ToUtf16(std::string_view utf8) {
  std::vector<uint8_t> out;
  out.reserve(utf8.size() * 2);
  for (size_t i = 0; i < utf8.size();) {
    int64_t cp = NextCodePoint(utf8, i);
    if (cp < 0) cp = 0xFFFD;
    if (cp >= 0x10000) {
      uint32_t v = static_cast<uint32_t>(cp) - 0x10000;
      AppendUnit(out, 0xD800 | (v >> 10));
      AppendUnit(out, 0xDC00 | (v & 0x3FF));
    } else {
      AppendUnit(out, static_cast<uint32_t>(cp));
    }
  }
  return out;
}

bool Utf16ToUtf8(const uint8_t* data, size_t size, std::string& out, size_t* failedAt) {
  out.clear();
  out.reserve(size / 2);
  auto fail = [&](size_t at) {
    if (failedAt != nullptr) *failedAt = at;
    return false;
  };
  for (size_t i = 0; i < size; i += 2) {
    if (i + 1 >= size) return fail(i);
    uint32_t unit = data[i] | (static_cast<uint32_t>(data[i + 1]) << 8);
    if (unit >= 0xDC00 && unit < 0xE000) return fail(i);
    if (unit >= 0xD800 && unit < 0xDC00) {
      if (i + 3 >= size) return fail(i);
      uint32_t low = data[i + 2] | (static_cast<uint32_t>(data[i + 3]) << 8);
      if (low < 0xDC00 || low >= 0xE000) return fail(i);
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, unit);
  }
  return true;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (NextCodePoint(text, i) < 0) return false;
  }
  return true;
}

std::string FoldName(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    if (static_cast<uint8_t>(utf8[i]) < 0x80) {
      char c = utf8[i++];
      out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
      continue;
    }
    int64_t cp = NextCodePoint(utf8, i);
    AppendUtf8(out, cp < 0 ? 0xFFFD : UpperCase(static_cast<uint32_t>(cp)));
  }
  return out;
}

}  // namespace tav::platform::unicode
