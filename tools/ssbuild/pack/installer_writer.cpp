#include "installer_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

#include "entry_stream.h"
#include "installer_builder.h"
#include "interrupt_cleanup.h"
#include "native_file.h"
#include "pack_threads.h"
#include "payload_roles.h"
#ifdef SSBUILD_THREADS
#include <condition_variable>
#include <mutex>
#endif

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

// One entry's packing. With helper threads, an entry to implode is imploded
// by a helper into a file of its own beside the output, which the writer
// then appends in entry order; `read` feeds the progress line either way.
struct EntryWork {
  std::atomic<uint64_t> read{0};
  bool helped = false;  // imploded by a helper into `temp`
  std::string temp;
  PackTarget target;
  Status status;
  bool kept = false;  // the imploded form is smaller
  bool done = false;  // guarded by Writer::mutex_
};

// Removes the helpers' files however the build ends, an interrupt included.
struct TempFiles {
  std::vector<std::string> paths;
  std::vector<std::unique_ptr<RemoveOnInterrupt>> guards;
  void Add(const std::string& path) {
    paths.push_back(path);
    guards.push_back(std::make_unique<RemoveOnInterrupt>(path));
  }
  ~TempFiles() {
    for (const std::string& p : paths) RemoveFile(p);
  }
};

class Writer {
 public:
  Writer(const BuildPlan& plan, const InputSource& inputs, unsigned threads,
         const ProgressFn& progress, const StepFn& step)
      : plan_(plan), inputs_(inputs), threads_(threads), progress_(progress), step_(step) {
    for (const PlannedEntry& e : plan_.entries) total_ += e.used ? e.size : 0;
  }

  Status Write(const std::string& outPath, WrittenInstaller& result) {
    const std::string part = outPath + ".part";
    RemoveOnInterrupt guard(part);
    Status status = WriteTo(part, result);
    std::error_code ec;
    if (status.ok()) {
      fs::resize_file(FsPath(part), result.fileSize, ec);  // drops an imploded try kept stored
      if (ec) status = Status::Fail(outPath + ": cannot write: " + ec.message());
    }
    if (status.ok()) {
      const std::string reason = RenameFile(part, outPath);
      if (!reason.empty()) status = Status::Fail(outPath + ": cannot write: " + reason);
    }
    if (!status.ok()) RemoveFile(part);
    return status;
  }

