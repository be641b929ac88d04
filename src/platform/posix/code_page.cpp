#include "platform/code_page.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdio>

#include "platform/unicode.h"

namespace tav::platform {

namespace {

// The names glibc and others give the charset of the C locale.
bool NamesAscii(std::string_view name) {
  std::string canonical = CanonicalCharsetName(name);
  return canonical == "ANSIX3.41968" || canonical == "ASCII" || canonical == "USASCII" || canonical == "646";
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

}  // namespace

CodePage::CodePage(std::string name)
    : name_(std::move(name)), utf8_(CanonicalCharsetName(name_) == "UTF8"), lengths_(LengthsOf(name_, utf8_)) {}

namespace {

enum class Probe { kCharacter, kCutShort, kNoCharacter };

// What iconv makes of the bytes as a whole: one or more characters, the
// beginning of a longer one, or bytes that begin no character.
Probe ProbeBytes(iconv_t cd, const uint8_t* bytes, size_t size) {
  ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
  size_t inLeft = size;
  char buffer[64];
  char* out = buffer;
  size_t outLeft = sizeof buffer;
  if (::iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) return Probe::kCharacter;
  return errno == EINVAL ? Probe::kCutShort : Probe::kNoCharacter;
}

// The length of the character that begins with first and second: 2 when the
// pair is a character, 3 or 4 when it begins a longer one (GB18030, EUC-JP's
// 0x8F, EUC-TW's 0x8E), 1 when the pair is no character's beginning, so that
// the lead byte stands alone and the second byte is read for itself.
uint8_t PairLength(iconv_t cd, uint8_t first, uint8_t second) {
  uint8_t bytes[4] = {first, second, 0, 0};
  Probe pair = ProbeBytes(cd, bytes, 2);
  if (pair != Probe::kCutShort) return pair == Probe::kCharacter ? 2 : 1;
  for (int third = 0x80; third <= 0xFF; ++third) {
    bytes[2] = static_cast<uint8_t>(third);
    Probe triple = ProbeBytes(cd, bytes, 3);
    if (triple != Probe::kNoCharacter) return triple == Probe::kCharacter ? 3 : 4;
  }
  return 1;
}

}  // namespace

// Found by asking the converter what each byte, and each pair beginning
// with a byte that is no character alone, is: a few thousand conversions of
// two bytes, once per code page.
std::shared_ptr<const CodePage::LengthTable> CodePage::LengthsOf(const std::string& name, bool utf8) {
  if (utf8) return nullptr;
  iconv_t cd = ::iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  std::vector<uint8_t> leads;
  for (int first = 0x80; first <= 0xFF; ++first) {
    auto byte = static_cast<uint8_t>(first);
    if (ProbeBytes(cd, &byte, 1) == Probe::kCutShort) leads.push_back(byte);
  }
  std::shared_ptr<LengthTable> lengths;
  if (!leads.empty()) {
    lengths = std::make_shared<LengthTable>();
    for (uint8_t first : leads) {
      lengths->lead[first] = true;
      for (int second = 0; second <= 0xFF; ++second) {
        lengths->byPair[static_cast<size_t>(first) << 8 | static_cast<size_t>(second)] =
            PairLength(cd, first, static_cast<uint8_t>(second));
      }
    }
  }
  ::iconv_close(cd);
  return lengths;
}

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

bool CodePage::ConvertToUtf8(std::string_view text, std::string& out, std::string& problem) const {
  size_t failedAt = 0;
  if (!Iconv("UTF-8", name_, text, out, failedAt)) {
    problem = failedAt < text.size() ? ShowByteAt(text, failedAt) + " has no character in " + name_
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

bool CodePage::ConvertFromUtf8(std::string_view utf8, std::string& out, std::string& problem) const {
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

}  // namespace tav::platform
