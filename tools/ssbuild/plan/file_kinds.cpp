#include "file_kinds.h"

#include "le_bytes.h"

namespace ssbuild {
namespace {

uint32_t U32At(const Bytes& b, size_t at) { return at + 4 <= b.size() ? ssi::ReadU32(&b[at]) : 0; }
uint32_t U16At(const Bytes& b, size_t at) {
  return at + 2 <= b.size() ? uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 : 0;
}

}  // namespace

std::string BitmapProblem(const Bytes& head, uint64_t fileSize) {
  if (head.size() < 26 || head[0] != 'B' || head[1] != 'M') return "it is not a BMP file";
  const uint32_t infoSize = U32At(head, 14);
  uint32_t planes = 0;
  uint32_t bits = 0;
  uint32_t compression = 0;
  if (infoSize == 12) {  // the OS/2 core header
    planes = U16At(head, 22);
    bits = U16At(head, 24);
  } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 ||
             infoSize == 124) {
    if (head.size() < 54) return "its header is cut short";
    const auto width = static_cast<int32_t>(U32At(head, 18));
    const auto height = static_cast<int32_t>(U32At(head, 22));
    if (width <= 0 || height == 0) return "its width or height is 0 or negative";
    planes = U16At(head, 26);
    bits = U16At(head, 28);
    compression = U32At(head, 30);
  } else {
    return "its info header of " + std::to_string(infoSize) + " bytes is of no known kind";
  }
  if (planes != 1) return "it has " + std::to_string(planes) + " planes, not 1";
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return std::to_string(bits) + " bits a pixel is not a bitmap format";
  if (compression == 4 || compression == 5)
    return "it holds a JPEG or PNG picture, which Windows does not load from a BMP file";
  if (compression > 6) return "compression " + std::to_string(compression) + " is unknown";
  if (U32At(head, 10) >= fileSize) return "its pixels would start past the end of the file";
  return {};
}

std::string Win32ProgramProblem(const Bytes& head) {
  if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return "it is not a Windows program";
  const uint32_t pe = U32At(head, 60);
  if (pe > head.size() - 24 || U32At(head, pe) != 0x4550)
    return "it is not a Windows program (an MS-DOS one, or its PE header lies far out)";
  const uint32_t machine = U16At(head, pe + 4);
  if (machine != 0x14C)
    return "it is not a 32-bit x86 program (machine 0x" + [&] {
      static const char* digits = "0123456789abcdef";
      std::string hex;
      for (int shift = 12; shift >= 0; shift -= 4) hex += digits[(machine >> shift) & 15];
      return hex;
    }() + ")";
  if (U16At(head, pe + 22) & 0x2000) return "it is a library (DLL), not a program";
  return {};
}

std::string FlashMovieProblem(const Bytes& head) {
  if (head.size() >= 3 && (head[0] == 'F' || head[0] == 'C' || head[0] == 'Z') && head[1] == 'W' &&
      head[2] == 'S')
    return {};
  return "it is not a Flash movie (no FWS, CWS or ZWS at its start)";
}

}  // namespace ssbuild
