// Prints the DCL codec's speed and ratio on a corpus: per mode, per file kind.
// Usage: dcl_bench CORPUS_DIR [RUNS] [MODE...]   (MODE like binary/4096)
// Figures are medians over RUNS runs (default 5); MB/s counts uncompressed bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dcl.h"

namespace {

struct File {
  std::string name;
  std::string kind;
  std::vector<uint8_t> data;
  std::vector<uint8_t> packed;
};

struct Mode {
  unsigned type;
  unsigned dictSize;
  std::string Name() const { return (type == DCL_CMP_ASCII ? "ascii/" : "binary/") + std::to_string(dictSize); }
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
  if (c.outLen + *size > c.out->size()) c.out->resize(std::max(c.out->size() * 2, c.outLen + *size));
  std::memcpy(c.out->data() + c.outLen, buf, *size);
  c.outLen += *size;
}

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

struct KindFigures {
  size_t original = 0;
  size_t packed = 0;
  std::vector<double> implodeSeconds;
  std::vector<double> explodeSeconds;
};

bool RunMode(std::vector<File>& files, const Mode& mode, int runs) {
  std::map<std::string, KindFigures> kinds;
  const auto implodeWork = std::make_unique<char[]>(DCL_IMPLODE_WORK_SIZE);
  const auto explodeWork = std::make_unique<char[]>(DCL_EXPLODE_WORK_SIZE);
  std::vector<uint8_t> unpacked;
  for (int run = 0; run < runs; ++run) {
    std::map<std::string, double> implodeTime, explodeTime;
    for (File& f : files) {
      unsigned type = mode.type, dictSize = mode.dictSize;
      f.packed.resize(f.data.size() / 2 + 64);
      Cursor ci{&f.data, 0, &f.packed, 0};
      const auto t0 = std::chrono::steady_clock::now();
      const unsigned ri = dcl_implode(ReadMem, WriteMem, implodeWork.get(), &ci, &type, &dictSize);
      const auto t1 = std::chrono::steady_clock::now();
      f.packed.resize(ci.outLen);
      unpacked.resize(f.data.size());
      Cursor ce{&f.packed, 0, &unpacked, 0};
      const auto t2 = std::chrono::steady_clock::now();
      const unsigned re = dcl_explode(ReadMem, WriteMem, explodeWork.get(), &ce);
      const auto t3 = std::chrono::steady_clock::now();
      if (ri != 0 || re != 0 || ce.outLen != f.data.size() ||
          std::memcmp(unpacked.data(), f.data.data(), f.data.size()) != 0) {
        std::printf("ROUND TRIP FAILED: %s in %s (implode %u, explode %u)\n", f.name.c_str(),
                    mode.Name().c_str(), ri, re);
        return false;
      }
      implodeTime[f.kind] += Seconds(t0, t1);
      explodeTime[f.kind] += Seconds(t2, t3);
      implodeTime["all"] += Seconds(t0, t1);
      explodeTime["all"] += Seconds(t2, t3);
      if (run == 0) {
        for (const char* k : {f.kind.c_str(), "all"}) {
          kinds[k].original += f.data.size();
          kinds[k].packed += f.packed.size();
        }
      }
    }
    for (auto& [k, t] : implodeTime) kinds[k].implodeSeconds.push_back(t);
    for (auto& [k, t] : explodeTime) kinds[k].explodeSeconds.push_back(t);
  }
  for (auto& [k, fig] : kinds) {
    const double mb = static_cast<double>(fig.original) / 1e6;
    std::printf("%-12s %-7s %10zu -> %10zu  ratio %.4f  implode %7.1f MB/s  explode %7.1f MB/s\n",
                mode.Name().c_str(), k.c_str(), fig.original, fig.packed,
                static_cast<double>(fig.packed) / static_cast<double>(fig.original),
                mb / Median(fig.implodeSeconds), mb / Median(fig.explodeSeconds));
  }
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dcl_bench CORPUS_DIR [RUNS] [binary|ascii/1024|2048|4096 ...]\n");
    return 2;
  }
  const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<Mode> modes;
  for (int a = 3; a < argc; ++a) {
    const std::string m = argv[a];
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
    files.push_back({name, KindOf(name), {std::istreambuf_iterator<char>(in), {}}, {}});
  }
  std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.name < b.name; });
  if (files.empty()) {
    std::fprintf(stderr, "no files in %s\n", argv[1]);
    return 2;
  }
  std::printf("%zu files, medians of %d runs\n", files.size(), runs);
  for (const Mode& m : modes) {
    if (!RunMode(files, m, runs)) return 1;
  }
  return 0;
}
