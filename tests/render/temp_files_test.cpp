#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/temp_files.h"
#include "tests/support/scoped_tmpdir.h"

namespace vantrel {
namespace {

TEST(TempFiles, NamesAreCreatedPrivatelyInTmpdirWithPrefixAndSuffix) {
  testing::ScopedTmpDir tmp;
  char first[kPathChars];
  char second[kPathChars];
  ASSERT_TRUE(platform::MakeTempName("vantrel_temp_", ".jpg", first));
  ASSERT_TRUE(platform::MakeTempName("vantrel_temp_", ".jpg", second));
  EXPECT_STRNE(first, second);
  const std::string name = first;
  EXPECT_EQ(name.rfind(tmp.path() + "/vantrel_temp_", 0), 0u) << name;
  EXPECT_EQ(name.substr(name.size() - 4), ".jpg");
  struct stat info;
  ASSERT_EQ(lstat(first, &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_size, 0);
  EXPECT_EQ(tmp.Entries().size(), 2u);
}

TEST(TempFiles, ATmpdirThatCannotHoldTheNameFallsBackToTheSystemDirectory) {
  testing::ScopedTmpDir tmp;
  const std::string deep = tmp.path() + "/" + std::string(kPathChars, 'd');
  setenv("TMPDIR", deep.c_str(), 1);
  char name[kPathChars];
  ASSERT_TRUE(platform::MakeTempName("vantrel_temp_", "", name));
  EXPECT_LT(std::strlen(name), static_cast<std::size_t>(kPathChars));
  EXPECT_EQ(std::string(name).find(deep), std::string::npos);
  std::remove(name);
}

}  // namespace
}  // namespace vantrel
