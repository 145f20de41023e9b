#include "compression.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <vector>

#include "dcl.h"
#include "dcl_buffer.h"
#include "pack_threads.h"

namespace ssbuild {
namespace {

bool ValidDictSize(unsigned size) { return size == 1024 || size == 2048 || size == 4096; }

// Feeds the stream from memory and collects at most maxOutput bytes. Once the
// output would grow past that bound the reader reports end of input, so a
// hostile stream stops within one input block instead of running on.
struct ExplodeState {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  size_t maxOutput = 0;
  bool overflow = false;
  Bytes* out = nullptr;
};

unsigned int ReadFromMemory(char* buf, unsigned int* size, void* param) {
  auto* s = static_cast<ExplodeState*>(param);
  if (s->overflow) return 0;
  const size_t n = std::min<size_t>(*size, s->size - s->pos);
  if (n == 0) return 0;
  std::memcpy(buf, s->data + s->pos, n);
  s->pos += n;
  return static_cast<unsigned int>(n);
}

void WriteToMemory(char* buf, unsigned int* size, void* param) {
  auto* s = static_cast<ExplodeState*>(param);
  const size_t room = s->maxOutput - s->out->size();
  const size_t n = std::min<size_t>(*size, room);
  if (n < *size) s->overflow = true;
  const auto* bytes = reinterpret_cast<const uint8_t*>(buf);
  s->out->insert(s->out->end(), bytes, bytes + n);
}

}  // namespace

bool ParseCompressionChoice(const std::string& text, CompressionChoice& out) {
  if (text == "store") {
    out = CompressionChoice{};
    out.implode = false;
    return true;
  }
  const size_t colon = text.find(':');
  const std::string mode = text.substr(0, colon);
  CompressionChoice choice;
  if (mode == "ascii") {
    choice.ascii = true;
  } else if (mode != "binary") {
    return false;
  }
  if (colon != std::string::npos) {
    const std::string dict = text.substr(colon + 1);
    if (dict == "1024") {
      choice.dictSize = 1024;
    } else if (dict == "2048") {
      choice.dictSize = 2048;
    } else if (dict == "4096") {
      choice.dictSize = 4096;
    } else {
      return false;
    }
  }
  out = choice;
  return true;
}

std::string DescribeCompressionChoice(const CompressionChoice& choice) {
  if (!choice.implode) return "store";
  return std::string(choice.ascii ? "ascii" : "binary") + ":" + std::to_string(choice.dictSize);
}

bool ParseImplodeLevel(const std::string& text, ssi::dcl::ImplodeLevel& out) {
  if (text == "fast")
    out = ssi::dcl::ImplodeLevel::kFast;
  else if (text == "default")
    out = ssi::dcl::ImplodeLevel::kDefault;
  else if (text == "best")
    out = ssi::dcl::ImplodeLevel::kBest;
  else
    return false;
  return true;
}

Status ImplodeRaw(const Bytes& data, bool ascii, unsigned dictSize, Bytes& out,
                  ssi::dcl::ImplodeLevel level) {
  if (!ValidDictSize(dictSize))
    return Status::Fail("invalid dictionary size " + std::to_string(dictSize));
  out.clear();
  const unsigned int code = ssi::dcl::ImplodeBuffer(
      data.data(), data.size(), ascii ? DCL_CMP_ASCII : DCL_CMP_BINARY, dictSize, out, level);
  if (code != DCL_CMP_NO_ERROR)
    return Status::Fail("the compressor failed with code " + std::to_string(code));
  return {};
}

Status Pack(const Bytes& data, const CompressionChoice& choice, bool forceImplode,
            PackedBytes& out) {
  out = PackedBytes{};
  if (choice.implode || forceImplode) {
    const CompressionChoice use = choice.implode ? choice : CompressionChoice{};
    Bytes imploded;
    const Status status = ImplodeRaw(data, use.ascii, use.dictSize, imploded, use.level);
    if (!status.ok()) return status;
    if (forceImplode || imploded.size() < data.size()) {
      out.stored = std::move(imploded);
      out.compressed = true;
      return {};
    }
  }
  out.stored = data;
  return {};
}

void PackAll(std::vector<PackJob>& jobs, unsigned threads) {
  // Largest first, so that one big file does not start last and run alone.
  std::vector<size_t> order(jobs.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return jobs[a].data->size() > jobs[b].data->size(); });
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < order.size(); i = next++) {
      PackJob& job = jobs[order[i]];
      job.status = Pack(*job.data, job.choice, job.forceImplode, job.out);
    }
  };
#ifdef SSBUILD_THREADS
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < std::min<size_t>(threads, jobs.size()); ++t) helpers.emplace_back(work);
  work();
  for (std::thread& t : helpers) t.join();
#else
  (void)threads;
  work();
#endif
}

Status Explode(const uint8_t* data, size_t size, size_t maxOutput, Bytes& out) {
  out.clear();
  ExplodeState state;
  state.data = data;
  state.size = size;
  state.maxOutput = maxOutput;
  state.out = &out;
  std::vector<char> work(DCL_EXPLODE_WORK_SIZE);
  const unsigned int code = dcl_explode(ReadFromMemory, WriteToMemory, work.data(), &state);
  if (state.overflow)
    return Status::Fail("output larger than " + std::to_string(maxOutput) + " bytes");
  switch (code) {
    case DCL_CMP_NO_ERROR:
      return {};
    case DCL_CMP_INVALID_DICTSIZE:
      return Status::Fail("invalid dictionary size");
    case DCL_CMP_INVALID_MODE:
      return Status::Fail("invalid compression mode");
    // Explode asks for input ahead of need, so a read that found nothing
    // left tells nothing; its own result says whether the input ran out.
    case DCL_CMP_ABORT:
      return Status::Fail("truncated data");
    default:
      return Status::Fail("bad data");
  }
}

Status ExplodeExactly(const uint8_t* data, size_t size, size_t expectedSize, Bytes& out) {
  const Status status = Explode(data, size, expectedSize + 1, out);
  if (out.size() > expectedSize)
    return Status::Fail("expands to more than " + std::to_string(expectedSize) + " bytes");
  if (!status.ok()) return status;
  if (out.size() != expectedSize)
    return Status::Fail("expands to " + std::to_string(out.size()) + " bytes, not " +
                        std::to_string(expectedSize));
  return {};
}

}  // namespace ssbuild
