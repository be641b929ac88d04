// The pieces of the picture windows and frames that need no window: frame
// colours, reading BMP images (and refusing those that would make drawing
// read past their end), centring, and the hidden word.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/picture.h"

namespace tav {
namespace {

TEST(FrameColours, AddAndSubtractThirtySevenWithinTheChannelRange) {
  FrameColours middle = FrameColoursFor(192, 100, 37);
  EXPECT_EQ(middle.light, (Colour{229, 137, 74}));
  EXPECT_EQ(middle.dark, (Colour{155, 63, 0}));

  FrameColours edges = FrameColoursFor(255, 230, 10);
  EXPECT_EQ(edges.light, (Colour{255, 255, 47}));  // capped, not wrapped
  EXPECT_EQ(edges.dark, (Colour{218, 193, 0}));    // floored, not wrapped
}

// A BMP file image built byte by byte.
class BmpBuilder {
 public:
  BmpBuilder(int width, int height, int bits, std::uint32_t coloursUsed = 0)
      : width_(width), height_(height), bits_(bits), coloursUsed_(coloursUsed) {}

  std::vector<unsigned char> Build() const {
    std::uint32_t entries = coloursUsed_ != 0 ? coloursUsed_ : (bits_ <= 8 ? 1u << bits_ : 0u);
    std::uint32_t offset = 14 + 40 + entries * 4;
    std::uint32_t rowBytes = (static_cast<std::uint32_t>(width_) * bits_ + 31) / 32 * 4;
    std::uint32_t rows = static_cast<std::uint32_t>(height_ < 0 ? -height_ : height_);
    std::vector<unsigned char> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + rowBytes * rows);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width_));
    Put32(out, static_cast<std::uint32_t>(height_));
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(bits_));
    Put32(out, 0);  // uncompressed
    Put32(out, rowBytes * rows);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, coloursUsed_);
    Put32(out, 0);
    for (std::uint32_t i = 0; i < entries; ++i) {  // blue, green, red, reserved
      out.push_back(static_cast<unsigned char>(i));
      out.push_back(static_cast<unsigned char>(i * 2));
      out.push_back(static_cast<unsigned char>(i * 3));
      out.push_back(0);
    }
    out.resize(out.size() + rowBytes * rows, 0x5a);
    return out;
  }

 private:
  static void Put16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
  }
  static void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
  }

  int width_, height_, bits_;
  std::uint32_t coloursUsed_;
};

void Set32(std::vector<unsigned char>& bmp, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

TEST(ReadDib, FourBitImageGetsSixteenColoursFromItsTable) {
  std::vector<unsigned char> bmp = BmpBuilder(5, 3, 4).Build();
  std::optional<DibImage> image = ReadDib(bmp.data(), bmp.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 5);
  EXPECT_EQ(image->Rows(), 3);
  EXPECT_EQ(image->bitCount, 4);
  EXPECT_EQ(image->info, bmp.data() + 14);
  EXPECT_EQ(image->infoSize, 40u + 16 * 4);
  EXPECT_EQ(image->bits, bmp.data() + 14 + 40 + 16 * 4);
  EXPECT_EQ(image->bitsSize, 3u * 4);  // 5 pixels of 4 bits round up to 4 bytes
  ASSERT_EQ(image->palette.size(), 16u);
  EXPECT_EQ(image->palette[0], (Colour{0, 0, 0}));
  EXPECT_EQ(image->palette[15], (Colour{45, 30, 15}));  // red, green, blue from b,g,r,0
}

TEST(ReadDib, EightBitImageWithAShortTableFillsTheRestWithBlack) {
  std::vector<unsigned char> bmp = BmpBuilder(3, -2, 8, 20).Build();
  std::optional<DibImage> image = ReadDib(bmp.data(), bmp.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->height, -2);  // stored top to bottom
  EXPECT_EQ(image->Rows(), 2);
  EXPECT_EQ(image->infoSize, 40u + 20 * 4);
  ASSERT_EQ(image->palette.size(), 256u);
  EXPECT_EQ(image->palette[19], (Colour{57, 38, 19}));
  EXPECT_EQ(image->palette[20], (Colour{0, 0, 0}));
  EXPECT_EQ(image->palette[255], (Colour{0, 0, 0}));
}

TEST(ReadDib, TwentyFourBitImageHasNoPalette) {
  std::vector<unsigned char> bmp = BmpBuilder(3, 2, 24).Build();
  std::optional<DibImage> image = ReadDib(bmp.data(), bmp.size());
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->palette.empty());
  EXPECT_EQ(image->infoSize, 40u);
  EXPECT_EQ(image->bitsSize, 2u * 12);  // 9 bytes a row padded to 12
}

TEST(ReadDib, RefusesImagesThatEndTooSoon) {
  const std::vector<unsigned char> good = BmpBuilder(5, 3, 8).Build();
  // Cut inside the file header, the information header, the colour table and
  // the last row of the bits.
  for (std::size_t size : {std::size_t{0}, std::size_t{10}, std::size_t{14 + 39}, std::size_t{14 + 40 + 100},
                           good.size() - 1}) {
    EXPECT_FALSE(ReadDib(good.data(), size)) << "size " << size;
  }
  EXPECT_TRUE(ReadDib(good.data(), good.size()));
}

