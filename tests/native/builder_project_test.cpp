// `ssbuild build` as authors use it: project files, every problem at once,
// warnings, the files it fills in, streaming, signed installers. Through the
// command line in-process, and as a program where memory is measured.
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "build_project.h"
#include "bundled_files.h"
#include "cli.h"
#include "cli_scratch.h"
#include "code_page.h"
#include "example_project.h"
#include "installer_builder.h"
#include "installer_examiner.h"
#include "installer_writer.h"
#include "le_bytes.h"
#include "payload_offset_field.h"
#include "project_file.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The smallest file the builder takes for a 32-bit Windows program.
Bytes TinyProgram() {
  Bytes pe(512, 0);
  pe[0] = 'M', pe[1] = 'Z';
  ssi::WriteU32(&pe[60], 64);
  pe[64] = 'P', pe[65] = 'E';
  pe[68] = 0x4C, pe[69] = 0x01;  // i386
  pe[86] = 0x02, pe[87] = 0x01;  // an executable, 32-bit
  return pe;
}

Bytes TinyStub() {
  Bytes stub = TinyProgram();
  stub.resize(4096, 0x90);
  std::copy(ssi::kPayloadOffsetMarker, ssi::kPayloadOffsetMarker + ssi::kPayloadOffsetMarkerSize,
            stub.begin() + 1000);
  ssi::WriteU32(&stub[1000 + ssi::kPayloadOffsetMarkerSize], 0);
  return stub;
}

class Builder : public CliScratch {
 protected:
  Builder() : CliScratch("ssbuild_builder_") {}
  void SetUp() override {
    CliScratch::SetUp();
    fs::create_directories(dir_ / "sub");
    Write("stub.exe", TinyStub());
    Write("lib.dll", Text(std::string(3000, 'L')));
    Write("prog.scr", TinyProgram());
    Write("preview.bmp", DrawExampleBitmap(40, 30, 10, 10));
    Write("licence.txt", Text("the licence\r\n"));
    Write("readme.txt", Text("the read-me\r\n"));
    Write("flashax.exe", TinyProgram());
  }

  void WriteText(const std::string& name, const std::string& text) const {
    Write(name, Text(text));
  }
  // A build that has every role it needs, with a stub and library of the test's own.
  std::vector<std::string> Complete(const std::string& output) const {
    return {
        "build",         "-o",     Path(output), "--stub",         Path("stub.exe"), "--library",
        Path("lib.dll"), "--name", "meadow",     "--screen-saver", Path("prog.scr")};
  }
  ssi::PayloadHeader HeaderOf(const std::string& name) const {
    InstallerView view;
    const Bytes image = Read(name);
    EXPECT_TRUE(ReadInstaller(image, std::nullopt, view).ok());
    return view.header;
  }
};

