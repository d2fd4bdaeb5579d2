#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "shellext/resources/vantrel_icon.h"

namespace vantrel::icon {
namespace {

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8);
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

TEST(VantrelIcon, HoldsTheFourImagesAsWellFormedIconBitmaps) {
  const std::vector<std::uint8_t> ico = MakeVantrelIcon();
  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon
  ASSERT_EQ(U16(ico, 4), 4u);
  const struct { std::uint32_t size, bits; } expected[] = {{32, 24}, {16, 32}, {48, 32}, {64, 32}};
  std::size_t next = 6 + 4 * 16;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t entry = 6 + 16 * i;
    const std::uint32_t n = expected[i].size;
    const std::uint32_t bits = expected[i].bits;
    EXPECT_EQ(ico.at(entry), n);
    EXPECT_EQ(ico.at(entry + 1), n);
    EXPECT_EQ(U16(ico, entry + 4), 1u);  // planes
    EXPECT_EQ(U16(ico, entry + 6), bits);
    const std::uint32_t length = U32(ico, entry + 8);
    const std::uint32_t offset = U32(ico, entry + 12);
    EXPECT_EQ(offset, next) << "images follow each other";
    const std::uint32_t colorRow = (n * bits + 31) / 32 * 4;
    const std::uint32_t maskRow = (n + 31) / 32 * 4;
    EXPECT_EQ(length, 40 + (colorRow + maskRow) * n);
    EXPECT_EQ(U32(ico, offset), 40u);
    EXPECT_EQ(U32(ico, offset + 4), n);
    EXPECT_EQ(U32(ico, offset + 8), 2 * n);
    EXPECT_EQ(U16(ico, offset + 14), bits);
    EXPECT_EQ(U32(ico, offset + 16), 0u);  // BI_RGB

    // The tile's rounded corner is transparent (mask bit set), its centre opaque.
    const std::size_t mask = offset + 40 + colorRow * n;
    EXPECT_EQ(ico.at(mask) & 0x80, 0x80) << "bottom-left corner, image " << i;
    const std::size_t middleRow = mask + maskRow * (n / 2);
    EXPECT_EQ(ico.at(middleRow + n / 16) & (0x80 >> (n / 2 % 8)), 0) << "centre, image " << i;
    if (bits == 32) {
      EXPECT_EQ(ico.at(offset + 40 + 3), 0) << "corner alpha";
      EXPECT_EQ(ico.at(offset + 40 + colorRow * (n / 2) + 4 * (n / 2) + 3), 255) << "centre alpha";
    }
    next = offset + length;
  }
  EXPECT_EQ(next, ico.size());
}

}  // namespace
}  // namespace vantrel::icon
