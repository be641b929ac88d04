// The resources linked into tav32.exe: the dialog templates read back from
// the built program (caption, size, font and every control), the icon, the
// two pictures and the version information.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/win32/resources.h"

namespace {

// The program's image, loaded as data only: nothing of it runs.
class Win32Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = LoadLibraryExA(TAV32_BINARY, nullptr, LOAD_LIBRARY_AS_DATAFILE); }
  static void TearDownTestSuite() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << TAV32_BINARY << " as data"; }

  // The bytes of a resource, or nothing when it is missing.
  static std::optional<std::string> Resource(LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module_, name, type);
    if (found == nullptr) return std::nullopt;
    HGLOBAL loaded = LoadResource(module_, found);
    const void* bytes = loaded == nullptr ? nullptr : LockResource(loaded);
    if (bytes == nullptr) return std::nullopt;
    return std::string(static_cast<const char*>(bytes), SizeofResource(module_, found));
  }

  static HMODULE module_;
};

HMODULE Win32Resources::module_ = nullptr;

// Reads the little-endian fields of a resource, failing the test instead of
// reading past its end.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}

  uint16_t Word() { return static_cast<uint16_t>(Take(2)); }
  uint32_t Dword() { return static_cast<uint32_t>(Take(4)); }
  int16_t Short() { return static_cast<int16_t>(Word()); }
  uint8_t Byte() { return static_cast<uint8_t>(Take(1)); }
  void AlignTo(size_t n) { offset_ = (offset_ + n - 1) / n * n; }
  bool Overrun() const { return overrun_; }

  // A zero-ended UTF-16 string; the templates hold ASCII only, anything else
  // comes back as '?'.
  std::string String() {
    std::string text;
    for (uint16_t c = Word(); c != 0 && !overrun_; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }

  // A name-or-ordinal field: none, an ordinal, or a string.
  struct NameOrOrdinal {
    uint16_t ordinal = 0;
    std::string name;
  };
  NameOrOrdinal NameOrOrd() {
    NameOrOrdinal result;
    uint16_t first = Word();
    if (first == 0xFFFF) {
      result.ordinal = Word();
    } else if (first != 0) {
      offset_ -= 2;
      result.name = String();
    }
    return result;
  }

 private:
  uint64_t Take(size_t n) {
    if (offset_ + n > bytes_.size()) {
      overrun_ = true;
      offset_ = bytes_.size();
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= uint64_t(uint8_t(bytes_[offset_ + i])) << (8 * i);
    offset_ += n;
    return value;
  }

  const std::string& bytes_;
  size_t offset_ = 0;
  bool overrun_ = false;
};

struct Control {
  uint32_t style = 0;
  int id = 0;
  std::string className;  // "Button", "Static", ... for the predefined classes
  std::string text;
  uint16_t textOrdinal = 0;  // a resource number in place of the text (icons)
  RECT rect{};               // left, top, right, bottom in dialog units
};

struct Dialog {
  uint32_t style = 0;
  RECT rect{};
  std::string caption;
  int pointSize = 0;
  std::string font;
  std::vector<Control> controls;
  bool complete = false;

  const Control* Find(int id) const {
    for (const Control& c : controls)
      if (c.id == id) return &c;
    return nullptr;
  }
};

std::string PredefinedClass(uint16_t ordinal) {
  switch (ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    default: return "#" + std::to_string(ordinal);
  }
}

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

// Parses a dialog template in either layout: DLGTEMPLATE (DIALOG) or
// DLGTEMPLATEEX (DIALOGEX).
Dialog ParseDialog(const std::string& bytes) {
  Dialog dialog;
  Reader in(bytes);
  bool extended = bytes.size() >= 4 && uint8_t(bytes[0]) == 1 && uint8_t(bytes[1]) == 0 && uint8_t(bytes[2]) == 0xFF &&
                  uint8_t(bytes[3]) == 0xFF;
  uint16_t count;
  if (extended) {
    in.Dword();  // version and signature
    in.Dword();  // help id
    in.Dword();  // extended style
    dialog.style = in.Dword();
  } else {
    dialog.style = in.Dword();
    in.Dword();  // extended style
  }
  count = in.Word();
  int16_t x = in.Short(), y = in.Short(), w = in.Short(), h = in.Short();
  dialog.rect = Rect(x, y, w, h);
  in.NameOrOrd();  // menu
  in.NameOrOrd();  // class
  dialog.caption = in.String();
  if (dialog.style & DS_SETFONT) {
    dialog.pointSize = in.Word();
    if (extended) {
      in.Word();  // weight
      in.Byte();  // italic
      in.Byte();  // character set
    }
    dialog.font = in.String();
  }
  for (uint16_t i = 0; i < count && !in.Overrun(); ++i) {
    Control control;
    in.AlignTo(4);
    if (extended) {
      in.Dword();  // help id
      in.Dword();  // extended style
      control.style = in.Dword();
    } else {
      control.style = in.Dword();
      in.Dword();  // extended style
    }
    int16_t cx = in.Short(), cy = in.Short(), cw = in.Short(), ch = in.Short();
    control.rect = Rect(cx, cy, cw, ch);
    control.id = extended ? static_cast<int>(in.Dword()) : in.Word();
    Reader::NameOrOrdinal cls = in.NameOrOrd();
    control.className = cls.ordinal != 0 ? PredefinedClass(cls.ordinal) : cls.name;
    Reader::NameOrOrdinal text = in.NameOrOrd();
    control.text = text.name;
    control.textOrdinal = text.ordinal;
    uint16_t extra = in.Word();
    for (uint16_t b = 0; b < extra; ++b) in.Byte();
    dialog.controls.push_back(control);
  }
  dialog.complete = !in.Overrun() && dialog.controls.size() == count;
  return dialog;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

// What a control of the dialogs is, told by its class and style.
enum class Kind { kLabel, kNoWrap, kCentred, kButton, kDefaultButton, kFrame, kIcon };

std::optional<Kind> KindOf(const Control& c) {
  if (c.className == "Button") {
    switch (c.style & BS_TYPEMASK) {
      case BS_PUSHBUTTON: return Kind::kButton;
      case BS_DEFPUSHBUTTON: return Kind::kDefaultButton;
      default: return std::nullopt;
    }
  }
  if (c.className == "Static" || c.className == "STATIC" || c.className == "static") {
    switch (c.style & SS_TYPEMASK) {
      case SS_LEFT: return Kind::kLabel;
      case SS_LEFTNOWORDWRAP: return Kind::kNoWrap;
      case SS_CENTER: return Kind::kCentred;
      case SS_ICON: return Kind::kIcon;
      case SS_BLACKFRAME:
      case SS_GRAYFRAME:
      case SS_WHITEFRAME:
      case SS_ETCHEDFRAME: return Kind::kFrame;
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

struct Expected {
  int id;
  Kind kind;
  const char* text;
  RECT rect;
};

// Checks each expected control (kind, text, position) and that the template
// holds no other; frames must come after everything else, so that they lie
// below the controls inside them, and must clip those controls out.
void ExpectControls(const Dialog& dialog, const std::vector<Expected>& expected) {
  ASSERT_TRUE(dialog.complete);
  EXPECT_EQ(dialog.controls.size(), expected.size());
  for (const Expected& e : expected) {
    SCOPED_TRACE("control " + std::to_string(e.id));
    const Control* c = dialog.Find(e.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(KindOf(*c), e.kind) << c->className << " style " << std::hex << c->style;
    EXPECT_EQ(c->text, e.text);
    EXPECT_EQ(Describe(c->rect), Describe(e.rect));
    EXPECT_TRUE(c->style & WS_CHILD);
    EXPECT_TRUE(c->style & WS_VISIBLE);
    if (e.kind == Kind::kFrame) {
      EXPECT_TRUE(c->style & WS_CLIPSIBLINGS);
    }
  }
  bool seenFrame = false;
  for (const Control& c : dialog.controls) {
    bool frame = KindOf(c) == Kind::kFrame;
    EXPECT_TRUE(frame || !seenFrame) << "control " << c.id << " follows a frame";
    seenFrame = seenFrame || frame;
  }
}

// Every control that is no frame lies inside one of the frames.
void ExpectFramed(const Dialog& dialog) {
  for (const Control& c : dialog.controls) {
    if (KindOf(c) == Kind::kFrame) continue;
    bool framed = false;
    for (const Control& f : dialog.controls)
      framed = framed || (KindOf(f) == Kind::kFrame && Inside(c.rect, f.rect));
    EXPECT_TRUE(framed) << "control " << c.id << " at " << Describe(c.rect) << " lies in no frame";
  }
}

TEST_F(Win32Resources, StatusDialogIsAHiddenModelessDialogWithItsControls) {
  std::optional<std::string> bytes = Resource(MAKEINTRESOURCEA(IDD_STATUS), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  ASSERT_TRUE(bytes);
  Dialog dialog = ParseDialog(*bytes);
  EXPECT_EQ(dialog.caption, "TAV32");
  EXPECT_EQ(Describe(dialog.rect), "0,0 220x205");
  // The system's own dialog face, whatever font it stands for there.
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.font, "MS Shell Dlg");
  for (DWORD bit : {DWORD(WS_POPUP), DWORD(WS_CAPTION), DWORD(WS_SYSMENU), DWORD(WS_MINIMIZEBOX), DWORD(DS_MODALFRAME)})
    EXPECT_TRUE(dialog.style & bit) << std::hex << bit;
  EXPECT_FALSE(dialog.style & WS_VISIBLE) << "the program shows the dialog itself";

  ExpectControls(dialog, {
                             {IDC_CURRENT_STATUS_LABEL, Kind::kLabel, "Current Status:", Rect(10, 15, 55, 10)},
                             {IDC_STATUS_LINE, Kind::kLabel, "", Rect(65, 15, 140, 8)},
                             {IDC_SYNC_LABEL, Kind::kLabel, "SynchronizeDir:", Rect(10, 50, 55, 10)},
                             {IDC_LEFT_LABEL, Kind::kLabel, "Left directory:", Rect(10, 70, 50, 8)},
                             {IDC_LEFT_DIRECTORY, Kind::kNoWrap, "", Rect(10, 80, 195, 8)},
                             {IDC_RIGHT_LABEL, Kind::kLabel, "Right directory:", Rect(10, 95, 55, 8)},
                             {IDC_RIGHT_DIRECTORY, Kind::kNoWrap, "", Rect(10, 105, 195, 8)},
                             {IDC_TIME_LABEL, Kind::kLabel, "Time elapsed:", Rect(10, 135, 50, 8)},
                             {IDC_ELAPSED_TIME, Kind::kLabel, "", Rect(75, 135, 30, 8)},
                             {IDC_LINE_LABEL, Kind::kLabel, "Line:", Rect(130, 135, 29, 8)},
                             {IDC_LINE_NUMBER, Kind::kLabel, "", Rect(170, 135, 29, 8)},
                             {IDC_PROGRAM_FILE_LABEL, Kind::kLabel, "Program File:", Rect(10, 145, 45, 8)},
                             {IDC_PROGRAM_FILE, Kind::kLabel, "", Rect(75, 145, 125, 8)},
                             {IDC_INFO, Kind::kButton, "&Info...", Rect(10, 175, 40, 15)},
                             {IDC_HELP_BUTTON, Kind::kButton, "&Help", Rect(90, 175, 40, 15)},
                             {IDC_ABORT, Kind::kDefaultButton, "&Abort", Rect(170, 175, 40, 15)},
                             {IDC_STATUS_FRAME_FIRST, Kind::kFrame, "", Rect(5, 5, 210, 25)},
                             {IDC_STATUS_FRAME_FIRST + 1, Kind::kFrame, "", Rect(5, 40, 210, 80)},
                             {IDC_STATUS_FRAME_FIRST + 2, Kind::kFrame, "", Rect(5, 130, 210, 35)},
                             {IDC_STATUS_FRAME_LAST, Kind::kFrame, "", Rect(5, 170, 210, 25)},
                         });
  ExpectFramed(dialog);
  // Only Abort starts disabled: the run enables it unless aborting is off.
  for (const Control& c : dialog.controls)
    EXPECT_EQ((c.style & WS_DISABLED) != 0, c.id == IDC_ABORT) << "control " << c.id;
}

// The program draws for the system's scaling itself, so the system must not
// stretch its windows.
TEST_F(Win32Resources, ManifestDeclaresAwarenessOfTheScaling) {
  std::optional<std::string> manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
  ASSERT_TRUE(manifest);
  EXPECT_NE(manifest->find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
            std::string::npos);
}

TEST_F(Win32Resources, AboutBoxShowsNameVersionDateAndIconInsideItsFrames) {
  std::optional<std::string> bytes = Resource(MAKEINTRESOURCEA(IDD_ABOUT), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  ASSERT_TRUE(bytes);
  Dialog dialog = ParseDialog(*bytes);
  EXPECT_EQ(dialog.caption, "About TAV32");
  EXPECT_EQ(Describe(dialog.rect), "0,0 195x151");
  // The system's own dialog face, whatever font it stands for there.
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.font, "MS Shell Dlg");
  for (DWORD bit : {DWORD(WS_POPUP), DWORD(WS_CAPTION), DWORD(WS_SYSMENU), DWORD(DS_MODALFRAME)})
    EXPECT_TRUE(dialog.style & bit) << std::hex << bit;
  EXPECT_FALSE(dialog.style & WS_MINIMIZEBOX);
  ASSERT_TRUE(dialog.complete);
  EXPECT_EQ(dialog.controls.size(), 6u);

  const Control* text = dialog.Find(IDC_ABOUT_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(KindOf(*text), Kind::kCentred);
  for (const char* part : {"TAV32", "Version 1.21", "26-APR-98"})
    EXPECT_NE(text->text.find(part), std::string::npos) << part << " missing from " << text->text;
  EXPECT_EQ(text->text.find('\\'), std::string::npos) << "line breaks must be real ones";

  const Control* dismiss = dialog.Find(IDC_DISMISS);
  ASSERT_NE(dismiss, nullptr);
  EXPECT_EQ(KindOf(*dismiss), Kind::kDefaultButton);
  EXPECT_EQ(dismiss->text, "&Dismiss");
  EXPECT_FALSE(dismiss->style & WS_DISABLED);

  const Control* icon = dialog.Find(IDC_ABOUT_ICON);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(KindOf(*icon), Kind::kIcon);
  EXPECT_EQ(icon->textOrdinal, IDI_TAV32);

  const std::pair<int, RECT> frames[] = {{IDC_ABOUT_FRAME_FIRST, Rect(5, 5, 185, 105)},
                                         {IDC_ABOUT_FRAME_FIRST + 1, Rect(5, 114, 30, 30)},
                                         {IDC_ABOUT_FRAME_LAST, Rect(145, 119, 45, 20)}};
  for (const auto& [id, rect] : frames) {
    const Control* frame = dialog.Find(id);
    ASSERT_NE(frame, nullptr) << id;
    EXPECT_EQ(KindOf(*frame), Kind::kFrame) << id;
    EXPECT_EQ(Describe(frame->rect), Describe(rect)) << id;
    EXPECT_TRUE(frame->style & WS_CLIPSIBLINGS) << id;
  }
  // Each piece sits in its own frame. The icon control's size comes from the
  // icon, so only its top left corner is placed.
  EXPECT_TRUE(Inside(text->rect, frames[0].second)) << Describe(text->rect);
  EXPECT_TRUE(Inside(dismiss->rect, frames[2].second)) << Describe(dismiss->rect);
  EXPECT_TRUE(Inside(Rect(icon->rect.left, icon->rect.top, 1, 1), frames[1].second)) << Describe(icon->rect);
  EXPECT_EQ(dialog.controls.back().id, IDC_ABOUT_FRAME_LAST);
}

TEST_F(Win32Resources, IconGroupHoldsA32By32IconWithItsMask) {
  std::optional<std::string> group = Resource(MAKEINTRESOURCEA(IDI_TAV32), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
  ASSERT_TRUE(group);
  Reader in(*group);
  EXPECT_EQ(in.Word(), 0);  // reserved
  EXPECT_EQ(in.Word(), 1);  // icons
  uint16_t count = in.Word();
  ASSERT_GE(count, 1);
  bool found32 = false;
  for (uint16_t i = 0; i < count; ++i) {
    uint8_t width = in.Byte(), height = in.Byte();
    in.Byte();  // colours
    in.Byte();  // reserved
    in.Word();  // planes
    uint16_t bits = in.Word();
    uint32_t size = in.Dword();
    uint16_t number = in.Word();
    ASSERT_FALSE(in.Overrun());
    std::optional<std::string> image = Resource(MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(3) /* RT_ICON */);
    ASSERT_TRUE(image) << "icon image " << number;
    EXPECT_EQ(image->size(), size);
    if (width != 32 || height != 32) continue;
    found32 = true;
    BITMAPINFOHEADER header;
    ASSERT_GE(image->size(), sizeof header);
    std::memcpy(&header, image->data(), sizeof header);
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64) << "colour image and AND mask";
    EXPECT_EQ(header.biBitCount, bits);
    size_t colours = header.biBitCount <= 8 ? (header.biClrUsed ? header.biClrUsed : 1u << header.biBitCount) : 0;
    size_t xorBytes = ((32 * header.biBitCount + 31) / 32) * 4 * 32;
    size_t andBytes = 4 * 32;
    EXPECT_EQ(image->size(), header.biSize + 4 * colours + xorBytes + andBytes);
  }
  EXPECT_TRUE(found32);
}

// A picture resource is a whole BMP file: the picture window finds the bits
// through the file header's offset field and draws them with a palette built
// from the colour table.
void ExpectBitmapFile(const std::string& bytes, int bits, LONG width, LONG height) {
  ASSERT_GE(bytes.size(), 14u + sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  uint32_t fileSize, offset;
  std::memcpy(&fileSize, bytes.data() + 2, 4);
  std::memcpy(&offset, bytes.data() + 10, 4);
  EXPECT_EQ(fileSize, bytes.size());
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes.data() + 14, sizeof header);
  EXPECT_EQ(header.biSize, sizeof header);
  EXPECT_EQ(header.biBitCount, bits);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(header.biWidth, width);
  EXPECT_EQ(header.biHeight, height) << "stored bottom up";
  EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == (1u << bits));
  // The colour table is complete, and the bits follow it and fit.
  EXPECT_EQ(offset, 14u + sizeof header + 4u * (1u << bits));
  size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  EXPECT_LE(size_t(offset) + stride * size_t(height), bytes.size());
}

TEST_F(Win32Resources, PicturesAreWholeBitmapFilesOfEightAndFourBits) {
  std::optional<std::string> intro = Resource("INTROPIC", "DIB");
  ASSERT_TRUE(intro);
  ExpectBitmapFile(*intro, 8, 360, 240);
  std::optional<std::string> hidden = Resource("DEDPIC", "DIB");
  ASSERT_TRUE(hidden);
  ExpectBitmapFile(*hidden, 4, 300, 200);
}

TEST_F(Win32Resources, VersionInformationSaysOnePointTwentyOne) {
  std::optional<std::string> version = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */);
  ASSERT_TRUE(version);
  const uint32_t signature = 0xFEEF04BD;
  size_t at = version->find(std::string(reinterpret_cast<const char*>(&signature), 4));
  ASSERT_NE(at, std::string::npos);
  VS_FIXEDFILEINFO info;
  ASSERT_GE(version->size(), at + sizeof info);
  std::memcpy(&info, version->data() + at, sizeof info);
  EXPECT_EQ(info.dwFileVersionMS, (1u << 16) | 21u);
  EXPECT_EQ(info.dwProductVersionMS, (1u << 16) | 21u);
}

TEST(Win32HelpDocument, LiesBesideTheProgram) {
  std::filesystem::path program(TAV32_BINARY);
  EXPECT_TRUE(std::filesystem::is_regular_file(program.parent_path() / "TAV32.HTM"));
}

}  // namespace
