#include "platform/code_page.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdio>

#include "platform/unicode.h"

namespace tav::platform {

namespace {

// A charset name in a form where spellings compare equal: upper case, no
// '-' or '_' ("utf8", "UTF-8" and "Utf_8" are all "UTF8").
std::string Canonical(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
  }
  return out;
}

// The names glibc and others give the charset of the C locale.
bool NamesAscii(std::string_view name) {
  std::string canonical = Canonical(name);
  return canonical == "ANSIX3.41968" || canonical == "ASCII" || canonical == "USASCII" || canonical == "646";
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  }
  return true;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// One conversion with iconv from start to end, the shift state flushed.
// On failure failedAt is the input offset at fault (the input's size when
// the charset cannot be converted at all).
bool Iconv(const std::string& to, const std::string& from, std::string_view in, std::string& out, size_t& failedAt) {
  out.clear();
  failedAt = in.size();
  iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char buffer[1024];
  bool ok = true;
  for (bool flushing = false;;) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = flushing ? ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                             : ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (result == static_cast<size_t>(-1) && errno == E2BIG) continue;
    if (result == static_cast<size_t>(-1)) {
      // EILSEQ: no character; EINVAL: a sequence cut short at the end.
      failedAt = in.size() - inLeft;
      ok = false;
      break;
    }
    if (flushing) break;
    flushing = true;
  }
  ::iconv_close(cd);
  return ok;
}

// The UTF-8 character that begins at offset, for a message.
std::string CharacterAt(std::string_view utf8, size_t offset) {
  size_t i = offset;
  int64_t cp = offset < utf8.size() ? unicode::NextCodePoint(utf8, i) : -1;
  if (cp < 0) return "the text at byte " + std::to_string(offset + 1);
  return "the character " + ShowCharacters(utf8.substr(offset, i - offset));
}

std::string ByteAt(std::string_view text, size_t offset) {
  if (offset >= text.size()) return "the end of the text";
  return "byte " + std::to_string(offset + 1) + " (" + Hex(static_cast<uint8_t>(text[offset]), 2) + ")";
}

}  // namespace

CodePage::CodePage(std::string name) : name_(std::move(name)), utf8_(Canonical(name_) == "UTF8") {}

CodePage CodePage::OfLocale() {
  std::string name;
  locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (locale != static_cast<locale_t>(nullptr)) {
    const char* codeset = ::nl_langinfo_l(CODESET, locale);
    if (codeset != nullptr) name = codeset;
    ::freelocale(locale);
  }
  // No locale, or one that names only ASCII: nothing was chosen, and UTF-8
  // reads every ASCII text the same while giving the other bytes meaning.
  if (name.empty() || NamesAscii(name)) name = "UTF-8";
  return CodePage(name);
}

bool CodePage::ToUtf8(std::string_view text, std::string& out, std::string& problem) const {
  if (IsAscii(text)) {
    out.assign(text);
    return true;
  }
  if (utf8_) {
    for (size_t i = 0; i < text.size();) {
      size_t at = i;
      if (unicode::NextCodePoint(text, i) < 0) {
        problem = ByteAt(text, at) + " is not valid UTF-8";
        return false;
      }
    }
    out.assign(text);
    return true;
  }
  size_t failedAt = 0;
  if (!Iconv("UTF-8", name_, text, out, failedAt)) {
    problem = failedAt < text.size() ? ByteAt(text, failedAt) + " has no character in " + name_
                                     : "this system cannot convert the code page " + name_;
    return false;
  }
  std::string back;
  if (!Iconv(name_, "UTF-8", out, back, failedAt) || back != text) {
    problem = "it does not read back as the same bytes in " + name_;
    return false;
  }
  return true;
}

bool CodePage::FromUtf8(std::string_view utf8, std::string& out, std::string& problem) const {
  if (IsAscii(utf8)) {
    out.assign(utf8);
    return true;
  }
  if (utf8_) {
    if (!unicode::IsValidUtf8(utf8)) {
      problem = "it is not valid UTF-8";
      return false;
    }
    out.assign(utf8);
    return true;
  }
  size_t failedAt = 0;
  if (!Iconv(name_, "UTF-8", utf8, out, failedAt)) {
    problem = failedAt < utf8.size() ? CharacterAt(utf8, failedAt) + " has no form in " + name_
                                     : "this system cannot convert the code page " + name_;
    return false;
  }
  std::string back;
  if (!Iconv("UTF-8", name_, out, back, failedAt) || back != utf8) {
    problem = "it does not read back as the same characters from " + name_;
    return false;
  }
  return true;
}

std::string ShowBytes(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<uint8_t>(c);
    out += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : "\\x" + Hex(byte, 2);
  }
  return out;
}

std::string ShowCharacters(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    size_t at = i;
    int64_t cp = unicode::NextCodePoint(utf8, i);
    if (cp < 0) {
      out += "\\x" + Hex(static_cast<uint8_t>(utf8[at]), 2);
    } else if (cp >= 0x20 && cp < 0x7F) {
      out += static_cast<char>(cp);
    } else {
      out += cp > 0xFFFF ? "\\U" + Hex(static_cast<uint32_t>(cp), 8) : "\\u" + Hex(static_cast<uint32_t>(cp), 4);
    }
  }
  return out;
}

}  // namespace tav::platform
