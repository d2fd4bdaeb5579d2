// The freedesktop thumbnailer entry, run the way a file manager runs it.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fixtures/samples.h"
#include "tests/fixtures/temp_file.h"
#include "tests/support/pictures.h"

extern char** environ;

namespace vantrel {
namespace {

std::map<std::string, std::string> ReadEntry(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::map<std::string, std::string> keys;
  std::getline(file, line);
  EXPECT_EQ(line, "[Thumbnailer Entry]");
  while (std::getline(file, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return keys;
}

TEST(Thumbnailer, ClaimsTheRawTypes) {
  const auto keys = ReadEntry(VANTREL_THUMBNAILER_FILE);
  ASSERT_EQ(keys.count("MimeType"), 1u);
  std::istringstream list(keys.at("MimeType"));
  std::vector<std::string> types;
  for (std::string type; std::getline(list, type, ';');) types.push_back(type);
  for (const char* type : {"image/x-canon-crw", "image/x-canon-cr2", "image/x-nikon-nef",
                           "image/x-minolta-mrw", "image/x-fuji-raf", "image/x-sigma-x3f",
                           "image/x-kodak-dcr", "image/x-kodak-kdc", "image/x-adobe-dng",
                           "image/x-panasonic-rw2", "image/x-olympus-orf", "image/x-pentax-pef"}) {
    EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type;
  }
  EXPECT_EQ(keys.at("TryExec"), "vantrel");
}

TEST(Thumbnailer, TheExecLineMakesAPngOfTheAskedSize) {
  const auto keys = ReadEntry(VANTREL_THUMBNAILER_FILE);
  // A file manager splits the line into words and fills in the size, input path and output.
  fixtures::TempFile raw(fixtures::MakeSamples().front().bytes, "my photo.nef");
  fixtures::TempPath png("thumbnail.png");
  std::vector<std::string> words;
  std::istringstream exec(keys.at("Exec"));
  for (std::string word; exec >> word;) {
    if (word == "%s") word = "128";
    if (word == "%i") word = raw.path();
    if (word == "%o") word = png.path();
    words.push_back(word);
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // As if installed: the build's vantrel comes first on PATH.
  const char* path = std::getenv("PATH");
  setenv("PATH", (std::string(VANTREL_BIN_DIR) + ":" + (path != nullptr ? path : "")).c_str(), 1);
  pid_t child = 0;
  ASSERT_EQ(posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  testing::Picture picture;
  std::string error;
  ASSERT_TRUE(testing::DecodePng(fixtures::ReadFileBytes(png.path()), picture, error)) << error;
  EXPECT_EQ(picture.width, 128);
  EXPECT_EQ(picture.height, 128);
}

}  // namespace
}  // namespace vantrel
