#include <gtest/gtest.h>

#include "render/render.h"

namespace vantrel {
namespace {

TEST(ConvertArguments, ListTheStepsInOrder) {
  ParseState state;
  state.requestWidth = 120;
  state.requestHeight = 80;
  const platform::ConvertArguments expected = {"-resize", "120x80",   "-rotate",     "0",
                                               "/tmp/in", "-gravity", "center",      "-size",
                                               "120x80",  "xc:white", "/tmp/out.jpg"};
  EXPECT_EQ(MakeConvertArguments(state, "/tmp/in", "/tmp/out.jpg"), expected);
}

TEST(ConvertArguments, OnlyExactQuarterTurnsExchangeTheBoxNeverTheCanvas) {
  const struct {
    std::int32_t rotation;
    const char* text;
    const char* box;
  } cases[] = {
      {0, "0", "120x80"},
      {90, "90", "80x120"},
      {180, "180", "120x80"},
      {270, "270", "80x120"},
      {-90, "-90", "120x80"},
      {-270, "-270", "120x80"},
      {450, "450", "120x80"},
      {45, "45", "120x80"},
      {2147483647, "2147483647", "120x80"},
      {-2147483647 - 1, "-2147483648", "120x80"},
  };
  for (const auto& c : cases) {
    ParseState state;
    state.requestWidth = 120;
    state.requestHeight = 80;
    state.rotation = c.rotation;
    const platform::ConvertArguments arguments = MakeConvertArguments(state, "in", "out");
    EXPECT_EQ(arguments[1], c.box) << c.rotation;
    EXPECT_EQ(arguments[3], c.text) << c.rotation;
    EXPECT_EQ(arguments[8], "120x80") << c.rotation;
  }
}

TEST(ConvertArguments, SizesAreWrittenAsSignedNumbers) {
  ParseState state;
  state.requestWidth = -2147483647 - 1;
  state.requestHeight = 0;
  const platform::ConvertArguments arguments = MakeConvertArguments(state, "in", "out");
  EXPECT_EQ(arguments[1], "-2147483648x0");
  EXPECT_EQ(arguments[8], "-2147483648x0");
}

TEST(ConversionErrorText, SystemTextElseTheDispatchOrUnknownForms) {
  const struct {
    std::uint32_t code;
    const char* text;
  } cases[] = {
      {0x80040154u, "Class not registered"},     {0x80004005u, "Unspecified error"},
      {0x80040201u, "IDispatch error #1"},       {0x8004FFFFu, "IDispatch error #65023"},
      {0x80040200u, "Unknown error 0x80040200"}, {0x80050201u, "Unknown error 0x80050201"},
      {0x800A01E1u, "Unknown error 0x800A01E1"}, {0x00000001u, "Unknown error 0x1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConversionErrorText(static_cast<HResult>(c.code)), c.text) << std::hex << c.code;
}

}  // namespace
}  // namespace vantrel
