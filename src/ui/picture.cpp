#include "ui/picture.h"

#include <algorithm>
#include <climits>

namespace tav {
namespace {

constexpr int kFrameStep = 37;

std::uint8_t Lighter(std::uint8_t channel) { return static_cast<std::uint8_t>(std::min(channel + kFrameStep, 255)); }
std::uint8_t Darker(std::uint8_t channel) { return static_cast<std::uint8_t>(std::max(channel - kFrameStep, 0)); }

// Layout of the file header and of the information header behind it; every
// field is little-endian.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kPixelOffsetField = 10;
constexpr std::size_t kMinInfoSize = 40;  // smaller (older) headers have 3-byte colour entries
constexpr std::size_t kColourEntrySize = 4;
constexpr std::uint32_t kUncompressed = 0;

std::uint32_t U32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::int64_t I32(const unsigned char* p) { return static_cast<std::int32_t>(U32(p)); }

struct InfoFields {
  std::uint32_t size;
  std::int64_t width, height;
  std::uint16_t planes, bitCount;
  std::uint32_t compression, coloursUsed;
};

InfoFields ReadInfoFields(const unsigned char* info) {
  return {U32(info), I32(info + 4), I32(info + 8), U16(info + 12), U16(info + 14), U32(info + 16), U32(info + 32)};
}

bool IsDrawableDepth(std::uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool HasSoundShape(const InfoFields& f) {
  return f.width > 0 && f.height != 0 && f.height != INT32_MIN && f.planes == 1 && f.compression == kUncompressed &&
         IsDrawableDepth(f.bitCount);
}

// Colour-table entries that follow the header: up to 2^bits for images of
// at most 8 bits (all of them when the header names none), otherwise only
// those the header names. Nullopt when the header names more than fit.
std::optional<std::uint64_t> ColourTableEntries(const InfoFields& f) {
  if (f.bitCount > 8) return f.coloursUsed;
  std::uint64_t most = std::uint64_t{1} << f.bitCount;
  if (f.coloursUsed > most) return std::nullopt;
  return f.coloursUsed != 0 ? f.coloursUsed : most;
}

std::uint64_t RowBytes(const InfoFields& f) {
  return (static_cast<std::uint64_t>(f.width) * f.bitCount + 31) / 32 * 4;
}

std::vector<Colour> PaletteOf(const InfoFields& f, const unsigned char* table, std::uint64_t entries) {
  if (f.bitCount != 4 && f.bitCount != 8) return {};
  std::vector<Colour> palette(std::size_t{1} << f.bitCount);
  for (std::uint64_t i = 0; i < entries; ++i) {
    const unsigned char* entry = table + i * kColourEntrySize;
    palette[i] = Colour{entry[2], entry[1], entry[0]};
  }
  return palette;
}

}  // namespace

FrameColours FrameColoursFor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return {{Lighter(red), Lighter(green), Lighter(blue)}, {Darker(red), Darker(green), Darker(blue)}};
}

std::optional<DibImage> ReadDib(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size < kFileHeaderSize + kMinInfoSize) return std::nullopt;
  if (data[0] != 'B' || data[1] != 'M') return std::nullopt;
  const unsigned char* info = data + kFileHeaderSize;
  InfoFields f = ReadInfoFields(info);
  if (f.size < kMinInfoSize || f.size > size - kFileHeaderSize || !HasSoundShape(f)) return std::nullopt;

  std::optional<std::uint64_t> entries = ColourTableEntries(f);
  if (!entries) return std::nullopt;
  std::uint64_t room = size - kFileHeaderSize - f.size;
  if (*entries > room / kColourEntrySize) return std::nullopt;
  std::uint64_t infoSize = f.size + *entries * kColourEntrySize;

  // The bits may not overlap the headers, and every row must lie inside.
  std::uint64_t offset = U32(data + kPixelOffsetField);
  if (offset < kFileHeaderSize + infoSize || offset > size) return std::nullopt;
  std::uint64_t rowBytes = RowBytes(f);
  std::uint64_t rows = static_cast<std::uint64_t>(f.height < 0 ? -f.height : f.height);
  if (rows > (size - offset) / rowBytes) return std::nullopt;

  DibImage image;
  image.width = static_cast<int>(f.width);
  image.height = static_cast<int>(f.height);
  image.bitCount = f.bitCount;
  image.info = info;
  image.infoSize = static_cast<std::size_t>(infoSize);
  image.bits = data + offset;
  image.bitsSize = static_cast<std::size_t>(rowBytes * rows);
  image.palette = PaletteOf(f, info + f.size, *entries);
  return image;
}

ScreenPosition CentreOnScreen(int screenWidth, int screenHeight, int imageWidth, int imageHeight) {
  return {(screenWidth - imageWidth) / 2, (screenHeight - imageHeight) / 2};
}

bool KeySequence::Feed(unsigned virtualKey) {
  if (virtualKey != static_cast<unsigned char>(kWord[matched_])) {
    matched_ = 0;
    return false;
  }
  if (++matched_ < kWord.size()) return false;
  matched_ = 0;
  return true;
}

}  // namespace tav
