// The builder core over byte buffers (the web page's builder) against
// `ssbuild build` over files: the same project gives the same installer and
// the same words, and every message names the field it is about.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "builder_core.h"
#include "bundled_files.h"
#include "cli_scratch.h"
#include "project_file.h"

namespace ssbuild {
namespace {

class BuilderCore : public CliScratch {
 protected:
  BuilderCore() : CliScratch("ssbuild-core-") {}

  // Every file of the project folder, named relative to it.
  CoreRequest RequestFor(const std::string& folder) {
    CoreRequest request;
    request.scratchFolder = dir_.string();
    const std::filesystem::path root = dir_ / folder;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      const std::string name = entry.path().lexically_relative(root).generic_string();
      Bytes bytes = Read(folder + "/" + name);
      if (name == "project.ini")
        request.projectText.assign(bytes.begin(), bytes.end());
      else
        request.files.push_back({name, std::move(bytes)});
    }
    return request;
  }
};

TEST_F(BuilderCore, SameInstallerAndWordsAsTheCommandLine) {
  if (!CarriesFile(kStubFileName) || !CarriesFile(kSampleSaverFileName))
    GTEST_SKIP() << "this ssbuild was built without a Win32 build tree (SSI_WIN32_DIR)";
  ASSERT_EQ(Run({"init", "-q", Path("ex")}), 0) << err_.str();
  // A UTF-8 licence and a show layout, so that conversion and the settings
  // record take part.
  Write("ex/licence.txt", Bytes{'L', 0xC3, 0xBC, 'n', '\n', 'x', '\n'});
  Bytes project = Read("ex/project.ini");
  const std::string show = "picture = picture2.bmp:9\ntransition = wipe\npublisher = M\xC3\xBC\n";
  project.insert(project.end(), show.begin(), show.end());
  Write("ex/project.ini", project);
  ASSERT_EQ(Run({"build", Path("ex/project.ini"), "-o", Path("disk.exe")}), 0) << err_.str();

  CoreRequest request = RequestFor("ex");
  CoreResult result;
  std::vector<std::string> stages;
  BuildFromMemory(request, result, [&](const std::string& stage, uint64_t, uint64_t) {
    if (stages.empty() || stages.back() != stage) stages.push_back(stage);
  });
  ASSERT_TRUE(result.ok) << (result.messages.empty() ? "" : result.messages[0].text);
  EXPECT_EQ(result.outputName, "sample-setup.exe");
  EXPECT_TRUE(result.installer == Read("disk.exe"));
  EXPECT_EQ(stages, (std::vector<std::string>{"checking", "packing"}));

  // Chunks past 16 MiB: the data file is streamed through the scratch
  // folder, not the project's (which a build from memory does not have).
  Write("ex/big.dat", Bytes((16u << 20) + 1, 'b'));
  const std::string big =
      "[files]\ndata-file.compression = store\n[chunk]\nfile = big.dat\ncompression = store\n";
  Bytes bigProject = project;
  bigProject.insert(bigProject.end(), big.begin(), big.end());
  Write("ex/project.ini", bigProject);
  ASSERT_EQ(Run({"build", Path("ex/project.ini"), "-o", Path("big.exe")}), 0) << err_.str();
  request = RequestFor("ex");
  // Before the installer is written, the data file is held in memory (not
  // beside the installer as a file) and the room told covers the installer.
  uint64_t most = 0;
  std::vector<std::string> scratch;
  request.reserveInstaller = [&](const std::string&, uint64_t bytes) {
    most = bytes;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      if (entry.is_regular_file()) scratch.push_back(entry.path().filename().string());
  };
  BuildFromMemory(request, result);
  ASSERT_TRUE(result.ok) << (result.messages.empty() ? "" : result.messages[0].text);
  EXPECT_TRUE(result.installer == Read("big.exe"));
  std::sort(scratch.begin(), scratch.end());
  EXPECT_EQ(scratch, (std::vector<std::string>{"big.exe", "disk.exe"})) << "no data file";
  EXPECT_GE(most, result.installer.size());
  std::filesystem::remove(Path("ex/big.dat"));

  // A missing picture and a name the code page lacks: the same words, less
  // the folder, each next to its field.
  Write("ex/project.ini", project);
  std::filesystem::remove(Path("ex/pictures/picture2.bmp"));
  const std::string text(project.begin(), project.end());
  Bytes bad(project.begin(), project.end());
  const std::string name = "name = ${saver}";
  const size_t at = text.find(name);
  ASSERT_NE(at, std::string::npos);
  const std::string omega = "name = \xCE\xA9";
  bad.erase(bad.begin() + static_cast<std::ptrdiff_t>(at),
            bad.begin() + static_cast<std::ptrdiff_t>(at + name.size()));
  bad.insert(bad.begin() + static_cast<std::ptrdiff_t>(at), omega.begin(), omega.end());
  Write("ex/project.ini", bad);
  EXPECT_EQ(Run({"build", Path("ex/project.ini"), "-o", Path("bad.exe")}), 2);
  std::string words = err_.str();
  for (size_t p; (p = words.find(Path("ex") + "/")) != std::string::npos;)
    words.erase(p, Path("ex").size() + 1);
  request = RequestFor("ex");
  BuildFromMemory(request, result);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.installer.empty());
  std::vector<std::string> fields;
  for (const CoreMessage& m : result.messages) {
    if (m.kind != CoreMessage::Kind::kError) continue;
    fields.push_back(m.field);
    EXPECT_NE(words.find("ssbuild: " + m.text + "\n"), std::string::npos) << m.text << "\n"
                                                                          << words;
  }
  // No error follows from another: the missing picture says all.
  EXPECT_EQ(fields, (std::vector<std::string>{"name", "picture:picture2.bmp"}));
}

