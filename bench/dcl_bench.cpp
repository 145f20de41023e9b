// Prints the DCL codec's speed and ratio on a corpus: per mode, per file kind.
// Usage: dcl_bench CORPUS_DIR [RUNS] [MODE...] [--level fast|default|best]
// [--against LIBRARY] (MODE like binary/4096). Figures are medians over RUNS
// runs (default 5); MB/s counts uncompressed bytes. The "all" line of each
// mode also shows the classic implementation's figures on the same corpus
// (x86-64, gcc -O2) and ours as a multiple of them; with --against, the
// classic implementation runs beside ours, file by file, and the multiples
// and per-file sizes come from this run. A synthetic file of short-period
// patterns (kind "short", not in "all") times copies at distances 1 to 7.
// Wall-clock speeds and speeds by the process's CPU time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "classic_library.h"
#include "dcl.h"
#include "dcl_level.h"

namespace {

struct File {
  std::string name;
  std::string kind;
  std::vector<uint8_t> data;
  std::vector<uint8_t> packed;
  std::string sha256;  // from the corpus's SHA256SUMS
};

// The classic implementation's size per file and mode ("bin4096", ...),
// kept only where the file's sha256 matches ours.
using ClassicSizes = std::map<std::pair<std::string, std::string>, size_t>;

// The classic implementation on the corpus: ratio, implode and explode MB/s,
// built with gcc -O2 for x86-64, or with mingw for i686 and run under Wine
// (where it explodes about 10% slower).
struct Classic {
  double ratio, implode, explode;
};
Classic ClassicFigures(unsigned type, unsigned dictSize) {
#if defined(__i386__)
  static const Classic binary[] = {{0.440, 33.8, 196}, {0.413, 26.8, 207}, {0.390, 17.3, 218}};
  static const Classic ascii[] = {{0.485, 32.3, 138}, {0.457, 24.5, 146}, {0.431, 15.1, 156}};
#else
  static const Classic binary[] = {{0.440, 38.4, 218}, {0.413, 30.0, 230}, {0.390, 21.9, 242}};
  static const Classic ascii[] = {{0.485, 36.8, 153}, {0.457, 29.3, 162}, {0.431, 21.6, 173}};
#endif
  const unsigned i = dictSize == 1024 ? 0 : dictSize == 2048 ? 1 : 2;
  return type == DCL_CMP_ASCII ? ascii[i] : binary[i];
}

// Low-entropy inputs, 2 MB each: bytes 0 and 1 with one 1 in 16 at random,
// and zeros with a random byte every 64.
std::vector<uint8_t> SparseBits() {
  std::vector<uint8_t> out(2u << 20);
  uint32_t seed = 7;
  for (auto& c : out) c = ((seed = seed * 1664525u + 1013904223u) >> 28) == 0 ? 1 : 0;
  return out;
}
std::vector<uint8_t> SparseBytes() {
  std::vector<uint8_t> out(2u << 20);
  uint32_t seed = 9;
  for (size_t i = 0; i < out.size(); i += 64)
    out[i] = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  return out;
}

// 4 MB of runs repeating periods of 1 to 7 bytes, with a few literals between.
std::vector<uint8_t> ShortPeriods() {
  std::vector<uint8_t> out;
  uint32_t seed = 1;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  while (out.size() < (4u << 20)) {
    const unsigned period = 1 + (next() >> 24) % 7;
    for (unsigned i = 0; i < period + 3; ++i) out.push_back(static_cast<uint8_t>(next() >> 24));
    const size_t runEnd = out.size() + 20 + (next() >> 24) % 400;
    while (out.size() < runEnd) out.push_back(out[out.size() - period]);
  }
  return out;
}

struct Mode {
  unsigned type;
  unsigned dictSize;
  std::string Name() const {
    return (type == DCL_CMP_ASCII ? "ascii/" : "binary/") + std::to_string(dictSize);
  }
};

struct Cursor {
  const std::vector<uint8_t>* in;
  size_t pos;
  std::vector<uint8_t>* out;
  size_t outLen;
};

unsigned int ReadMem(char* buf, unsigned int* size, void* param) {
  auto& c = *static_cast<Cursor*>(param);
  const size_t n = std::min<size_t>(*size, c.in->size() - c.pos);
  std::memcpy(buf, c.in->data() + c.pos, n);
  c.pos += n;
  return static_cast<unsigned int>(n);
}

// Writes into a buffer sized in advance, growing it only when needed, so
// that the decoder's own speed is what the clock sees.
void WriteMem(char* buf, unsigned int* size, void* param) {
  auto& c = *static_cast<Cursor*>(param);
  if (c.outLen + *size > c.out->size())
    c.out->resize(std::max(c.out->size() * 2, c.outLen + *size));
  std::memcpy(c.out->data() + c.outLen, buf, *size);
  c.outLen += *size;
}

bool Synthetic(const File& f) { return f.kind == "short" || f.kind.rfind("sparse", 0) == 0; }

std::string KindOf(const std::string& name) {
  auto ends = [&](const char* s) {
    const size_t n = std::strlen(s);
    return name.size() >= n && name.compare(name.size() - n, n, s) == 0;
  };
  if (name.rfind("elf-", 0) == 0) return "elf";
  if (name.rfind("pe-", 0) == 0) return "pe";
  if (ends(".txt")) return "text";
  if (ends(".bmp")) return "bitmap";
  if (ends(".wav")) return "audio";
  return "other";
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The process's CPU time in seconds: it moves less than wall time when other
// programs share the machine.
#ifdef _WIN32
double CpuNow() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>(uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
}
#else
double CpuNow() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
#endif
struct Times {
  double wall = 0;
  double cpu = 0;
};

struct KindFigures {
  size_t original = 0;
  size_t packed = 0;
  size_t classicPacked = 0;
  std::vector<double> implodeSeconds, explodeSeconds, implodeCpu, explodeCpu;
  std::vector<double> implodeAgainst, explodeAgainst;  // classic's time over ours, per run
};

// CPU seconds of ours and of the classic implementation in one run.
struct Against {
  double ours = 0;
  double classic = 0;
};

std::string Speed(double mb, const std::vector<double>& seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%7.1f", mb / Median(seconds));
  return text;
}

struct Codec {
  Codec(const Mode& m, ssi::dcl::ImplodeLevel l) : mode(m), level(l) {}
  const Mode& mode;
  ssi::dcl::ImplodeLevel level;
  std::unique_ptr<char[]> implodeWork = std::make_unique<char[]>(DCL_IMPLODE_WORK_SIZE);
  std::unique_ptr<char[]> explodeWork = std::make_unique<char[]>(DCL_EXPLODE_WORK_SIZE);
  std::vector<uint8_t> unpacked;

  bool Implode(File& f) {
    unsigned type = mode.type, dictSize = mode.dictSize;
    f.packed.resize(f.data.size() / 2 + 64);
    Cursor c{&f.data, 0, &f.packed, 0};
    const unsigned r =
        ssi::dcl::ImplodeAtLevel(ReadMem, WriteMem, implodeWork.get(), &c, &type, &dictSize, level);
    f.packed.resize(c.outLen);
    return r == DCL_CMP_NO_ERROR;
  }
  bool Explode(const File& f) { return ExplodeWith(dcl_explode, explodeWork.get(), f); }

  // The classic implementation: its implode's size, and its explode of our
  // stream, so that both explodes decode the same symbols.
  const ClassicLibrary* classic = nullptr;
  std::unique_ptr<char[]> classicWork = std::make_unique<char[]>(ClassicLibrary::kWorkSize);
  std::vector<uint8_t> classicPacked;

  bool ImplodeClassic(const File& f, size_t& size) {
    unsigned type = mode.type, dictSize = mode.dictSize;
    classicPacked.resize(f.data.size() / 2 + 64);
    std::memset(classicWork.get(), 0, ClassicLibrary::kWorkSize);
    Cursor c{&f.data, 0, &classicPacked, 0};
    const unsigned r =
        classic->implode(ReadMem, WriteMem, classicWork.get(), &c, &type, &dictSize);
    size = c.outLen;
    return r == DCL_CMP_NO_ERROR;
  }
  bool ExplodeClassic(const File& f) { return ExplodeWith(classic->explode, classicWork.get(), f); }

  bool ExplodeWith(ClassicLibrary::ExplodeFn explode, char* work, const File& f) {
    unpacked.resize(f.data.size());
    Cursor c{&f.packed, 0, &unpacked, 0};
    const unsigned r = explode(ReadMem, WriteMem, work, &c);
    return r == DCL_CMP_NO_ERROR && c.outLen == f.data.size() &&
           std::memcmp(unpacked.data(), f.data.data(), f.data.size()) == 0;
  }
};

// Wall time per file kind; CPU time over the whole corpus per phase, since
// CPU clocks tick too coarsely (10 to 16 ms under Windows and Wine) for one
// small file. The short-period file is timed apart, ten times over.
std::string ClassicModeName(const Mode& m) {
  return (m.type == DCL_CMP_ASCII ? "asc" : "bin") + std::to_string(m.dictSize);
}

// Files whose sha256 differs from the one the classic sizes were taken on
// (the PE files follow the installed Wine build) are left out.
ClassicSizes ReadClassicSizes(const std::string& path, const std::vector<File>& files) {
  ClassicSizes sizes;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    char name[256], sha[80], mode[16];
    size_t original = 0, packed = 0;
    if (std::sscanf(line.c_str(), "%255s %79s %15s %zu %zu", name, sha, mode, &original, &packed) !=
        5)
      continue;
    for (const File& f : files) {
      if (f.name == name && f.sha256 == sha && f.data.size() == original)
        sizes[{name, mode}] = packed;
    }
  }
  return sizes;
}

void ReadSha256Sums(const std::filesystem::path& dir, std::vector<File>& files) {
  std::ifstream in(dir / "SHA256SUMS");
  std::string sha, name;
  while (in >> sha >> name) {
    for (File& f : files) {
      if (f.name == name) f.sha256 = sha;
    }
  }
}

// Prints a file not smaller than the classic implementation's stream for it,
// and keeps track of the closest.
struct SizeCheck {
  unsigned compared = 0, notSmaller = 0;
  double closest = -1;  // the largest size over classic's, as a fraction
  std::string closestName;