TEST_F(Builder, ProjectFileGivesRolesVariablesRelativePathsAndOptionsOverrideIt) {
  WriteText("sub/chunk.bin", std::string(500, 'c'));
  WriteText("sub/project.ini",
            "; comment\n"
            "[variables]\n"
            "saver = meadow\n"
            "up = ..\n"
            "[installer]\n"
            "output = ${saver}-setup.exe\n"
            "name = ${saver}\n"
            "display = picture\n"
            "accept-licence = yes\n"
            "open-display-properties = yes\n"
            "stub = ${up}/stub.exe\n"
            "[files]\n"
            "screen-saver = ../prog.scr\n"
            "compression-library = ${up}/lib.dll\n"
            "preview = ../preview.bmp\n"
            "preview.name = look.bmp\n"
            "licence = ../licence.txt\n"
            "licence.compression = store\n"
            "[chunk]\n"
            "file = chunk.bin\n"
            "name = first.bin\n"
            "[copy]\n"
            "name = second.bin\n");
  // -D beats [variables]; the display option beats the file.
  ASSERT_EQ(Run({"build", Path("sub/project.ini"), "-D", "saver=field", "--display", "none",
                 "--preview", Path("preview.bmp"), "--json"}),
            kExitOk)
      << err_.str();
  const ssi::PayloadHeader h = HeaderOf("sub/field-setup.exe");
  EXPECT_EQ(h.SaverName(), "field");
  EXPECT_EQ(h.displayMode, 0);
  EXPECT_EQ(h.licenceFlag, 1);
  EXPECT_EQ(h.readMeFlag, 0);
  EXPECT_EQ(h.displayPropertiesFlag, 1);
  EXPECT_EQ(h.entries[6].name, "field.scr");
  EXPECT_EQ(h.entries[3].name, "look.bmp");
  EXPECT_EQ(h.entries[4].compressed, 0);
  EXPECT_EQ(h.entries[8].name, "field.ssd");
  EXPECT_EQ(h.entries[1].expandedSize, 3000);
  EXPECT_NE(out_.str().find("\"name\": \"field.scr\""), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("warning: entry 3 (preview) is given, but display mode 0"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(Run({"verify", Path("sub/field-setup.exe")}), kExitOk) << err_.str();
  // The preview given twice in the file itself is worth a warning.
  WriteText("sub/twice.ini", "[installer]\nname = m\n[files]\npreview = a.bmp\npreview = b.bmp\n");
  BuildProject project;
  std::vector<std::string> errors;
  LoadProjectFile(Path("sub/twice.ini"), {}, project, errors);
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(project.repeated.size(), 1u);
  EXPECT_NE(project.repeated[0].find("twice.ini:4"), std::string::npos) << project.repeated[0];
  EXPECT_EQ(project.roles[3].path, Path("sub/b.bmp"));
}

// Each [show] key and [installer] jobs say what their option says: the
// installers are byte for byte those of the options. Options still override
// the file, and pictures given as options replace the file's list.
TEST_F(Builder, ProjectShowSectionSaysWhatTheOptionsSay) {
  const struct {
    const char* line;
    std::vector<std::string> options;
  } cases[] = {
      {"picture = a.bmp:9", {"--show", "picture", "a.bmp:9"}},
      {"picture = b.bmp", {"--show", "picture", "b.bmp"}},
      {"movie = m.swf", {"--show", "movie", "m.swf"}},
      {"seconds = 12", {"--seconds", "12"}},
      {"transition = wipe", {"--transition", "wipe"}},
      {"transition-ms = 300", {"--transition-ms", "300"}},
      {"order = shuffled", {"--order", "shuffled"}},
      {"publisher = Meadow Makers", {"--publisher", "Meadow Makers"}},
      {"version = 1.2 beta", {"--version", "1.2 beta"}},
  };
  const std::string common =
      "[installer]\nname = meadow\nstub = stub.exe\njobs = 2\n[files]\nscreen-saver = "
      "prog.scr\nlibrary = lib.dll\n[chunk]\nfile = preview.bmp\nname = a.bmp\n";
  std::string show = "[show]\n";
  std::vector<std::string> options;
  for (const auto& c : cases) {
    show += std::string(c.line) + "\n";
    options.insert(options.end(), c.options.begin(), c.options.end());
  }
  WriteText("plain.ini", common);
  WriteText("show.ini", common + show);
  std::vector<std::string> byOptions = {"build", Path("plain.ini"), "-o", Path("options.exe")};
  byOptions.insert(byOptions.end(), options.begin(), options.end());
  ASSERT_EQ(Run(byOptions), kExitOk) << err_.str();
  ASSERT_EQ(Run({"build", Path("show.ini"), "-o", Path("file.exe")}), kExitOk) << err_.str();
  EXPECT_TRUE(Read("options.exe") == Read("file.exe"));
  ASSERT_EQ(Run({"build", Path("plain.ini"), "-o", Path("plain.exe")}), kExitOk) << err_.str();
  EXPECT_FALSE(Read("plain.exe") == Read("file.exe"));

  byOptions[3] = Path("options2.exe");
  byOptions.erase(byOptions.begin() + 4, byOptions.begin() + 10);  // both pictures
  byOptions.insert(byOptions.end(), {"--show", "picture", "c.bmp", "--seconds", "5"});
  ASSERT_EQ(Run(byOptions), kExitOk) << err_.str();
  ASSERT_EQ(Run({"build", Path("show.ini"), "-o", Path("file2.exe"), "--seconds", "5", "--show",
                 "picture", "c.bmp"}),
            kExitOk)
      << err_.str();
  EXPECT_TRUE(Read("options2.exe") == Read("file2.exe"));
  EXPECT_FALSE(Read("file.exe") == Read("file2.exe"));
}

// The mistakes authors make, one project file each: the exit code, the
// message as it reads ({p} the project file, {d} its folder), what must not
// be said with it, and nothing written when the build fails. kHead is lines
// 1-4, kFiles three lines after it.
constexpr const char* kHeadAndFiles =
    "[installer]\noutput = out.exe\nname = meadow\nstub = stub.exe\n"
    "[files]\ncompression-library = lib.dll\nscreen-saver = prog.scr\n";

TEST_F(Builder, AuthorMistakes) {
#define kHead "[installer]\noutput = out.exe\nname = meadow\nstub = stub.exe\n"
#define kFiles "[files]\ncompression-library = lib.dll\nscreen-saver = prog.scr\n"
  WriteText("sub/licence.txt", "the licence\n");
  WriteText("sub/empty.bmp", "");
  WriteText("sub/arrows.txt", "fine\nup \xE2\x86\x91 and \xE2\x86\x93\n");
  const struct {
    const char* project;  // nullptr: there is no project file
    int exit;
    const char* message;
    const char* absent;
  } cases[] = {
      // A picture that is not there: its line, the system's reason, the path
      // as resolved (a Windows separator works), and no follow-on error.
      {kHead kFiles "[chunk]\nfile = pictures\\gone.bmp\n[show]\npicture = gone.bmp\n", 2,
       "ssbuild: {p}:9: chunk: {d}/pictures/gone.bmp: cannot open: No such file or directory\n"
       "ssbuild: 1 error(s)",
       "data file"},
      {kHead "display = picture\n" kFiles "preview = previw.bmp\n", 2,
       "{p}:9: entry 3 (preview): {d}/previw.bmp: cannot open: No such file or directory",
       "is missing"},
      {kHead kFiles "data-file = gone.ssd\n[show]\npublisher = Zo\xC3\xAB\n", 2,
       "{p}:8: entry 8 (data-file): {d}/gone.ssd: cannot open: No such file or directory",
       "go into the data file"},
      {nullptr, 2, "ssbuild: {d}/missing.ini: cannot open: No such file or directory", nullptr},
      {"[installer]\noutput = nofolder/out.exe\nname = meadow\nstub = stub.exe\n" kFiles, 2,
       "{p}:2: {d}/nofolder/out.exe: cannot create: the folder {d}/nofolder does not exist",
       nullptr},
      // A picture of 0 bytes, in the show or as the preview, and nothing
      // said about it as a BMP.
      {kHead kFiles "[chunk]\nfile = sub/empty.bmp\n", 2,
       "{p}:9: chunk 1: {d}/sub/empty.bmp: the file is empty (0 bytes); give the picture itself",
       nullptr},
      {kHead "display = picture\n" kFiles "preview = sub/empty.bmp\n", 2,
       "{p}:9: entry 3 (preview): {d}/sub/empty.bmp: the file is empty (0 bytes)", "BMP"},
      // Misspellings get a suggestion; words far from any get the list.
      // The project's own output stays in its folder, whether it climbs out
      // or names an absolute path.
      {"[installer]\noutput = ../out.exe\nname = meadow\nstub = stub.exe\n" kFiles, 2,
       "{p}:2: output = ", "cannot create"},
      {"[installer]\noutput = /out.exe\nname = meadow\nstub = stub.exe\n" kFiles, 2,
       "{p}:2: output = /out.exe lies outside the project's folder {d}: name a file inside it, "
       "or give -o /out.exe to write there",
       nullptr},
      {kHead kFiles "[show]\npubisher = Zo\xC3\xAB\n", 2,
       "{p}:9: unknown key pubisher in [show]; did you mean publisher?", nullptr},
      {kHead kFiles "[instaler]\n", 2, "{p}:8: unknown section [instaler]; did you mean installer?",
       nullptr},
      {kHead kFiles "screensaver = prog.scr\n", 2,
       "{p}:8: unknown role screensaver; did you mean screen-saver?", nullptr},
      {kHead kFiles "preview.nmae = look.bmp\n", 2,
       "{p}:8: unknown attribute .nmae; did you mean name?", nullptr},
      {kHead "display = pictures\n" kFiles, 2,
       "{p}:5: display = pictures: expected none, picture, movie, silent or 0..255 (did you mean "
       "picture?)",
       nullptr},
      {kHead "accept-licence = ys\n" kFiles, 2,
       "{p}:5: accept-licence = ys: expected yes or no (did you mean yes?)", nullptr},
      {kHead kFiles "[show]\ntransition = fde\n", 2,
       "{p}:9: transition = fde: expected one of cut, fade, wipe (did you mean fade?)", nullptr},
      {kHead "colour = blue\n" kFiles, 2,
       "{p}:5: unknown key colour in [installer]; known: output, name, display,", nullptr},
      {kHead "level = quickest\n" kFiles, 2,
       "{p}:5: level = quickest: expected fast, default or best", nullptr},
      {kHead "jobs = 0\n" kFiles, 2, "{p}:5: jobs = 0: expected a number from 1 to 256", nullptr},
      // The preview: empty or left out, the message says how to add one.
      {kHead "display = picture\n" kFiles "preview =\n", 2,
       "{p}:9: preview = is empty: give a file, for example preview = preview.bmp",
       "allow-incomplete"},
      {kHead "display = picture\n" kFiles, 2,
       "display mode 1 shows a preview but entry 3 (preview) is missing: add preview = FILE to "
       "[files] (a BMP picture, 350 x 150 pixels fill its panel) or give --preview FILE; or set "
       "display = none",
       "allow-incomplete"},
      // Text end users see, outside the code page: every character, with the line.
      {kHead kFiles "[show]\npublisher = \xC5\x81ukasz \xE2\x86\x92 \xC4\xBF\n", 2,
       "{p}:9: the publisher \"\xC5\x81ukasz \xE2\x86\x92 \xC4\xBF\": U+0141 \"\xC5\x81\" at "
       "character 1, U+2192 \"\xE2\x86\x92\" at character 8 and U+013F \"\xC4\xBF\" at character "
       "10 have no place in code page 1252",
       nullptr},
      {"[installer]\noutput = out.exe\nname = Caf\xC3\xA9 \xE2\x98\x95\nstub = stub.exe\n" kFiles,
       2,
       "{p}:3: the screen saver name \"Caf\xC3\xA9 \xE2\x98\x95\": U+2615 \"\xE2\x98\x95\" at "
       "character 6 has no place in code page 1252",
       "entry"},
      {kHead kFiles "[show]\npicture = \xE2\x98\x95.bmp\n", 2,
       "{p}:9: the picture \"\xE2\x98\x95.bmp\": U+2615", nullptr},
      {kHead "accept-licence = yes\n" kFiles "licence = sub/arrows.txt\n", 2,
       "{p}:9: entry 4 (licence): {d}/sub/arrows.txt: U+2191 \"\xE2\x86\x91\" at line 2, "
       "column 4 and U+2193 \"\xE2\x86\x93\" at line 2, column 10 have no place in code page "
       "1252",
       nullptr},
      {kHead "display = picture\n" kFiles "preview = preview.bmp\npreview.name = ../x.bmp\n", 2,
       "{p}:10: entry 3 (preview): the name \"../x.bmp\"", nullptr},
      // Mistakes in the file's own form.
      {kHead kFiles "readme = ${docs}/r.txt\n", 2,
       "{p}:8: ${docs} is not defined (define it in [variables] or with -D docs=VALUE)", nullptr},
      {kHead kFiles "just words\n", 2,
       "{p}:8: expected KEY = VALUE or [SECTION], not \"just words\"", nullptr},
      {kHead kFiles "[chunk]\nkind = 3\n", 2, "{p}:8: a [chunk] needs file =", nullptr},
      {kHead kFiles "[show]\npicture = a.bmp:0\n", 2,
       "{p}:9: picture = a.bmp:0: the seconds after \":\" must be 1 to 3600", nullptr},
      {kHead kFiles "compression-library.compression = binary\n", 2,
       "{p}:8: the compression library is always stored", nullptr},
      // Warnings: the build goes on.
      {kHead kFiles "[chunk]\nfile = preview.bmp\n[chunk]\nfile = preview.bmp\n", 0,
       "ssbuild: warning: {p}:11: {d}/preview.bmp is listed twice, at line 9 (file = "
       "preview.bmp) and line 11 (file = preview.bmp); it goes in twice",
       nullptr},
      {kHead kFiles "[installer]\nopen-readme = no\n", 0,
       "ssbuild: warning: {p}:8: [installer] again, at line 1 ([installer]) and line 8 "
       "([installer]); its keys add to the first one's",
       nullptr},
      {kHead kFiles "readme = prog.scr\n", 0,
       "{p}:8: {d}/prog.scr is listed twice, at line 7 (screen-saver = prog.scr) and line 8 "
       "(readme = prog.scr)",
       nullptr},
      {"[installer]\noutput = out.exe\nname = Caf\xE9\nstub = stub.exe\n" kFiles, 0,
       "ssbuild: warning: {p}:3: the byte 0xE9 is not UTF-8, so the file is read in code page "
       "1252",
       nullptr},
      {kHead "accept-licence = yes\n" kFiles "licence = sub\\licence.txt\n", 0, "", "error"},
  };
#undef kHead
#undef kFiles
  const std::string folder = dir_.string();
  for (const auto& c : cases) {
    const std::string project = c.project != nullptr ? Path("p.ini") : Path("missing.ini");
    if (c.project != nullptr) WriteText("p.ini", c.project);
    std::set<fs::path> before;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) before.insert(entry.path());
    const int exit = Run({"build", project});
    const std::string context =
        std::string(c.project != nullptr ? c.project : "(none)") + "\n--- said:\n" + err_.str();
    EXPECT_EQ(exit, c.exit) << context;
    std::string expected = c.message;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"{p}", project},
                                   std::pair<std::string, std::string>{"{d}", folder}})
      for (size_t at; (at = expected.find(from)) != std::string::npos;)
        expected.replace(at, from.size(), to);
    EXPECT_NE(err_.str().find(expected), std::string::npos) << expected << "\n" << context;
    if (c.absent != nullptr) {
      EXPECT_EQ(err_.str().find(c.absent), std::string::npos) << c.absent << "\n" << context;
    }
    if (c.exit != kExitOk) {
      std::set<fs::path> after;
      for (const auto& entry : fs::recursive_directory_iterator(dir_)) after.insert(entry.path());
      EXPECT_EQ(before, after) << "something was written\n" << context;
    }
    fs::remove(Path("out.exe"));
  }
  // Through a link out of the folder it is outside too; -o chooses any path.
  WriteText("sub/p.ini",
            "[installer]\noutput = up/out.exe\nname = meadow\nstub = ../stub.exe\n"
            "[files]\ncompression-library = ../lib.dll\nscreen-saver = ../prog.scr\n");
  fs::create_directory_symlink(dir_, Path("sub/up"));
  EXPECT_EQ(Run({"build", Path("sub/p.ini")}), kExitFailed);
  EXPECT_NE(err_.str().find("lies outside the project's folder"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(Path("out.exe")));
  EXPECT_EQ(Run({"build", Path("sub/p.ini"), "-o", Path("out.exe")}), kExitOk) << err_.str();
  EXPECT_TRUE(fs::exists(Path("out.exe")));
  fs::remove(Path("out.exe"));
  // A project file alone, as Explorer passes one dropped onto ssbuild.exe, is built.
  WriteText("p.ini", kHeadAndFiles);
  EXPECT_EQ(Run({Path("p.ini")}), kExitOk) << err_.str();
  EXPECT_TRUE(fs::exists(Path("out.exe")));
}

