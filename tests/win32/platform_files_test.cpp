// The Win32 platform's small pieces: GUIDs from text, temporary names, file times and the
// system's error texts.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

#include <string>

#include "platform/image_converter.h"
#include "platform/temp_files.h"
#include "platform/win32/code_page.h"
#include "platform/win32/guid.h"
#include "shellext/identifiers.h"
#include "tests/fixtures/temp_file.h"
#include "tests/win32/win32_environment.h"

namespace vantrel::platform {
namespace {

using testing::ScopedTempDirectory;

GUID ParsedBySystem(const char* text) {
  const std::wstring wide(text, text + std::char_traits<char>::length(text));
  GUID guid = {};
  EXPECT_EQ(CLSIDFromString(wide.c_str(), &guid), S_OK) << text;
  return guid;
}

TEST(GuidFromText, AgreesWithTheSystemParser) {
  constexpr GUID kDispatch = GuidFromText("{00020400-0000-0000-C000-000000000046}");
  EXPECT_TRUE(IsEqualGUID(kDispatch, IID_IDispatch));
  constexpr GUID kLower = GuidFromText("{bb2e617c-0920-11d1-9a0b-00c04fc2d6c1}");
  EXPECT_TRUE(IsEqualGUID(kLower, IID_IExtractImage));

  constexpr GUID kIdentifiers[] = {GuidFromText(shell::kClsidText),
                                   GuidFromText(shell::kIidText),
                                   GuidFromText(shell::kLibidText),
                                   GuidFromText(shell::kAppidText),
                                   GuidFromText(shell::kImageMagickClsidText),
                                   GuidFromText(shell::kImageMagickImageIidText)};
  const char* const texts[] = {shell::kClsidText,
                               shell::kIidText,
                               shell::kLibidText,
                               shell::kAppidText,
                               shell::kImageMagickClsidText,
                               shell::kImageMagickImageIidText};
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    EXPECT_TRUE(IsEqualGUID(kIdentifiers[i], ParsedBySystem(texts[i]))) << texts[i];
  }
}

TEST(ConversionCodePage, IsTheThreadCodePageOnNt) {
  EXPECT_EQ(ConversionCodePage(), static_cast<unsigned>(CP_THREAD_ACP));
  EXPECT_EQ(AnsiToWide("C:\\raw\\IMG_0001.CR2"), L"C:\\raw\\IMG_0001.CR2");

  char out[8];
  EXPECT_TRUE(WideToAnsi(L"1234567", out, sizeof out));
  EXPECT_STREQ(out, "1234567");
  EXPECT_FALSE(WideToAnsi(L"12345678", out, sizeof out)) << "no room for the terminator";
  EXPECT_STREQ(out, "");
}

TEST(MakeTempName, NamesAFileInTheTemporaryDirectoryWithoutCreatingIt) {
  ScopedTempDirectory temp;
  char name[kPathChars];
  ASSERT_TRUE(MakeTempName("vantrel_temp_", ".jpg", name));
  const std::string text = name;
  EXPECT_EQ(text.rfind(temp.path(), 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 4), ".jpg");
  EXPECT_TRUE(temp.Files().empty());

  char other[kPathChars];
  ASSERT_TRUE(MakeTempName("vantrel_temp_", "", other));
  EXPECT_STRNE(name, other);
}

std::uint64_t Join(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST(FileTimes, LastWriteTimeOfAFileAndItsFailures) {
  fixtures::TempFile file({1, 2, 3});
  const SYSTEMTIME when = {2004, 1, 5, 2, 3, 4, 5, 0};  // 2004-01-02 03:04:05 UTC
  FILETIME stamp;
  ASSERT_TRUE(SystemTimeToFileTime(&when, &stamp));
  {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &stamp));
    CloseHandle(handle);
  }
  std::uint64_t time = 0;
  ASSERT_EQ(GetLastWriteTime(file.c_str(), time), kSOk);
  EXPECT_EQ(time, Join(stamp));

  // Another program writing the file: the open shares reading only.
  HANDLE writer = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  time = 7;
  EXPECT_EQ(GetLastWriteTime(file.c_str(), time), kEFail);
  EXPECT_EQ(time, 7u);
  CloseHandle(writer);

  fixtures::TempPath missing;
  EXPECT_EQ(GetLastWriteTime(missing.c_str(), time), kEFail);
}

TEST(FileTimes, CurrentFileTimeIsNow) {
  FILETIME before, after;
  GetSystemTimeAsFileTime(&before);
  const std::uint64_t now = CurrentFileTime();
  GetSystemTimeAsFileTime(&after);
  // SYSTEMTIME keeps milliseconds only.
  EXPECT_GE(now + 10000, Join(before));
  EXPECT_LE(now, Join(after));
}

TEST(SystemErrorText, HasNoFinalLineBreak) {
  const std::string text = SystemErrorText(static_cast<HResult>(E_ACCESSDENIED));
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  EXPECT_EQ(SystemErrorText(static_cast<HResult>(0x8004FE77u)), "");
}

}  // namespace
}  // namespace vantrel::platform