TEST(ReadDib, RefusesHeadersThatPointOutsideTheImage) {
  const std::vector<unsigned char> good = BmpBuilder(4, 4, 4).Build();
  auto refusedWith = [&good](std::size_t at, std::uint32_t value) {
    std::vector<unsigned char> bmp = good;
    Set32(bmp, at, value);
    return !ReadDib(bmp.data(), bmp.size());
  };
  EXPECT_TRUE(refusedWith(10, static_cast<std::uint32_t>(good.size())));  // bits start at the end
  EXPECT_TRUE(refusedWith(10, 0xfffffff0u));                              // bits far beyond
  EXPECT_TRUE(refusedWith(10, 14 + 40));                                  // bits over the colour table
  EXPECT_TRUE(refusedWith(14, 0x7fffffffu));                              // header larger than the image
  EXPECT_TRUE(refusedWith(14 + 4, 0x7fffffffu));                          // width that needs huge rows
  EXPECT_TRUE(refusedWith(14 + 8, 0x80000000u));                          // height that cannot be negated
  EXPECT_TRUE(refusedWith(14 + 8, 5));                                    // one row more than stored
  EXPECT_TRUE(refusedWith(14 + 32, 17));                                  // more colours than 4 bits hold
}

TEST(ReadDib, RefusesWhatItCannotDrawSafely) {
  const std::vector<unsigned char> good = BmpBuilder(4, 4, 24).Build();
  std::vector<unsigned char> bmp = good;
  bmp[0] = 'X';
  EXPECT_FALSE(ReadDib(bmp.data(), bmp.size()));  // not a BMP image
  bmp = good;
  Set32(bmp, 14 + 16, 1);  // run-length compressed: the row size says nothing
  EXPECT_FALSE(ReadDib(bmp.data(), bmp.size()));
  bmp = good;
  bmp[14 + 14] = 12;  // a depth that does not exist
  EXPECT_FALSE(ReadDib(bmp.data(), bmp.size()));
  bmp = good;
  Set32(bmp, 14 + 4, 0);  // no width
  EXPECT_FALSE(ReadDib(bmp.data(), bmp.size()));
  bmp = good;
  Set32(bmp, 14 + 32, 0x40000000u);  // a colour table of 4 GiB behind a 24-bit header
  EXPECT_FALSE(ReadDib(bmp.data(), bmp.size()));
}

TEST(CentreOnScreen, DividesTheRoomLeftInHalf) {
  ScreenPosition p = CentreOnScreen(1024, 768, 301, 200);
  EXPECT_EQ(p.left, 361);  // 723 / 2, rounded down
  EXPECT_EQ(p.top, 284);
}

TEST(CentreOnScreen, ImageLargerThanTheScreenStartsLeftOfAndAboveIt) {
  ScreenPosition p = CentreOnScreen(640, 480, 1000, 600);
  EXPECT_EQ(p.left, -180);
  EXPECT_EQ(p.top, -60);
}

int Completions(KeySequence& keys, std::string_view typed) {
  int completions = 0;
  for (char c : typed) completions += keys.Feed(static_cast<unsigned char>(c)) ? 1 : 0;
  return completions;
}

TEST(KeySequence, TheWholeWordCompletesAndStartsOver) {
  KeySequence keys;
  EXPECT_EQ(Completions(keys, "MARBLEWOO"), 0);
  EXPECT_EQ(keys.Matched(), 9u);
  EXPECT_TRUE(keys.Feed('D'));
  EXPECT_EQ(keys.Matched(), 0u);
  // Typed twice in a row: two pictures.
  EXPECT_EQ(Completions(keys, "MARBLEWOODMARBLEWOOD"), 2);
}

TEST(KeySequence, OneWrongKeyInTheMiddleShowsNothingUntilTypedAgain) {
  KeySequence keys;
  EXPECT_EQ(Completions(keys, "MARBXEWOOD"), 0);
  EXPECT_EQ(Completions(keys, "MARBLEWOOD"), 1);
}

TEST(KeySequence, TheMismatchingKeyIsNotTakenAsTheFirstLetter) {
  KeySequence keys;
  // The second M breaks the word and does not start it again.
  EXPECT_EQ(Completions(keys, "MMARBLEWOOD"), 0);
  EXPECT_EQ(keys.Matched(), 0u);
  // Neither does an M breaking the word later on.
  EXPECT_EQ(Completions(keys, "MARBLMARBLEWOOD"), 0);
}

TEST(KeySequence, LowerCaseCodesAndResetDoNotCount) {
  KeySequence keys;
  EXPECT_EQ(Completions(keys, "marblewood"), 0);  // key codes of letters are upper case
  Completions(keys, "MARBLE");
  keys.Reset();
  EXPECT_EQ(Completions(keys, "WOOD"), 0);
}

}  // namespace
}  // namespace tav