// A build carries its own input source: the page's build from memory and a
// build from the disk, of different projects, run side by side on two
// threads, and each gives the installer it gives alone. (A source held for
// the whole process sent one build's reads to the other's files.)
TEST_F(BuilderCore, TwoProjectsAtOnceOnTwoThreads) {
  if (!CarriesFile(kStubFileName) || !CarriesFile(kSampleSaverFileName))
    GTEST_SKIP() << "this ssbuild was built without a Win32 build tree (SSI_WIN32_DIR)";
  ASSERT_EQ(Run({"init", "-q", Path("mem")}), 0) << err_.str();
  ASSERT_EQ(Run({"init", "-q", Path("disk")}), 0) << err_.str();
  Write("mem/licence.txt", Bytes{'L', 0xC3, 0xBC, 'n', '\n'});
  const Bytes bytes = Read("disk/project.ini");
  std::string text(bytes.begin(), bytes.end());
  const size_t at = text.find("saver = sample");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 14, "saver = other");
  text += "picture = picture1.bmp:4\norder = shuffled\n";  // into [show], the last section
  Write("disk/project.ini", Bytes(text.begin(), text.end()));
  std::filesystem::create_directory(Path("scratch"));

  BuildProject disk;
  std::vector<std::string> errors;
  LoadProjectFile(Path("disk/project.ini"), {}, disk, errors);
  ASSERT_TRUE(errors.empty()) << errors[0];
  disk.packThreads = 2;
  auto buildDisk = [&](const std::string& out) {
    BuildOutcome outcome;
    BuildInstaller(disk, DiskInputs(), Path(out), outcome, {});
    return outcome.ok() ? Read(out) : Bytes();
  };
  auto buildMemory = [&]() {
    CoreRequest request = RequestFor("mem");
    request.scratchFolder = Path("scratch");
    CoreResult result;
    BuildFromMemory(request, result);
    return result.ok ? result.installer : Bytes();
  };
  const Bytes diskAlone = buildDisk("alone.exe");
  const Bytes memoryAlone = buildMemory();
  ASSERT_FALSE(diskAlone.empty());
  ASSERT_FALSE(memoryAlone.empty());
  ASSERT_NE(diskAlone, memoryAlone);

  for (int round = 0; round < 3; ++round) {
    Bytes fromDisk, fromMemory;
    std::thread one([&] { fromDisk = buildDisk("together.exe"); });
    std::thread two([&] { fromMemory = buildMemory(); });
    one.join();
    two.join();
    EXPECT_TRUE(fromDisk == diskAlone) << "round " << round;
    EXPECT_TRUE(fromMemory == memoryAlone) << "round " << round;
  }
}

TEST(BuilderCoreFields, EveryMessageFindsItsField) {
  const std::string project =
      "[installer]\nname = x\ndisplay = slideshow\n[files]\npreview = p.bmp\n"
      "[chunk]\nfile = pictures/a b.png\n[show]\npicture = a b.png:x\ntransition = slow\n"
      "version = 1\n";
  const std::vector<std::string> pictures = {"a b.png", "c.gif"};
  const struct {
    std::string text;
    std::string field;
  } cases[] = {
      {"project.ini:3: display = slideshow: expected none, picture, movie, silent or 0..255",
       "display"},
      {"project.ini:2: name: bad", "name"},
      {"project.ini:5: preview: bad", "preview"},
      {"project.ini:7: file = pictures/a b.png: bad", "picture:a b.png"},
      {"project.ini:9: picture = a b.png:x: bad", "picture:a b.png"},
      {"project.ini:10: transition = slow: bad", "show"},
      {"project.ini:11: version: bad", "version"},
      {"the screen saver name \"x\" is 70 bytes long; at most 64 fit", "name"},
      {"display mode 1 shows a preview but entry 3 (preview) is missing", "preview"},
      {"entry 4 (licence) is given without the licence flag", "licence"},
      {"the read-me flag is set but entry 5 (readme) is missing", "readme"},
      {"a silent install needs entry 2 (flash-installer): without ...", "display"},
      {"data file: pictures/c.gif: cannot open: no such file", "picture:c.gif"},
      {"data file: the chunk name \"c.gif\": U+03A9 has no place", "picture:c.gif"},
      {"the show layout names d.png, which no chunk of this data file writes", "show"},
      {"entry 1 (compression-library): none given", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FieldOfMessage(c.text, project, pictures), c.field) << c.text;
}

}  // namespace
}  // namespace ssbuild