 private:
  Status WriteTo(const std::string& path, WrittenInstaller& result) {
    std::string reason;
    FilePtr out = OpenFile(path, FileMode::kCreateRead, reason);
    if (!out) return Status::Fail(path + ": cannot create: " + reason);

    const uint8_t zeros[ssi::kPayloadHeaderSize] = {};
    uint64_t pos = plan_.stub.size() + sizeof zeros;
    if (pos > kMaxInstallerSize) return Status::Fail(plan_.stubLabel + ": too large for a stub");
    if (std::fwrite(plan_.stub.data(), 1, plan_.stub.size(), out.get()) != plan_.stub.size() ||
        std::fwrite(zeros, 1, sizeof zeros, out.get()) != sizeof zeros)
      return WriteFailure(path);

    // Declared before the helpers, so that they are stopped and joined
    // before their files are removed.
    TempFiles temps;
    Helpers helpers(*this);
    StartHelpers(path, temps, helpers);

    std::array<uint64_t, ssi::kPayloadEntryCount> length{};
    std::array<bool, ssi::kPayloadEntryCount> compressed{};
    for (int i = kFirstRole; i <= kLastRole; ++i) {
      const PlannedEntry& e = plan_.entries[static_cast<size_t>(i)];
      if (!e.used) continue;
      if (step_) step_(i);
      PackTarget target;
      target.file = out.get();
      target.room = kMaxInstallerSize - pos;
      bool kept = false;
      const Status status = PackEntry(i, pos, target, kept, helpers);
      if (!status.ok()) return status;
      if (target.writeFailed) return WriteFailure(path);
      if (target.overLimit)
        return Status::Fail("the installer would grow past 2147483647 bytes while writing " +
                            Where(i, e) + "offsets are signed 32-bit");
      length[static_cast<size_t>(i)] = target.written;
      compressed[static_cast<size_t>(i)] = kept;
      pos += target.written;
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

  // The helper threads, stopped and joined when they go out of scope.
  class Helpers {
   public:
    explicit Helpers(Writer& writer) : writer_(writer) {}
    Helpers(const Helpers&) = delete;
    Helpers& operator=(const Helpers&) = delete;
    ~Helpers() { StopAndJoin(); }
    void Start(unsigned count) {
#ifdef SSBUILD_THREADS
      for (unsigned t = 0; t < count; ++t) {
        try {
          threads_.emplace_back([this] { writer_.Help(); });
        } catch (const std::system_error&) {
          break;  // the ones running do all the work
        }
      }
#else
      (void)count;
#endif
      // Without a helper the work is done here, before the writer waits for it.
      if (Running() == 0) writer_.Help();
    }
    void StopAndJoin() {
      writer_.stop_ = true;
#ifdef SSBUILD_THREADS
      for (std::thread& t : threads_) t.join();
      threads_.clear();
#endif
    }

   private:
    size_t Running() const {
#ifdef SSBUILD_THREADS
      return threads_.size();
#else
      return 0;
#endif
    }
    Writer& writer_;
#ifdef SSBUILD_THREADS
    std::vector<std::thread> threads_;
#endif
  };

  // Hands every entry to implode to helpers when more than one can run.
  void StartHelpers(const std::string& path, TempFiles& temps, Helpers& helpers) {
#ifdef SSBUILD_THREADS
    unsigned threads = threads_ == 0 ? std::max(1u, std::thread::hardware_concurrency()) : threads_;
#else
    unsigned threads = 1;
#endif
    std::vector<int> order;
    for (int i = kFirstRole; i <= kLastRole; ++i) {
      const PlannedEntry& e = plan_.entries[static_cast<size_t>(i)];
      if (e.used && (e.compression.implode || e.size == 0)) order.push_back(i);
    }
    if (threads < 2 || order.size() < 2) return;
    for (int i : order) {
      EntryWork& w = work_[static_cast<size_t>(i)];
      w.helped = true;
      w.temp = path + "-" + std::to_string(i);
      temps.Add(w.temp);
    }
    order_ = order;
    helpers.Start(static_cast<unsigned>(std::min<size_t>(threads, order.size())));
  }

  // A helper's loop: the next entry to implode, in entry order, until none
  // is left or the build has failed.
  void Help() {
    for (size_t k = next_++; k < order_.size(); k = next_++) {
      EntryWork& w = work_[static_cast<size_t>(order_[k])];
      ImplodeToTemp(plan_.entries[static_cast<size_t>(order_[k])], w);
      if (!w.status.ok() && !w.target.cancelled) stop_ = true;
#ifdef SSBUILD_THREADS
      {
        std::lock_guard<std::mutex> lock(mutex_);
        w.done = true;
      }
      doneSignal_.notify_all();
#endif
    }
  }

  void ImplodeToTemp(const PlannedEntry& e, EntryWork& w) {
    std::string reason;
    FilePtr file = OpenFile(w.temp, FileMode::kCreate, reason);
    if (!file) {
      w.status = Status::Fail(w.temp + ": cannot create: " + reason);
      return;
    }
    w.target.file = file.get();
    w.target.room = kMaxInstallerSize;
    PackWatch watch;
    watch.read = &w.read;
    watch.stop = &stop_;
    w.status = TryImplodeEntry(e, inputs_, w.target, watch, w.kept);
    if (std::fclose(file.release()) != 0) w.target.writeFailed = true;
    if (w.status.ok() && w.target.writeFailed)
      w.status =
          Status::Fail(w.temp + ": cannot write: " + std::strerror(errno != 0 ? errno : EIO));
    if (!w.kept) RemoveFile(w.temp);  // the entry is stored: its disk space back now
  }

  // Waits for a helper to finish entry i, keeping the progress line moving.
  void WaitFor(int i) {
#ifdef SSBUILD_THREADS
    EntryWork& w = work_[static_cast<size_t>(i)];
    std::unique_lock<std::mutex> lock(mutex_);
    while (!doneSignal_.wait_for(lock, std::chrono::milliseconds(200), [&] { return w.done; }))
      Tick();
#else
    (void)i;  // Help() ran to the end before the writer began
#endif
  }

  // What stopped the helpers: the failure of the first entry that failed by
  // itself rather than being called off.
  Status HelpersFailure(Helpers& helpers) {
    helpers.StopAndJoin();
    for (int i : order_) {
      const EntryWork& w = work_[static_cast<size_t>(i)];
      if (!w.status.ok() && !w.target.cancelled)
        return Status::Fail(Where(i, plan_.entries[static_cast<size_t>(i)]) + w.status.text());
    }
    return Status::Fail("the build was called off");
  }

  // Packs entry i at `pos`: appends what a helper imploded, or implodes it
  // here, and copies it as it is when imploding does not make it smaller. A
  // failure names the entry it comes from.
  Status PackEntry(int i, uint64_t pos, PackTarget& target, bool& kept, Helpers& helpers) {
    const PlannedEntry& e = plan_.entries[static_cast<size_t>(i)];
    if (work_[static_cast<size_t>(i)].helped) {
      WaitFor(i);
      if (work_[static_cast<size_t>(i)].target.cancelled) return HelpersFailure(helpers);
    }
    const Status status = PackHere(i, pos, target, kept);
    return status.ok() ? status : Status::Fail(Where(i, e) + status.text());
  }

  Status PackHere(int i, uint64_t pos, PackTarget& target, bool& kept) {
    const PlannedEntry& e = plan_.entries[static_cast<size_t>(i)];
    EntryWork& w = work_[static_cast<size_t>(i)];
    std::function<void()> tick = [this] { Tick(); };
    PackWatch watch;
    watch.read = &w.read;
    watch.tick = &tick;
    if (w.helped) {
      if (!w.status.ok()) return w.status;
      if (w.target.overLimit) {
        target.overLimit = true;
        return {};
      }
      if (w.kept) {
        kept = true;
        return Append(w.temp, target);
      }
    } else {
      const Status status = TryImplodeEntry(e, inputs_, target, watch, kept);
      if (!status.ok() || kept || target.overLimit || target.writeFailed) return status;
      // Stored is no larger: start this entry again.
      target.written = 0;
      if (std::fseek(target.file, static_cast<long>(pos), SEEK_SET) != 0) {
        target.writeFailed = true;
        return {};
      }
    }
    return CopyEntry(e, inputs_, target, watch);
  }

  // Appends a helper's file to the output.
  static Status Append(const std::string& temp, PackTarget& target) {
    std::string reason;
    FilePtr in = OpenFile(temp, FileMode::kRead, reason);
    if (!in) return Status::Fail(temp + ": cannot open: " + reason);
    std::vector<char> buf(1 << 16);
    while (size_t got = std::fread(buf.data(), 1, buf.size(), in.get())) {
      if (got > target.room) {
        target.overLimit = true;
        return {};
      }
      if (std::fwrite(buf.data(), 1, got, target.file) != got) {
        target.writeFailed = true;
        return {};
      }
      target.written += got;
      target.room -= got;
    }
    if (std::ferror(in.get())) return Status::Fail(temp + ": cannot read");
    in.reset();
    RemoveFile(temp);
    return {};
  }

  void Tick() {
    if (!progress_) return;
    uint64_t done = 0;
    for (size_t i = kFirstRole; i <= kLastRole; ++i)
      done += std::min<uint64_t>(work_[i].read.load(), plan_.entries[i].size);
    progress_(done, total_);
  }

  static std::string Where(int i, const PlannedEntry& e) {
    return "entry " + std::to_string(i) + " (" + RoleName(i) + ", " + e.label + "): ";
  }

  static Status WriteFailure(const std::string& path) {
    return Status::Fail(path + ": cannot write: " + std::strerror(errno != 0 ? errno : EIO));
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
  const InputSource& inputs_;
  const unsigned threads_;
  const ProgressFn& progress_;
  const StepFn& step_;
  uint64_t total_ = 0;
  std::array<EntryWork, ssi::kPayloadEntryCount> work_{};
  std::vector<int> order_;  // the entries the helpers implode
  std::atomic<size_t> next_{0};
  std::atomic<bool> stop_{false};
#ifdef SSBUILD_THREADS
  std::mutex mutex_;
  std::condition_variable doneSignal_;
#endif
};

}  // namespace

Status WriteInstaller(const BuildPlan& plan, const InputSource& inputs, const std::string& outPath,
                      unsigned threads, WrittenInstaller& out, const ProgressFn& progress,
                      const StepFn& step) {
  out = WrittenInstaller{};
  return Writer(plan, inputs, threads, progress, step).Write(outPath, out);
}

}  // namespace ssbuild
