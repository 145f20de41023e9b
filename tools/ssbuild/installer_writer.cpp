#include "installer_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "dcl.h"
#include "installer_builder.h"
#include "payload_roles.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// One entry's source, read in pieces, and the output it goes to.
struct Stream {
  std::FILE* in = nullptr;  // or, for an entry held in memory:
  bool inMemory = false;
  const uint8_t* memory = nullptr;
  uint64_t size = 0;
  uint64_t read = 0;
  bool readFailed = false;
  std::FILE* out = nullptr;
  uint64_t written = 0;
  bool writeFailed = false;
  uint64_t room = 0;  // bytes the output may still grow by
  bool overLimit = false;
  uint64_t doneBefore = 0;  // progress: input bytes of earlier entries
  uint64_t total = 0;
  const ProgressFn* progress = nullptr;
};

size_t ReadSome(Stream& s, char* buf, size_t want) {
  if (s.overLimit || s.readFailed || s.writeFailed) return 0;
  size_t got = 0;
  if (s.inMemory) {
    got = static_cast<size_t>(std::min<uint64_t>(want, s.size - s.read));
    if (got > 0) std::memcpy(buf, s.memory + s.read, got);
  } else {
    got = std::fread(buf, 1, want, s.in);
    if (got < want && std::ferror(s.in)) s.readFailed = true;
  }
  s.read += got;
  // A file that grew since it was measured would not match its ExpandedSize.
  if (s.read > s.size) s.readFailed = true;
  if (s.progress != nullptr && *s.progress) (*s.progress)(s.doneBefore + s.read, s.total);
  return got;
}

void WriteSome(Stream& s, const char* buf, size_t size) {
  if (size > s.room) {
    s.overLimit = true;
    return;
  }
  if (std::fwrite(buf, 1, size, s.out) != size) s.writeFailed = true;
  s.written += size;
  s.room -= size;
}

unsigned int ImplodeRead(char* buf, unsigned int* size, void* param) {
  return static_cast<unsigned int>(ReadSome(*static_cast<Stream*>(param), buf, *size));
}

void ImplodeWrite(char* buf, unsigned int* size, void* param) {
  WriteSome(*static_cast<Stream*>(param), buf, *size);
}

void Copy(Stream& s) {
  std::vector<char> buf(1 << 16);
  while (size_t got = ReadSome(s, buf.data(), buf.size())) WriteSome(s, buf.data(), got);
}

class Writer {
 public:
  Writer(const BuildPlan& plan, const ProgressFn& progress, const StepFn& step)
      : plan_(plan), progress_(progress), step_(step) {}

  Status Write(const std::string& outPath, WrittenInstaller& result) {
    const std::string part = outPath + ".part";
    Status status = WriteTo(part, result);
    std::error_code ec;
    if (status.ok()) {
      fs::resize_file(part, result.fileSize, ec);  // drops an imploded try that was kept stored
      if (!ec) fs::rename(part, outPath, ec);
      if (ec) status = Status::Fail(outPath + ": cannot write: " + ec.message());
    }
    if (!status.ok()) fs::remove(part, ec);
    return status;
  }

 private:
  Status WriteTo(const std::string& path, WrittenInstaller& result) {
    errno = 0;
    FilePtr out(std::fopen(path.c_str(), "wb+"));
    if (!out) return Status::Fail(path + ": cannot create: " + std::strerror(errno));
    uint64_t total = 0;
    for (const PlannedEntry& e : plan_.entries) total += e.used ? e.size : 0;

    const uint8_t zeros[ssi::kPayloadHeaderSize] = {};
    uint64_t pos = plan_.stub.size() + sizeof zeros;
    if (pos > kMaxInstallerSize) return Status::Fail(plan_.stubLabel + ": too large for a stub");
    if (std::fwrite(plan_.stub.data(), 1, plan_.stub.size(), out.get()) != plan_.stub.size() ||
        std::fwrite(zeros, 1, sizeof zeros, out.get()) != sizeof zeros)
      return WriteFailure(path);

    std::array<uint64_t, ssi::kPayloadEntryCount> length{};
    std::array<bool, ssi::kPayloadEntryCount> compressed{};
    uint64_t done = 0;
    for (int i = kFirstRole; i <= kLastRole; ++i) {
      const PlannedEntry& e = plan_.entries[static_cast<size_t>(i)];
      if (!e.used) continue;
      if (step_) step_(i);
      Stream s;
      s.out = out.get();
      s.room = kMaxInstallerSize - pos;
      s.doneBefore = done;
      s.total = total;
      s.progress = &progress_;
      const Status status = PackEntry(e, pos, s, compressed[static_cast<size_t>(i)]);
      if (!status.ok()) return Status::Fail(Where(i, e) + status.text());
      if (s.writeFailed) return WriteFailure(path);
      if (s.overLimit)
        return Status::Fail("the installer would grow past 2147483647 bytes while writing " +
                            Where(i, e) + "offsets are signed 32-bit");
      length[static_cast<size_t>(i)] = s.written;
      pos += s.written;
      done += e.size;
    }

    result.header = Header(length, compressed);
    uint8_t header[ssi::kPayloadHeaderSize];
    ssi::SerializePayloadHeader(result.header, header);
    if (std::fseek(out.get(), static_cast<long>(plan_.stub.size()), SEEK_SET) != 0 ||
        std::fwrite(header, 1, sizeof header, out.get()) != sizeof header)
      return WriteFailure(path);
    if (std::fclose(out.release()) != 0) return WriteFailure(path);
    result.fileSize = pos;
    return {};
  }

