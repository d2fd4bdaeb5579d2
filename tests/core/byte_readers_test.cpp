#include <gtest/gtest.h>

#include "core/parse_state.h"
#include "tests/support/raw_file.h"

namespace vantrel {
namespace {

using fixtures::Bytes;
using testing::OpenRawFile;

TEST(ByteReaders, OnlyTheIntelMarkerReadsLittleEndian) {
  const struct {
    std::uint16_t order;
    std::uint32_t u16;
    std::uint32_t u32;
  } cases[] = {
      {0x4949, 0x0201, 0x04030201}, {0x4D4D, 0x0102, 0x01020304}, {0x0000, 0x0102, 0x01020304},
      {0x4D49, 0x0102, 0x01020304}, {0xFFFF, 0x0102, 0x01020304},
  };
  for (const auto& c : cases) {
    ParseState state;
    OpenRawFile raw({1, 2, 1, 2, 3, 4}, state);
    state.byteOrder = c.order;
    EXPECT_EQ(ReadU16(state), c.u16) << std::hex << c.order;
    EXPECT_EQ(ReadU32(state), c.u32) << std::hex << c.order;
  }
}

TEST(ByteReaders, BytesPastTheEndCountAsFF) {
  for (std::uint16_t order : {kLittleEndian, kBigEndian}) {
    ParseState state;
    OpenRawFile raw({0x12}, state);
    state.byteOrder = order;
    EXPECT_EQ(ReadU16(state), order == kLittleEndian ? 0xFF12u : 0x12FFu);
    EXPECT_EQ(ReadU16(state), 0xFFFFu);
    EXPECT_EQ(ReadU32(state), 0xFFFFFFFFu);
  }
}

TEST(ByteReaders, SeekToNegativePositionFailsAndStays) {
  ParseState state;
  OpenRawFile raw({1, 2, 3, 4}, state);
  ASSERT_TRUE(SeekTo(state.rawFile, 2));
  EXPECT_FALSE(SeekTo(state.rawFile, -1));
  EXPECT_EQ(TellPosition(state.rawFile), 2);
  EXPECT_TRUE(SeekTo(state.rawFile, 100));  // past the end is fine
  EXPECT_EQ(TellPosition(state.rawFile), 100);
}

// The value field at offset 0 holds the offset 100; where does the stream go?
TEST(SkipToTagValue, FollowsTheOffsetOnlyWhenTheValueDoesNotFit) {
  const struct {
    std::uint32_t type;
    std::uint32_t count;
    bool follows;
  } cases[] = {
      {3, 2, false},
      {3, 3, true},
      {2, 4, false},
      {2, 5, true},
      {13, 2, false},
      {13, 5, true},
      {0, 4, false},
      {0, 5, true},
      {14, 4, false},
      {14, 5, true},
      {65535, 4, false},
      {65535, 5, true},
      {4, 1, false},
      {4, 2, true},
      {5, 1, true},
      {12, 1, true},
      {4, 0x40000000, false /* wraps to 0 */},
      {4, 0xFFFFFFFF, false /* negative */},
  };
  for (const auto& c : cases) {
    ParseState state;
    OpenRawFile raw({100, 0, 0, 0}, state);
    state.byteOrder = kLittleEndian;
    EXPECT_EQ(SkipToTagValue(state, 48, c.type, c.count), kSOk);
    EXPECT_EQ(TellPosition(state.rawFile), c.follows ? 148 : 0)
        << "type " << c.type << " count " << c.count;
  }
}

}  // namespace
}  // namespace vantrel