  void Add(const Mode& mode, const File& f, size_t classicSize) {
    ++compared;
    const double over = static_cast<double>(f.packed.size()) / static_cast<double>(classicSize) - 1;
    if (over > closest) {
      closest = over;
      closestName = f.name;
    }
    if (f.packed.size() >= classicSize) {
      std::printf("%-12s not smaller than classic: %-26s %9zu against %9zu (%+.3f%%)\n",
                  mode.Name().c_str(), f.name.c_str(), f.packed.size(), classicSize, 100 * over);
      ++notSmaller;
    }
  }
};

bool RunMode(std::vector<File>& files, const Mode& mode, int runs, ssi::dcl::ImplodeLevel level,
             const ClassicSizes& classic, const ClassicLibrary* library) {
  std::map<std::string, KindFigures> kinds;
  Codec codec(mode, level);
  codec.classic = library;
  SizeCheck check;
  for (int run = 0; run < runs; ++run) {
    std::map<std::string, Times> implodeTime, explodeTime;
    std::map<std::string, Against> implodeAgainst, explodeAgainst;
    // One file through ours and, with a library, through the classic
    // implementation, in an order that alternates so neither always runs
    // on the other's warm caches. Returns false on a failed round trip.
    auto timeFile = [&](File& f, bool implode, int repeats, unsigned order) {
      Against spent;
      size_t classicSize = 0;
      for (unsigned turn = 0; turn < (library != nullptr ? 2u : 1u); ++turn) {
        const bool ours = library == nullptr || ((turn + order) & 1u) == 0;
        const double c0 = CpuNow();
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i) {
          const bool ok = ours ? (implode ? codec.Implode(f) : codec.Explode(f))
                               : (implode ? codec.ImplodeClassic(f, classicSize)
                                          : codec.ExplodeClassic(f));
          if (!ok) {
            std::printf("ROUND TRIP FAILED%s: %s in %s\n", ours ? "" : " (classic)",
                        f.name.c_str(), mode.Name().c_str());
            return false;
          }
        }
        const double cpu = (CpuNow() - c0) / repeats;
        if (ours) {
          spent.ours = cpu;
          const double wall = Seconds(t0, std::chrono::steady_clock::now()) / repeats;
          auto& times = implode ? implodeTime : explodeTime;
          times[f.kind].wall += wall;
          if (Synthetic(f)) {
            times[f.kind].cpu = cpu;
          } else {
            times["all"].wall += wall;
          }
        } else {
          spent.classic = cpu;
        }
      }
      for (const std::string& k : {f.kind, std::string(Synthetic(f) ? "" : "all")}) {
        if (k.empty()) continue;
        Against& a = (implode ? implodeAgainst : explodeAgainst)[k];
        a.ours += spent.ours;
        a.classic += spent.classic;
      }
      if (run == 0 && implode) {
        for (const std::string& k : {f.kind, std::string(Synthetic(f) ? "" : "all")}) {
          if (k.empty()) continue;
          kinds[k].original += f.data.size();
          kinds[k].packed += f.packed.size();
          kinds[k].classicPacked += classicSize;
        }
        const auto c = classic.find({f.name, ClassicModeName(mode)});
        if (library != nullptr) {
          check.Add(mode, f, classicSize);
        } else if (c != classic.end()) {
          check.Add(mode, f, c->second);
        }
      }
      return true;
    };
    unsigned order = static_cast<unsigned>(run);
    for (bool implode : {true, false}) {
      const double c0 = CpuNow();
      for (File& f : files) {
        if (!Synthetic(f) && !timeFile(f, implode, 1, ++order)) return false;
      }
      // Without a library the whole phase is one CPU reading: CPU clocks
      // tick too coarsely (10 to 16 ms under Windows and Wine) for one file.
      (implode ? implodeTime : explodeTime)["all"].cpu =
          library != nullptr ? (implode ? implodeAgainst : explodeAgainst)["all"].ours
                             : CpuNow() - c0;
    }
    for (File& f : files) {
      if (!Synthetic(f)) continue;
      const int repeats = f.kind == "short" ? 10 : 3;
      for (bool implode : {true, false}) {
        if (!timeFile(f, implode, repeats, ++order)) return false;
      }
    }
    for (auto& [k, t] : implodeTime) {
      kinds[k].implodeSeconds.push_back(t.wall);
      kinds[k].implodeCpu.push_back(t.cpu);
    }
    for (auto& [k, t] : explodeTime) {
      kinds[k].explodeSeconds.push_back(t.wall);
      kinds[k].explodeCpu.push_back(t.cpu);
    }
    if (library != nullptr) {
      for (auto& [k, a] : implodeAgainst) kinds[k].implodeAgainst.push_back(a.classic / a.ours);
      for (auto& [k, a] : explodeAgainst) kinds[k].explodeAgainst.push_back(a.classic / a.ours);
    }
  }
  if (check.compared != 0) {
    std::printf("%-12s classic per file: %u of %u files not smaller; closest %s %+.3f%%\n",
                mode.Name().c_str(), check.notSmaller, check.compared, check.closestName.c_str(),
                100 * check.closest);
  }
  for (auto& [k, fig] : kinds) {
    const double mb = static_cast<double>(fig.original) / 1e6;
    const double ratio = static_cast<double>(fig.packed) / static_cast<double>(fig.original);
    std::printf("%-12s %-7s %10zu -> %10zu  ratio %.4f  implode %s MB/s  explode %s MB/s",
                mode.Name().c_str(), k.c_str(), fig.original, fig.packed, ratio,
                Speed(mb, fig.implodeSeconds).c_str(), Speed(mb, fig.explodeSeconds).c_str());
    if (k == "all" || k == "short" || k.rfind("sparse", 0) == 0) {
      std::printf("   by CPU time: implode %s  explode %s", Speed(mb, fig.implodeCpu).c_str(),
                  Speed(mb, fig.explodeCpu).c_str());
    }
    if (library != nullptr) {
      std::printf("\n%-12s %-7s classic in this run: ratio %.4f; ours by CPU time: ratio %+.2f%%, "
                  "implode x%.2f, explode x%.2f",
                  mode.Name().c_str(), k.c_str(),
                  static_cast<double>(fig.classicPacked) / static_cast<double>(fig.original),
                  100.0 * (static_cast<double>(fig.packed) /
                               static_cast<double>(fig.classicPacked) -
                           1),
                  Median(fig.implodeAgainst), Median(fig.explodeAgainst));
    } else if (k == "all") {
      const Classic c = ClassicFigures(mode.type, mode.dictSize);
      std::printf(
          "\n%-12s classic ratio %.3f implode %.1f explode %.0f MB/s; ours by CPU time: "
          "ratio %+.1f%%, implode x%.2f, explode x%.2f",
          mode.Name().c_str(), c.ratio, c.implode, c.explode, 100.0 * (ratio / c.ratio - 1),
          mb / Median(fig.implodeCpu) / c.implode, mb / Median(fig.explodeCpu) / c.explode);
    }
    std::printf("\n");
  }
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dcl_bench CORPUS_DIR [RUNS] [binary|ascii/1024|2048|4096 ...] [--level L] [--classic FILE] [--against LIBRARY]\n");
    return 2;
  }
  const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<Mode> modes;
  ssi::dcl::ImplodeLevel level = ssi::dcl::ImplodeLevel::kDefault;
  std::string classicPath;
  std::string libraryPath;
  std::vector<std::string> sized;
  bool corpusOnly = false;
  for (int a = 3; a < argc; ++a) {
    const std::string m = argv[a];
    if (m == "--level" && a + 1 < argc) {
      const std::string l = argv[++a];
      level = l == "fast"   ? ssi::dcl::ImplodeLevel::kFast
              : l == "best" ? ssi::dcl::ImplodeLevel::kBest
                            : ssi::dcl::ImplodeLevel::kDefault;
      continue;
    }
    if (m == "--classic" && a + 1 < argc) {
      classicPath = argv[++a];
      continue;
    }
    if (m == "--against" && a + 1 < argc) {
      libraryPath = argv[++a];
      continue;
    }
    if (m == "--corpus-only") {  // for instruction counts under callgrind
      corpusOnly = true;
      continue;
    }
    if (m == "--size" && a + 1 < argc) {
      sized.push_back(argv[++a]);
      continue;
    }
    const size_t slash = m.find('/');
    if (slash == std::string::npos) continue;
    modes.push_back({m.substr(0, slash) == "ascii" ? 1u : 0u,
                     static_cast<unsigned>(std::atoi(m.c_str() + slash + 1))});
  }
  if (modes.empty()) {
    for (unsigned type : {0u, 1u})
      for (unsigned d : {1024u, 2048u, 4096u}) modes.push_back({type, d});
  }
  std::vector<File> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "SHA256SUMS") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.push_back({name, KindOf(name), {std::istreambuf_iterator<char>(in), {}}, {}, {}});
  }
  std::sort(files.begin(), files.end(),
            [](const File& a, const File& b) { return a.name < b.name; });
  if (files.empty()) {
    std::fprintf(stderr, "no files in %s\n", argv[1]);
    return 2;
  }
  ReadSha256Sums(argv[1], files);
  const ClassicSizes classic =
      classicPath.empty() ? ClassicSizes{} : ReadClassicSizes(classicPath, files);
  for (const std::string& path : sized) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    std::printf("size of %s: %s bytes\n", path.c_str(),
                error ? "(missing)" : std::to_string(size).c_str());
  }
  if (!corpusOnly) {
    files.push_back({"short-periods", "short", ShortPeriods(), {}, {}});
    files.push_back({"sparse-bits", "sparse1", SparseBits(), {}, {}});
    files.push_back({"sparse-bytes", "sparse2", SparseBytes(), {}, {}});
  }
  std::printf("%zu files, medians of %d runs, level %s\n", files.size(), runs,
              level == ssi::dcl::ImplodeLevel::kFast   ? "fast"
              : level == ssi::dcl::ImplodeLevel::kBest ? "best"
                                                       : "default");
  ClassicLibrary library;
  if (!libraryPath.empty()) {
    const std::string error = library.Load(libraryPath);
    if (!error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 2;
    }
    std::printf("against the classic implementation in %s, file by file\n", libraryPath.c_str());
  }
  for (const Mode& m : modes) {
    if (!RunMode(files, m, runs, level, classic, libraryPath.empty() ? nullptr : &library)) return 1;
  }
  return 0;
}