  static std::string Where(int i, const PlannedEntry& e) {
    return "entry " + std::to_string(i) + " (" + RoleName(i) + ", " + e.label + "): ";
  }

  static Status WriteFailure(const std::string& path) {
    return Status::Fail(path + ": cannot write: " + std::strerror(errno != 0 ? errno : EIO));
  }

  // Implodes the entry at `pos` and keeps it when that is smaller (or the
  // entry is empty: stored, it would have the length 0 that the stub
  // refuses); otherwise writes it again, stored, over the same place.
  Status PackEntry(const PlannedEntry& e, uint64_t pos, Stream& s, bool& compressed) {
    const Stream fresh = s;
    FilePtr in;
    auto open = [&]() -> Status {
      s.size = e.size;
      if (e.inMemory) {
        s.inMemory = true;
        s.memory = e.bytes.data();
        return {};
      }
      errno = 0;
      in.reset(std::fopen(e.path.c_str(), "rb"));
      if (!in) return Status::Fail("cannot open: " + std::string(std::strerror(errno)));
      s.in = in.get();
      return {};
    };
    auto finish = [&]() -> Status {
      if (s.readFailed)
        return Status::Fail(s.read > s.size ? "the file grew while it was read"
                                            : "cannot read: " + std::string(std::strerror(errno)));
      if (!s.overLimit && !s.writeFailed && s.read != s.size)
        return Status::Fail("the file shrank while it was read");
      return {};
    };
    Status status = open();
    if (!status.ok()) return status;
    compressed = false;
    if (e.compression.implode || e.size == 0) {
      const CompressionChoice use = e.compression.implode ? e.compression : CompressionChoice{};
      unsigned int type = use.ascii ? DCL_CMP_ASCII : DCL_CMP_BINARY;
      unsigned int dict = use.dictSize;
      std::vector<char> work(DCL_IMPLODE_WORK_SIZE);
      const unsigned int code =
          dcl_implode(ImplodeRead, ImplodeWrite, work.data(), &s, &type, &dict);
      if (code != DCL_CMP_NO_ERROR)
        return Status::Fail("the compressor failed with code " + std::to_string(code));
      status = finish();
      if (!status.ok() || s.overLimit || s.writeFailed) return status;
      if (s.written < s.size || s.size == 0) {
        compressed = true;
        return {};
      }
      // Stored is no larger: start this entry again.
      s = fresh;
      in.reset();
      if (std::fseek(s.out, static_cast<long>(pos), SEEK_SET) != 0) s.writeFailed = true;
      status = open();
      if (!status.ok()) return status;
    }
    Copy(s);
    return finish();
  }

  ssi::PayloadHeader Header(const std::array<uint64_t, ssi::kPayloadEntryCount>& length,
                            const std::array<bool, ssi::kPayloadEntryCount>& compressed) const {
    ssi::PayloadHeader h;
    h.displayMode = static_cast<uint8_t>(plan_.displayMode);
    h.licenceFlag = plan_.licenceFlag ? 1 : 0;
    h.readMeFlag = plan_.readMeFlag ? 1 : 0;
    h.displayPropertiesFlag = plan_.displayPropertiesFlag ? 1 : 0;
    h.SetSaverName(plan_.saverName);
    const auto stubSize = static_cast<int32_t>(plan_.stub.size());
    ssi::PayloadEntry& stub = h.entries[ssi::entry::kStub];
    stub.name = DefaultEntryName(ssi::entry::kStub, {}, {});
    stub.endOffset = stubSize - 1;
    stub.kind = RoleKind(ssi::entry::kStub);
    stub.expandedSize = stubSize;
    int32_t pos = stubSize + static_cast<int32_t>(ssi::kPayloadHeaderSize);
    for (size_t i = kFirstRole; i <= kLastRole; ++i) {
      const PlannedEntry& source = plan_.entries[i];
      if (!source.used) continue;
      const auto size = static_cast<int32_t>(length[i]);
      ssi::PayloadEntry& e = h.entries[i];
      e.name = source.name;
      e.startOffset = pos;
      e.endOffset = pos + size - 1;
      e.kind = source.kind;
      e.compressed = compressed[i] ? 1 : 0;
      e.storedSize = compressed[i] ? size : 0;
      e.expandedSize = static_cast<int32_t>(source.size);
      pos += size;
    }
    // Empty entries point at the next used entry's first byte.
    int32_t next = pos;
    for (size_t i = kLastRole; i >= kFirstRole; --i) {
      ssi::PayloadEntry& e = h.entries[i];
      if (plan_.entries[i].used) {
        next = e.startOffset;
        continue;
      }
      e = ssi::PayloadEntry{};
      e.startOffset = e.endOffset = next;
      e.kind = 5;
      e.compressed = 1;
    }
    return h;
  }

  const BuildPlan& plan_;
  const ProgressFn& progress_;
  const StepFn& step_;
};

}  // namespace

Status WriteInstaller(const BuildPlan& plan, const std::string& outPath, WrittenInstaller& out,
                      const ProgressFn& progress, const StepFn& step) {
  out = WrittenInstaller{};
  return Writer(plan, progress, step).Write(outPath, out);
}

}  // namespace ssbuild
