// The code page on Windows: the system's ANSI code page, in which the "A"
// functions take and give text. Conversions go through UTF-16 with the
// system's own tables, refusing invalid bytes (MB_ERR_INVALID_CHARS) and
// never putting a look-alike in the place of a missing character
// (WC_NO_BEST_FIT_CHARS).
#include "platform/code_page.h"

#include "platform/unicode.h"
#include "platform/win32/win32_api.h"

namespace tav::platform {

namespace {

struct KnownName {
  const char* canonical;
  UINT number;
};

constexpr KnownName kKnownNames[] = {
    {"UTF8", CP_UTF8},     {"SHIFTJIS", 932},  {"SJIS", 932},   {"WINDOWS31J", 932}, {"BIG5", 950},
    {"GBK", 936},          {"GB2312", 936},    {"EUCKR", 949},  {"UHC", 949},        {"GB18030", 54936},
    {"EUCJP", 20932},      {"ASCII", 20127},   {"USASCII", 20127},
};

// The number of a code page by its name: a known charset name, "CP" or
// "WINDOWS" followed by the number, or "ISO-8859-N"; 0 when unknown.
UINT NumberOf(const std::string& name) {
  std::string canonical = CanonicalCharsetName(name);
  for (const KnownName& known : kKnownNames) {
    if (canonical == known.canonical) return known.number;
  }
  std::string_view digits = canonical;
  for (std::string_view prefix : {"CP", "WINDOWS", "IBM"}) {
    if (digits.substr(0, prefix.size()) == prefix) digits.remove_prefix(prefix.size());
  }
  if (canonical.rfind("ISO8859", 0) == 0) digits = std::string_view(canonical).substr(7);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return 0;
  }
  UINT number = static_cast<UINT>(std::stoul(std::string(digits)));
  return canonical.rfind("ISO8859", 0) == 0 ? 28590 + number : number;
}

// Text of a code page as UTF-16; false when a byte has no character.
bool Widen(UINT codePage, std::string_view text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  if (size <= 0) return false;
  out.resize(static_cast<size_t>(size));
  return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                               out.data(), size) == size;
}

// UTF-16 text in a code page; false when a character has no exact form in it.
bool Narrow(UINT codePage, std::wstring_view text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  // UTF-8 takes neither the flag nor the question whether a default was used.
  bool utf8 = codePage == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  int size = ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, used);
  if (size <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(size));
  return ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), size,
                               nullptr, used) == size &&
         !usedDefault;
}

bool Utf8ToWide(std::string_view utf8, std::wstring& out) { return Widen(CP_UTF8, utf8, out); }

}  // namespace

CodePage::CodePage(std::string name)
    : name_(std::move(name)), utf8_(CanonicalCharsetName(name_) == "UTF8"), lengths_(LengthsOf(name_, utf8_)) {}

CodePage CodePage::OfLocale() {
  UINT number = ::GetACP();
  return CodePage(number == CP_UTF8 ? std::string("UTF-8") : "CP" + std::to_string(number));
}

// The system's own answer for every pair that begins with a lead byte:
// a character of two bytes, or (an invalid pair) a lead byte standing alone.
std::shared_ptr<const CodePage::LengthTable> CodePage::LengthsOf(const std::string& name, bool utf8) {
  UINT number = NumberOf(name);
  CPINFO info{};
  if (utf8 || number == 0 || !::GetCPInfo(number, &info) || info.MaxCharSize < 2) return nullptr;
  auto lengths = std::make_shared<LengthTable>();
  for (int first = 0x80; first <= 0xFF; ++first) {
    if (!::IsDBCSLeadByteEx(number, static_cast<BYTE>(first))) continue;
    lengths->lead[static_cast<size_t>(first)] = true;
    for (int second = 0x01; second <= 0xFF; ++second) {
      char pair[2] = {static_cast<char>(first), static_cast<char>(second)};
      wchar_t wide[2];
      int n = ::MultiByteToWideChar(number, MB_ERR_INVALID_CHARS, pair, 2, wide, 2);
      lengths->byPair[static_cast<size_t>(first) << 8 | static_cast<size_t>(second)] = n == 1 ? 2 : 1;
    }
  }
  return lengths;
}

bool CodePage::ConvertToUtf8(std::string_view text, std::string& out, std::string& problem) const {
  UINT number = NumberOf(name_);
  std::wstring wide;
  if (number == 0 || !::IsValidCodePage(number)) {
    problem = "this system cannot convert the code page " + name_;
    return false;
  }
  if (!Widen(number, text, wide)) {
    // The first character that has none: converted one by one.
    for (size_t at = 0; at < text.size(); at += CharacterLength(text, at)) {
      if (!Widen(number, text.substr(at, CharacterLength(text, at)), wide)) {
        problem = ShowByteAt(text, at) + " has no character in " + name_;
        return false;
      }
    }
    problem = "it is no text of " + name_;
    return false;
  }
  std::string back;
  if (!Narrow(CP_UTF8, wide, out) || !Narrow(number, wide, back) || back != text) {
    problem = "it does not read back as the same bytes in " + name_;
    return false;
  }
  return true;
}

bool CodePage::ConvertFromUtf8(std::string_view utf8, std::string& out, std::string& problem) const {
  if (!unicode::IsValidUtf8(utf8)) {
    problem = "it is not valid UTF-8";
    return false;
  }
  UINT number = NumberOf(name_);
  if (number == 0 || !::IsValidCodePage(number)) {
    problem = "this system cannot convert the code page " + name_;
    return false;
  }
  std::wstring wide;
  Utf8ToWide(utf8, wide);
  if (!Narrow(number, wide, out)) {
    for (size_t i = 0; i < utf8.size();) {
      size_t at = i;
      unicode::NextCodePoint(utf8, i);
      std::wstring one;
      std::string narrow;
      if (!Utf8ToWide(utf8.substr(at, i - at), one) || !Narrow(number, one, narrow)) {
        problem = "the character " + ShowCharacters(utf8.substr(at, i - at)) + " has no form in " + name_;
        return false;
      }
    }
    problem = "it has no form in " + name_;
    return false;
  }
  std::wstring back;
  if (!Widen(number, out, back) || back != wide) {
    problem = "it does not read back as the same characters from " + name_;
    return false;
  }
  return true;
}

}  // namespace tav::platform
