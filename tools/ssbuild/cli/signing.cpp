#include "signing.h"

#include "interrupt_cleanup.h"
#include "native_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "installer_examiner.h"
#include "le_bytes.h"

namespace ssbuild {
namespace {

uint32_t U32(const Bytes& b, uint64_t at) {
  return at + 4 <= b.size() ? ssi::ReadU32(&b[static_cast<size_t>(at)]) : 0;
}

std::string Quoted(const std::string& path) {
#ifdef _WIN32
  return "\"" + path + "\"";
#else
  std::string out = "'";
  for (const char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
#endif
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// Where the used entries end: the installer proper, without what follows.
uint64_t PayloadEnd(const Bytes& image) {
  InstallerView view;
  if (!ReadInstaller(image, std::nullopt, view).ok()) return image.size();
  uint64_t end = uint64_t{view.payloadOffset} + ssi::kPayloadHeaderSize;
  for (size_t i = 1; i < view.header.entries.size(); ++i) {
    const ssi::PayloadEntry& e = view.header.entries[i];
    if (e.IsEmpty() || e.endOffset < 0) continue;
    end = std::max(end, static_cast<uint64_t>(e.endOffset) + 1);
  }
  return end;
}

}  // namespace

AppendedSignature FindAppendedSignature(const Bytes& image) {
  AppendedSignature found;
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return found;
  const uint64_t pe = U32(image, 60);
  if (U32(image, pe) != 0x4550) return found;
  const uint64_t optional = pe + 24;
  const uint32_t magic = U32(image, optional) & 0xFFFF;
  const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
  const uint32_t count = U32(image, directories - 4);
  if ((magic != 0x10B && magic != 0x20B) || count <= 4) return found;
  const uint64_t offset = U32(image, directories + 4 * 8);
  const uint64_t size = U32(image, directories + 4 * 8 + 4);
  if (size < 8 || offset + size != image.size()) return found;
  found.present = true;
  found.offset = offset;
  found.size = size;
  return found;
}

AppendedSignature StripAppendedSignature(Bytes& image) {
  const AppendedSignature found = FindAppendedSignature(image);
  if (!found.present) return found;
  image.resize(static_cast<size_t>(found.offset));
  const uint64_t end = PayloadEnd(image);
  if (end < image.size() && image.size() - end < 8) {
    bool zeros = true;
    for (uint64_t i = end; i < image.size(); ++i)
      zeros = zeros && image[static_cast<size_t>(i)] == 0;
    if (zeros) image.resize(static_cast<size_t>(end));
  }
  return found;
}

std::string SignCommandProblem(const std::string& command) {
  if (command.find("{out}") == std::string::npos)
    return "the signing command \"" + command +
           "\" names no {out}: give the file it writes (or signs in place) as {out}";
  return {};
}

std::string UnsignedPath(const BuildProject& project) {
  if (project.signCommand.find("{in}") == std::string::npos) return project.output;
  return project.output + ".unsigned";
}

Status SignAndCheck(const std::string& command, const std::string& in, const std::string& out,
                    bool allowIncomplete) {
  std::string line = command;
  ReplaceAll(line, "{in}", Quoted(in));
  ReplaceAll(line, "{out}", Quoted(out));
  std::fflush(nullptr);
  // What the signer leaves half-written goes too when the build is interrupted.
  const RemoveOnInterrupt unsignedGuard(in);
  const RemoveOnInterrupt signedGuard(out);
#ifdef _WIN32
  const int status = _wsystem(WideFromUtf8(line).c_str());
#else
  const int status = std::system(line.c_str());
#endif
  if (in != out) RemoveFile(in);
  if (status != 0)
    return Status::Fail("the signing command failed (status " + std::to_string(status) +
                        "): " + line);
  Bytes image;
  Status read = ReadWholeFile(out, image);
  if (!read.ok()) return Status::Fail("after signing: " + read.text());
  if (!StripAppendedSignature(image).present)
    return Status::Fail(out + ": the signing command left no signature behind the payload");
  InstallerView view;
  read = ReadInstaller(image, std::nullopt, view);
  if (!read.ok()) return Status::Fail(out + ": after signing: " + read.text());
  VerifyOptions options;
  options.allowIncomplete = allowIncomplete;
  const std::vector<std::string> problems = VerifyInstaller(image, view, options);
  if (!problems.empty()) return Status::Fail(out + ": after signing: " + problems.front());
  return {};
}

}  // namespace ssbuild
