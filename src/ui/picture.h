// What the picture windows and the etched frames compute without a window:
// the two frame colours, the reading of a BMP file image kept as a resource,
// where a picture goes on the screen, and the hidden word typed into the
// About box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tav {

struct Colour {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Colour&) const = default;
};

// The etched frames are drawn light on the top and left, dark on the bottom
// and right.
struct FrameColours {
  Colour light;
  Colour dark;
};

// Light adds 37 to every channel, capped at 255; dark subtracts 37, floored
// at 0.
FrameColours FrameColoursFor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A BMP file image as found in memory: a 14-byte file header, the
// information header with its colour table, and the pixel bits. The pointers
// point into the image that was read; nothing is copied but the palette.
struct DibImage {
  int width = 0;
  int height = 0;  // as stored: negative for rows stored top to bottom
  int bitCount = 0;
  const unsigned char* info = nullptr;  // the information header
  std::size_t infoSize = 0;             // header and colour table
  const unsigned char* bits = nullptr;
  std::size_t bitsSize = 0;  // bytes per row times rows
  // 16 or 256 colours for a 4- or 8-bit image (entries the colour table
  // leaves out are black); empty for other depths.
  std::vector<Colour> palette;

  int Rows() const { return height < 0 ? -height : height; }
};

// Reads the image of size bytes at data. Refuses (nullopt) anything that is
// not an uncompressed 1, 4, 8, 16, 24 or 32-bit image, and any image whose
// headers, colour table or pixel bits would lie beyond size, so that drawing
// it never reads outside the resource.
std::optional<DibImage> ReadDib(const unsigned char* data, std::size_t size);

struct ScreenPosition {
  int left = 0;
  int top = 0;
};

// Centres an image on the screen with integer division; an image larger
// than the screen gets a negative coordinate and is cut off on both sides.
ScreenPosition CentreOnScreen(int screenWidth, int screenHeight, int imageWidth, int imageHeight);

// Watches key-down virtual-key codes for the hidden word. A key that does
// not continue the word starts it over and is not taken as its first
// letter.
class KeySequence {
 public:
  static constexpr std::string_view kWord = "MARBLEWOOD";

  // True when the key completes the word; the count then starts over.
  bool Feed(unsigned virtualKey);
  void Reset() { matched_ = 0; }
  std::size_t Matched() const { return matched_; }

 private:
  std::size_t matched_ = 0;
};

}  // namespace tav
