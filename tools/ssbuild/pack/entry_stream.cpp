#include "entry_stream.h"

#include "native_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dcl.h"
#include "dcl_level.h"
#include "input_source.h"

namespace ssbuild {
namespace {

// The imploded form of an empty entry is a few bytes; this bounds it.
constexpr uint64_t kEmptyImplodedMax = 64;

// One try at an entry: its source, read in pieces, and the output.
struct Stream {
  const PlannedEntry* entry = nullptr;
  FilePtr in;
  uint64_t read = 0;
  bool readFailed = false;
  int readErrno = 0;
  PackTarget* out = nullptr;
  uint64_t room = 0;
  bool overLimit = false;
  const PackWatch* watch = nullptr;
};

Status Open(const PlannedEntry& e, const InputSource& inputs, PackTarget& out, uint64_t room,
            const PackWatch& watch, Stream& s) {
  s.entry = &e;
  s.out = &out;
  s.room = room;
  s.watch = &watch;
  if (e.inMemory) return {};
  std::string reason;
  s.in = e.madeHere ? OpenFile(e.path, FileMode::kRead, reason) : OpenInput(inputs, e.path, reason);
  if (!s.in) return Status::Fail("cannot open: " + reason);
  return {};
}

bool Stopped(const Stream& s) {
  return s.overLimit || s.readFailed || s.out->writeFailed || s.out->cancelled;
}

size_t ReadSome(Stream& s, char* buf, size_t want) {
  if (Stopped(s)) return 0;
  if (s.watch->stop != nullptr && s.watch->stop->load()) {
    s.out->cancelled = true;
    return 0;
  }
  const PlannedEntry& e = *s.entry;
  size_t got = 0;
  if (e.inMemory) {
    got = static_cast<size_t>(std::min<uint64_t>(want, e.bytes.size() - s.read));
    if (got > 0) std::memcpy(buf, e.bytes.data() + s.read, got);
  } else {
    got = std::fread(buf, 1, want, s.in.get());
    if (got < want && std::ferror(s.in.get())) {
      s.readFailed = true;
      s.readErrno = errno;
    }
  }
  s.read += got;
  // A file that grew since it was measured would not match its ExpandedSize.
  if (s.read > e.size) s.readFailed = true;
  if (s.watch->read != nullptr && s.watch->read->load() < s.read) s.watch->read->store(s.read);
  if (s.watch->tick != nullptr && *s.watch->tick) (*s.watch->tick)();
  return got;
}

void WriteSome(Stream& s, const char* buf, size_t size) {
  if (size > s.room) {
    s.overLimit = true;
    return;
  }
  if (std::fwrite(buf, 1, size, s.out->file) != size) s.out->writeFailed = true;
  s.out->written += size;
  s.room -= size;
}

unsigned int ImplodeRead(char* buf, unsigned int* size, void* param) {
  return static_cast<unsigned int>(ReadSome(*static_cast<Stream*>(param), buf, *size));
}

void ImplodeWrite(char* buf, unsigned int* size, void* param) {
  WriteSome(*static_cast<Stream*>(param), buf, *size);
}

Status Finish(const Stream& s) {
  if (s.out->cancelled) return Status::Fail("cancelled");
  if (s.readFailed)
    return Status::Fail(s.read > s.entry->size
                            ? "the file grew while it was read"
                            : "cannot read: " + std::string(std::strerror(s.readErrno)));
  if (!s.overLimit && !s.out->writeFailed && s.read != s.entry->size)
    return Status::Fail("the file shrank while it was read");
  return {};
}

}  // namespace

Status TryImplodeEntry(const PlannedEntry& e, const InputSource& inputs, PackTarget& out,
                       const PackWatch& watch, bool& kept) {
  kept = false;
  if (!e.compression.implode && e.size != 0) return {};
  // Stop as soon as the imploded form is no smaller than the entry: it would
  // be stored anyway, and a large incompressible file is not read twice whole.
  const uint64_t worthwhile = e.size == 0 ? kEmptyImplodedMax : e.size;
  Stream s;
  Status status = Open(e, inputs, out, std::min(out.room, worthwhile), watch, s);
  if (!status.ok()) return status;
  const CompressionChoice use = e.compression.implode ? e.compression : CompressionChoice{};
  unsigned int type = use.ascii ? DCL_CMP_ASCII : DCL_CMP_BINARY;
  unsigned int dict = use.dictSize;
  std::vector<char> work(DCL_IMPLODE_WORK_SIZE);
  const unsigned int code =
      ssi::dcl::ImplodeAtLevel(ImplodeRead, ImplodeWrite, work.data(), &s, &type, &dict, use.level);
  status = Finish(s);
  if (!status.ok()) return status;
  if (code != DCL_CMP_NO_ERROR)
    return Status::Fail("the compressor failed with code " + std::to_string(code));
  if (s.overLimit && out.room < worthwhile) out.overLimit = true;
  kept = !s.overLimit && (out.written < e.size || e.size == 0);
  return {};
}

Status CopyEntry(const PlannedEntry& e, const InputSource& inputs, PackTarget& out,
                 const PackWatch& watch) {
  Stream s;
  Status status = Open(e, inputs, out, out.room, watch, s);
  if (!status.ok()) return status;
  std::vector<char> buf(1 << 16);
  while (size_t got = ReadSome(s, buf.data(), buf.size())) WriteSome(s, buf.data(), got);
  if (s.overLimit) out.overLimit = true;
  return Finish(s);
}

}  // namespace ssbuild