TEST_F(Builder, EveryErrorIsReportedInOnePassAndNothingIsWritten) {
  WriteText("nomarker.exe", "MZ not a stub");
  EXPECT_EQ(Run({"build", "-o", Path("x.exe"), "--stub", Path("nomarker.exe"), "--name", "a/b",
                 "--preview", Path("gone.bmp"), "--display", "picture", "--accept-licence",
                 "--open-readme", "--library", Path("lib.dll")}),
            kExitFailed);
  for (const char* expected :
       {"no payload offset marker", "\"a/b\" is not a valid folder name", "entry 3 (preview): ",
        "gone.bmp: cannot open: No such file or directory", "entry 6 (screen-saver) is missing",
        "the licence flag is set but entry 4", "the read-me flag is set but entry 5", "6 error(s)"})
    EXPECT_NE(err_.str().find(expected), std::string::npos) << expected << "\n" << err_.str();
  EXPECT_FALSE(fs::exists(Path("x.exe")));
  EXPECT_FALSE(fs::exists(Path("x.exe.part")));
}

// Each warning leaves the build working (exit 0) unless --werror, which
// fails it without writing anything.
TEST_F(Builder, WarningsPassUnlessWerror) {
  WriteText("notbmp.bmp", "II*\0 a TIFF, which the builder does not convert");
  WriteText("notpe.scr", "#!/bin/sh\n");
  WriteText("saver.dat", "mine");
  const struct {
    std::vector<std::string> extra;
    const char* warning;
  } cases[] = {
      {{"--display", "picture", "--preview", Path("notbmp.bmp")}, "it is not a BMP file"},
      {{"--display", "movie", "--preview", Path("preview.bmp"), "--flash", Path("flashax.exe")},
       "not a Flash movie"},
      {{"--licence", Path("licence.txt")}, "without the licence flag"},
      {{"--readme", Path("readme.txt")}, "without the read-me flag"},
      {{"--preview", Path("preview.bmp")}, "display mode 0 shows no preview"},
      {{"--display", "silent", "--flash", Path("flashax.exe"), "--accept-licence", "--licence",
        Path("licence.txt")},
       "nobody sees or accepts the licence"},
      {{"--screen-saver", Path("notpe.scr")}, "it is not a Windows program"},
      {{"--screen-saver", Path("stub.exe")}, "given twice"},
      {{"--display", "movie", "--preview", Path("preview.bmp")}, "without entry 2"},
      {{"--support1", Path("readme.txt"), "--further", Path("readme.txt")},
       "lands on the same file as entry 7"},
      {{"--further", Path("saver.dat")}, "replaces with the screen saver's settings"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = Complete("w.exe");
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(Run(args), kExitOk) << c.warning << "\n" << err_.str();
    EXPECT_NE(err_.str().find(std::string("warning: ")), std::string::npos) << c.warning;
    EXPECT_NE(err_.str().find(c.warning), std::string::npos) << c.warning << "\n" << err_.str();
    fs::remove(Path("w.exe"));
    args.push_back("--werror");
    EXPECT_EQ(Run(args), kExitFailed) << c.warning;
    EXPECT_NE(err_.str().find("error (--werror)"), std::string::npos) << c.warning;
    EXPECT_FALSE(fs::exists(Path("w.exe"))) << c.warning;
  }
  // -q keeps errors only.
  std::vector<std::string> args = Complete("q.exe");
  args.insert(args.end(), {"--readme", Path("readme.txt"), "-q"});
  EXPECT_EQ(Run(args), kExitOk);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(out_.str(), "");
}

// Entries 1, 7, 8, 9 and 10 left out are filled in so that the install
// succeeds, each with a note; and the streaming writer lays them out exactly
// as the in-memory builder does.
TEST_F(Builder, LeftOutRolesAreFilledInAndTheLayoutMatchesTheInMemoryBuilder) {
  std::vector<std::string> args = Complete("f.exe");
  args.erase(args.begin() + 5, args.begin() + 7);  // no --library
  const bool carried = CarriesFile(kLibraryFileName);
  if (!carried) args.insert(args.end(), {"--library", Path("lib.dll")});
  ASSERT_EQ(Run(args), kExitOk) << err_.str();
  // One note for the three stand-ins; the listing names files as they land.
  const std::string said = err_.str();
  EXPECT_NE(said.find("entries 7, 9 and 10: none given; an empty saver.dat goes in for each"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("saver.dat goes in"), said.rfind("saver.dat goes in")) << said;
  EXPECT_NE(out_.str().find("impborl.dll"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("impborl.dat"), std::string::npos) << out_.str();
  const ssi::PayloadHeader h = HeaderOf("f.exe");
  for (int i : {7, 9, 10}) {
    EXPECT_EQ(h.entries[static_cast<size_t>(i)].name, "saver.dat");
    EXPECT_EQ(h.entries[static_cast<size_t>(i)].expandedSize, 0);
    EXPECT_EQ(h.entries[static_cast<size_t>(i)].kind, 5);
  }
  EXPECT_EQ(h.entries[8].name, "meadow.ssd");
  EXPECT_EQ(h.entries[8].expandedSize, 1220);
  EXPECT_EQ(Run({"verify", Path("f.exe")}), kExitOk) << err_.str();

  InstallerInput in;
  in.stub = TinyStub();
  in.saverName = "meadow";
  BundledFile library;
  if (carried) {
    ASSERT_TRUE(FindBundledFile(kLibraryFileName, library).ok());
  }
  in.entries[1].Use(carried ? library.bytes : Read("lib.dll"));
  in.entries[6].Use(TinyProgram(), "prog.scr");
  in.entries[8].Use(Bytes(1220, 0));
  in.entries[8].name = "meadow.ssd";
  for (int i : {7, 9, 10}) {
    in.entries[static_cast<size_t>(i)].Use({});
    in.entries[static_cast<size_t>(i)].name = "saver.dat";
  }
  BuiltInstaller built;
  ASSERT_TRUE(BuildInstaller(in, built).ok());
  EXPECT_TRUE(built.image == Read("f.exe"));

  // A bitmap preview lands with the extension .bmp whatever its source's.
  Write("sub/look.dib", DrawExampleBitmap(40, 30, 10, 10));
  std::vector<std::string> shown = Complete("p.exe");
  shown.insert(shown.end(), {"--display", "picture", "--preview", Path("sub/look.dib")});
  ASSERT_EQ(Run(shown), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("look.bmp"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("look.dib"), std::string::npos) << out_.str();

  // With --allow-incomplete nothing is filled in but the library.
  args.push_back("--allow-incomplete");
  ASSERT_EQ(Run(args), kExitOk) << err_.str();
  EXPECT_TRUE(HeaderOf("f.exe").entries[7].IsEmpty());
}

// Names and the licence reach the installer in its code page, the licence
// with CR LF; the read-me keeps its line ends.
TEST_F(Builder, NamesAndTextsAreConvertedToTheCodePage) {
  WriteText("l\xC3\xAF.txt", "\xC2\xA9 2026\nsecond line\n");
  WriteText("readme.txt", "\xE2\x82\xAC\n");
  WriteText("sub/p.ini", "[installer]\nname = Caf\xC3\xA9\n");
  std::vector<std::string> args = Complete("c.exe");
  args.erase(args.begin() + 7, args.begin() + 9);  // the name comes from the project
  args.insert(args.end(), {Path("sub/p.ini"), "--licence", Path("l\xC3\xAF.txt"),
                           "--accept-licence", "--readme", Path("readme.txt"), "--open-readme",
                           "--data-chunk", Path("readme.txt"), "--chunk-name", "\xC3\x9C.txt"});
  ASSERT_EQ(Run(args), kExitOk) << err_.str();
  ASSERT_EQ(Run({"extract", Path("c.exe"), "-C", Path("x")}), kExitOk) << err_.str();
  EXPECT_TRUE(Read("x/l\xEF.txt") == Text("\xA9 2026\r\nsecond line\r\n"));
  EXPECT_TRUE(Read("x/readme.txt") == Text("\x80\n"));
  EXPECT_TRUE(Read("x/Caf\xE9.scr") == TinyProgram());
  ASSERT_EQ(Run({"extract", Path("x/Caf\xE9.ssd"), "-C", Path("y")}), kExitOk) << err_.str();
  EXPECT_TRUE(Read("y/\xDC.txt") == Text("\xE2\x82\xAC\n")) << "chunk data is not text to convert";

  WriteText("bad.txt", "fine\nan arrow \xE2\x86\x92\n");
  args = Complete("d.exe");
  args.insert(args.end(), {"--licence", Path("bad.txt"), "--accept-licence", "--codepage", "1252"});
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(err_.str().find(
                "entry 4 (licence): " + Path("bad.txt") +
                ": U+2192 \"\xE2\x86\x92\" at line 2, column 10 has no place in code page 1252"),
            std::string::npos)
      << err_.str();
  EXPECT_FALSE(fs::exists(Path("d.exe")));
}

// A certificate table laid out by hand as the signing tools lay it out: the
// file padded with zeros to a multiple of 8, the table behind it, the PE
// header's security directory pointing at it.
TEST_F(Builder, SignedInstallersAreReadWithoutTheirSignature) {
  // The size depends on how the entries pack: a longer library until the
  // file needs alignment bytes.
  Bytes image;
  for (size_t extra = 0; image.size() % 8 == 0 && extra < 8; ++extra) {
    Write("lib.dll", Text(std::string(3000 + extra, 'L')));
    ASSERT_EQ(Run(Complete("plain.exe")), kExitOk) << err_.str();
    image = Read("plain.exe");
  }
  const size_t payloadEnd = image.size();
  auto sign = [](Bytes file, uint32_t tableSize) {
    const size_t optional = 64 + 24;
    file[optional] = 0x0B, file[optional + 1] = 0x01;  // PE32
    ssi::WriteU32(&file[optional + 92], 16);           // data directories
    file.resize((file.size() + 7) / 8 * 8, 0);
    ssi::WriteU32(&file[optional + 96 + 4 * 8], static_cast<uint32_t>(file.size()));
    ssi::WriteU32(&file[optional + 96 + 4 * 8 + 4], tableSize);
    file.resize(file.size() + tableSize, 0x30);
    return file;
  };
  ASSERT_NE(payloadEnd % 8, 0u) << "the test wants alignment bytes";
  Write("signed.exe", sign(image, 1456));
  EXPECT_EQ(Run({"verify", Path("signed.exe")}), kExitOk) << err_.str();
  EXPECT_EQ(Run({"list", Path("signed.exe")}), kExitOk);
  EXPECT_NE(out_.str().find("Authenticode signature: 1456 bytes at " +
                            std::to_string((payloadEnd + 7) / 8 * 8)),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(Run({"extract", Path("signed.exe"), "-C", Path("x")}), kExitOk) << err_.str();
  EXPECT_TRUE(Read("x/meadow.scr") == TinyProgram());
  // A table that does not end the file is not a signature: the bytes behind
  // the payload are reported.
  Bytes broken = sign(image, 1456);
  broken.push_back(0);
  Write("broken.exe", broken);
  EXPECT_EQ(Run({"verify", Path("broken.exe")}), kExitFailed);
  EXPECT_NE(err_.str().find("the last entry ends at"), std::string::npos) << err_.str();

  // --sign: a command that leaves no signature fails the build and leaves nothing.
  std::vector<std::string> args = Complete("s.exe");
  args.insert(args.end(), {"--sign", "cp {in} {out}"});
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(err_.str().find("left no signature"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(Path("s.exe")));
  EXPECT_FALSE(fs::exists(Path("s.exe.unsigned")));
  args.back() = "cp {in}";
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(err_.str().find("names no {out}"), std::string::npos) << err_.str();
}

// A project's own signing command runs only when the one who builds allows
// it; --sign replaces it. The command here leaves a mark and no signature.
TEST_F(Builder, AProjectsCommandRunsOnlyWhenAllowed) {
  const std::string mark = Path("ran");
  WriteText("p.ini", "[installer]\nsign = cp {in} {out} && touch '" + mark + "'\n");
  struct Case {
    std::vector<std::string> extra;
    bool runs;
    const char* says;
  };
  const Case cases[] = {
      {{}, false, "p.ini:2: sign = names a command"},
      {{"--allow-project-commands"}, true, "left no signature"},
      {{"--sign", "cp {in} {out}"}, false, "left no signature"},
      {{"--sign", "cp {in} {out}", "--allow-project-commands"}, false, "left no signature"},
  };
  for (const Case& c : cases) {
    fs::remove(mark);
    std::vector<std::string> args = Complete("s.exe");
    args.insert(args.begin() + 1, Path("p.ini"));
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(Run(args), kExitFailed);
    EXPECT_EQ(fs::exists(mark), c.runs) << c.says;
    EXPECT_NE(err_.str().find(c.says), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(Path("s.exe")));
  }
}

TEST_F(Builder, InitWritesAProjectThatBuildsWithNoOtherOption) {
  if (!CarriesFile(kStubFileName) || !CarriesFile(kSampleSaverFileName))
    GTEST_SKIP() << "this ssbuild was built without a Win32 build tree (SSI_WIN32_DIR)";
  ASSERT_EQ(Run({"init", Path("example")}), kExitOk) << err_.str();
  EXPECT_EQ(Run({"init", Path("example")}), kExitFailed) << "an existing project is kept";
  ASSERT_EQ(Run({"build", Path("example/project.ini")}), kExitOk) << err_.str();
  EXPECT_EQ(err_.str().find("warning"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"verify", Path("example/sample-setup.exe")}), kExitOk) << err_.str();
  const ssi::PayloadHeader h = HeaderOf("example/sample-setup.exe");
  EXPECT_EQ(h.displayMode, 1);
  EXPECT_EQ(h.entries[6].name, "sample.scr");
}

// Helpers implode entries side by side into files of their own; the result
// must be the bytes one thread writes, whatever finishes first, and none of
// the helpers' files may remain. The entries mix what is kept imploded, what
// is stored because imploding does not shrink it, what is stored by choice,
// and the empty stand-ins.
TEST_F(Builder, SideBySideImplodingWritesTheSameBytes) {
  std::string text;
  for (int line = 0; text.size() < 300'000; ++line)
    text += "line " + std::to_string(line * 7919 % 1000) + " of the screen saver's notes\n";
  uint32_t noise = 12345;
  Bytes random(200'000);
  for (uint8_t& b : random) b = static_cast<uint8_t>((noise = noise * 1103515245 + 12345) >> 24);
  WriteText("readme.txt", text);
  WriteText("further.txt", text.substr(1000) + text.substr(0, 1000));
  Write("random.bin", random);
  WriteText("support.txt", text.substr(0, 50'000));
  std::vector<std::string> args = Complete("one.exe");
  args.insert(args.end(),
              {"--readme", Path("readme.txt"), "--open-readme", "--further", Path("further.txt"),
               "--support1", Path("random.bin"), "--support2", Path("support.txt"), "--store",
               "support2", "--compress", "readme=ascii:2048", "-j", "1"});
  ASSERT_EQ(Run(args), kExitOk) << err_.str();
  for (const char* jobs : {"2", "4"}) {
    args[2] = Path("many.exe");
    args.back() = jobs;
    ASSERT_EQ(Run(args), kExitOk) << err_.str();
    EXPECT_TRUE(Read("one.exe") == Read("many.exe")) << "-j " << jobs;
  }
  const ssi::PayloadHeader h = HeaderOf("many.exe");
  EXPECT_EQ(h.entries[5].compressed, 1);
  EXPECT_EQ(h.entries[7].compressed, 1);
  EXPECT_EQ(h.entries[9].compressed, 0);
  EXPECT_EQ(h.entries[10].compressed, 0);
  EXPECT_EQ(Run({"verify", Path("many.exe")}), kExitOk) << err_.str();

  // A file gone between the checks and the writing: the helper's failure
  // names its entry, and nothing of the build remains.
  BuildPlan plan;
  plan.stub = TinyStub();
  plan.saverName = "meadow";
  for (int i : {6, 7, 9}) {
    PlannedEntry& e = plan.entries[static_cast<size_t>(i)];
    e.used = true;
    e.name = "e" + std::to_string(i);
    e.path = Path(i == 7 ? "gone.txt" : "further.txt");
    e.size = i == 7 ? 10 : fs::file_size(Path("further.txt"));
    e.label = e.path;
  }
  WrittenInstaller written;
  const Status failed = WriteInstaller(plan, DiskInputs(), Path("gone.exe"), 4, written);
  EXPECT_NE(failed.text().find("entry 7 (further, "), std::string::npos) << failed.text();
  EXPECT_NE(failed.text().find("cannot open"), std::string::npos) << failed.text();
  for (const auto& item : fs::directory_iterator(dir_)) {
    EXPECT_EQ(item.path().string().find(".part"), std::string::npos) << item.path();
    EXPECT_EQ(item.path().string().find("gone.exe"), std::string::npos) << item.path();
  }
}

// Sizes come from the file system: an input too large for an installer is
// refused before a byte is read, and a 1 GB input is streamed in little memory.
TEST_F(Builder, LargeInputsAreStreamedOrRefusedAtOnce) {
  Write("big.bin", {});
  fs::resize_file(Path("big.bin"), 2'200'000'000ull);
  std::vector<std::string> args = Complete("big.exe");
  args.insert(args.end(), {"--further", Path("big.bin")});
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(err_.str().find("2200000000 bytes; an installer holds at most 2147483647"),
            std::string::npos)
      << err_.str();
  EXPECT_FALSE(fs::exists(Path("big.exe")));
  fs::remove(Path("big.bin"));

#ifdef SSBUILD_EXE
  Write("gig.bin", {});
  fs::resize_file(Path("gig.bin"), 1ull << 30);
  args = Complete("gig.exe");
  args.insert(args.begin(), SSBUILD_EXE);
  args.insert(args.end(), {"--further", Path("gig.bin"), "--store", "further", "-q"});
  // The builder measures itself: a child's maxrss would count this test
  // process as it was before the exec.
  args.back() = "-v";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (std::freopen(Path("steps.txt").c_str(), "w", stderr) == nullptr) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const Bytes steps = Read("steps.txt");
  const std::string text(steps.begin(), steps.end());
  const size_t at = text.find("peak memory ");
  ASSERT_NE(at, std::string::npos) << text;
  const long peak = std::atol(text.c_str() + at + 12);
  std::printf("ssbuild build with a 1 GiB entry: peak memory %ld KiB\n", peak);
  EXPECT_LT(peak, 100 * 1024);
  EXPECT_GT(fs::file_size(Path("gig.exe")), 1ull << 30);
#endif
}

#ifdef SSBUILD_EXE
// Ctrl-C while two entries are imploded side by side: the builder dies of
// the signal, as the shell expects, and leaves neither OUT.part, nor a
// helper's OUT.part-N, nor OUT behind.
TEST_F(Builder, AnInterruptedBuildLeavesNothingBehind) {
  Bytes noise(24u << 20);
  uint32_t state = 1;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  Write("noise1.bin", noise);
  Write("noise2.bin", noise);
  std::vector<std::string> args = Complete("cut.exe");
  args.insert(args.begin(), SSBUILD_EXE);
  args.insert(args.end(), {"--further", Path("noise1.bin"), "--support1", Path("noise2.bin"),
                           "--level", "best", "-j", "2", "-q"});
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  bool started = false;
  for (int i = 0; i < 400 && !started; ++i) {
    usleep(50'000);
    started = fs::exists(Path("cut.exe.part-7")) && fs::exists(Path("cut.exe.part-9"));
  }
  usleep(200'000);
  kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(started) << "the helpers' files never appeared";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the build ended before the interrupt";
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().rfind("cut.exe", 0), std::string::npos)
        << entry.path();
}
#endif

}  // namespace
}  // namespace ssbuild

namespace ssbuild {
namespace {

// The bytes are worked out by hand from the published code page tables.
TEST(CodePageConversion, ConvertsUtf8AndRefusesWhatTheCodePageLacks) {
  const struct {
    const char* text;
    unsigned codePage;
    const char* expected;  // nullptr: refused
    const char* problem;
  } cases[] = {
      {"plain ASCII stays", 1252, "plain ASCII stays", nullptr},
      {"Caf\xC3\xA9", 1252, "Caf\xE9", nullptr},
      {"\xE2\x82\xAC \xC2\xA9 \xE2\x80\x94 \xE2\x80\x99 \xC5\x93", 1252, "\x80 \xA9 \x97 \x92 \x9C",
       nullptr},
      {"\xEF\xBB\xBF"
       "BOM \xC3\xBC",
       1252, "BOM \xFC", nullptr},
      {"\xEF\xBB\xBF"
       "only ASCII after a BOM",
       1252, "only ASCII after a BOM", nullptr},
      {"\xD0\x9A\xD0\xB0\xD1\x84\xD0\xB5", 1251, "\xCA\xE0\xF4\xE5", nullptr},
      {"Caf\xE9 in the code page already", 1252, "Caf\xE9 in the code page already", nullptr},
      {"\xC0\xAF overlong", 1252, "\xC0\xAF overlong", nullptr},
      {"\xED\xA0\x80 surrogate", 1252, "\xED\xA0\x80 surrogate", nullptr},
      {"cut \xE2\x82", 1252, "cut \xE2\x82", nullptr},
      {"Caf\xE2\x86\x92", 1252, nullptr,
       "U+2192 \"\xE2\x86\x92\" at line 1, column 4 has no place in code page 1252"},
      {"ok\nline \xF0\x9F\x98\x80!", 1252, nullptr,
       "U+1F600 \"\xF0\x9F\x98\x80\" at line 2, column 6"},
      {"Caf\xC3\xA9", 1251, nullptr, "U+00E9"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    const Status status = CodePage(c.codePage).Convert(text, true);
    if (c.expected != nullptr) {
      EXPECT_TRUE(status.ok()) << c.text << ": " << status.text();
      EXPECT_EQ(text, c.expected) << c.text;
    } else {
      EXPECT_FALSE(status.ok()) << c.text;
      EXPECT_NE(status.text().find(c.problem), std::string::npos) << status.text();
    }
  }
  EXPECT_EQ(WithCrLf("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
  EXPECT_FALSE(CodePage(4242).Problem().empty());
}

}  // namespace
}  // namespace ssbuild
