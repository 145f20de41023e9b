// Linked into the stub only: the unwinder that C++ exceptions run on, in
// place of the runtime's (a general DWARF call-frame interpreter with
// expression evaluation, forced unwinding, backtraces and a sorted, locked
// registry of unwind tables: 13 KB, a seventh of the stub). The stub throws
// only on failures, runs one thread and has one table, its own .eh_frame
// section, so this walks that table for each frame and knows only the rules
// GCC writes for 32-bit x86 code. A frame it cannot read ends the search, as
// the end of the stack does: the runtime then terminates, as it would for an
// exception that no handler catches.
//
// The table holds records of the DWARF call-frame format: a 4-byte length
// (0 ends the table), a 4-byte pointer back to the record's CIE (0 marks a
// CIE itself), then for an FDE the start address of its code and the code's
// length, in the encoding the CIE's 'R' augmentation names, its language
// data (the C++ catch tables) and the instructions that say, address by
// address, where the caller's registers are kept.
//
// Built without link-time optimisation (src/CMakeLists.txt): the entry points
// are assembly, and the runtime's objects, which call them, are not in the
// optimiser's view.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include <unwind.h>

namespace {

// DWARF's numbers for the registers of 32-bit x86; the order of the block
// the entry points below save.
enum Register { kEax, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi, kEip, kRegisters };

// Pointer encodings (DW_EH_PE_*): the low four bits the value's form, bits
// 4-6 what it is relative to, bit 7 an indirection.
constexpr unsigned kAbsolute = 0x00, kUdata4 = 0x03, kSdata4 = 0x0B, kPcRelative = 0x10,
                   kIndirect = 0x80, kOmit = 0xFF;

// The program's .eh_frame section (the section table keeps 8 characters of
// a name), as [begin, end); empty when there is none.
struct Table {
  const unsigned char* begin;
  const unsigned char* end;
};

}  // namespace

// The image's own DOS header, whose address the linker fills in (no call to
// the system for the module's handle).
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

Table FindTable() {
  const auto* image = reinterpret_cast<const unsigned char*>(&__ImageBase);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  const auto* section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
      reinterpret_cast<const unsigned char*>(&nt->OptionalHeader) +
      nt->FileHeader.SizeOfOptionalHeader);
  for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::memcmp(section->Name, ".eh_fram", 8) == 0) {
      const unsigned char* const begin = image + section->VirtualAddress;
      return {begin, begin + section->Misc.VirtualSize};
    }
  }
  return {nullptr, nullptr};
}

uint32_t Read32(const unsigned char* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);  // x86: the table's byte order
  return value;
}

// A LEB128 number: 7 bits a byte, low first. Signed ones are two's
// complement, so the offsets below wrap as addresses do.
uint32_t ReadLeb128(const unsigned char*& p, bool isSigned) {
  uint32_t value = 0;
  unsigned shift = 0;
  unsigned char byte;
  do {
    byte = *p++;
    if (shift < 32) value |= uint32_t{byte & 0x7Fu} << shift;
    shift += 7;
  } while (byte & 0x80);
  if (isSigned && shift < 32 && (byte & 0x40)) value |= ~uint32_t{0} << shift;
  return value;
}

uint32_t ReadUleb128(const unsigned char*& p) { return ReadLeb128(p, false); }
uint32_t ReadSleb128(const unsigned char*& p) { return ReadLeb128(p, true); }

// A pointer in the given encoding, and p moved past it. The stub's compiler
// writes 4-byte values, absolute or relative to their own address, and an
// indirection for the personality routine; anything else fails. A zero
// stays zero (no language data), as the format has it.
bool ReadPointer(unsigned encoding, const unsigned char*& p, uint32_t& value) {
  const unsigned form = encoding & 0x0F;
  if ((form != kAbsolute && form != kUdata4 && form != kSdata4) || (encoding & 0x70) > kPcRelative)
    return false;
  value = Read32(p);
  if (value != 0) {
    if (encoding & kPcRelative) value += static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
    if (encoding & kIndirect) value = *reinterpret_cast<const uint32_t*>(value);
  }
  p += 4;
  return true;
}

// Where a register of the caller is: unchanged, saved at an offset from the
// frame's CFA (the stack pointer before the call that made the frame), or
// held in another register.
enum Where : unsigned char { kSame, kAtOffset, kInRegister };
struct Rule {
  Where where;
  uint32_t value;
};

// One row of the table: the CFA as a register plus an offset, the rules,
// and the bytes of arguments pushed for a call at this address.
struct Row {
  unsigned cfaRegister;
  uint32_t cfaOffset;
  Rule rules[kRegisters];
  uint32_t argsSize;
};

// What a CIE says about its FDEs.
struct Cie {
  uint32_t codeAlign;
  uint32_t dataAlign;
  unsigned returnColumn;
  unsigned fdeEncoding;
  unsigned lsdaEncoding;
  uint32_t personality;
  const unsigned char* instructions;
  const unsigned char* end;
};

bool ReadCie(const unsigned char* record, Cie& cie) {
  const unsigned char* p = record + 8;  // length, CIE id
  const unsigned version = *p++;
  if (version != 1 && version != 3) return false;
  const char* augmentation = reinterpret_cast<const char*>(p);
  p += std::strlen(augmentation) + 1;
  cie.codeAlign = ReadUleb128(p);
  cie.dataAlign = ReadSleb128(p);
  cie.returnColumn = version == 1 ? *p++ : ReadUleb128(p);
  cie.fdeEncoding = kAbsolute;
  cie.lsdaEncoding = kOmit;
  cie.personality = 0;
  cie.end = record + 4 + Read32(record);
  if (*augmentation == 'z') {
    const uint32_t length = ReadUleb128(p);
    cie.instructions = p + length;
    for (const char* a = augmentation + 1; *a; ++a) {
      if (*a == 'R') {
        cie.fdeEncoding = *p++;
      } else if (*a == 'L') {
        cie.lsdaEncoding = *p++;
      } else if (*a == 'P') {
        const unsigned encoding = *p++;
        if (!ReadPointer(encoding, p, cie.personality)) return false;
      } else {
        return false;  // 'S' (a signal frame) and the rest: never in the stub
      }
    }
  } else if (*augmentation != '\0') {
    return false;
  } else {
    cie.instructions = p;
  }
  return cie.returnColumn == kEip;
}

// A frame being unwound: the registers as they are in the frame at its call
// (kEsp: the callee's CFA, kEip: the return address), and what its unwind
// record says. The unwinder's interface passes it as the "context".
struct Frame {
  uint32_t registers[kRegisters];
  uint32_t cfa;
  uint32_t codeStart;
  uint32_t lsda;
  uint32_t personality;
  Row row;
};

// Runs the instructions from p to end on the row until the code address
// passes pc. `initial` is the CIE's row, which a restore goes back to.
bool Execute(const unsigned char* p, const unsigned char* end, const Cie& cie, uint32_t location,
             uint32_t pc, Row& row, const Row& initial) {
  Row saved[4];
  unsigned depth = 0;
  while (p < end && location <= pc) {
    const unsigned op = *p++;
    uint32_t reg = op & 0x3F, operand = 0;
    switch (op & 0xC0) {
      case 0x40:  // advance_loc
        location += reg * cie.codeAlign;
        continue;
      case 0x80:  // offset
        operand = ReadUleb128(p);
        break;
      case 0xC0:  // restore
        if (reg >= kRegisters) return false;
        row.rules[reg] = initial.rules[reg];
        continue;
      default:
        switch (op) {
          case 0x00:  // nop
            continue;
          case 0x02:  // advance_loc1
            location += *p++ * cie.codeAlign;
            continue;
          case 0x03:  // advance_loc2
            location += (p[0] | p[1] << 8) * cie.codeAlign;
            p += 2;
            continue;
          case 0x04:  // advance_loc4
            location += Read32(p) * cie.codeAlign;
            p += 4;
            continue;
          case 0x05:  // offset_extended
            reg = ReadUleb128(p);
            operand = ReadUleb128(p);
            break;
          case 0x11:  // offset_extended_sf
            reg = ReadUleb128(p);
            operand = ReadSleb128(p);
            break;
          case 0x06:  // restore_extended
            reg = ReadUleb128(p);
            if (reg >= kRegisters) return false;
            row.rules[reg] = initial.rules[reg];
            continue;
          case 0x08:  // same_value
            reg = ReadUleb128(p);
            if (reg >= kRegisters) return false;
            row.rules[reg] = {kSame, 0};
            continue;
          case 0x09:  // register
            reg = ReadUleb128(p);
            operand = ReadUleb128(p);
            if (reg >= kRegisters || operand >= kRegisters) return false;
            row.rules[reg] = {kInRegister, operand};
            continue;
          case 0x0A:  // remember_state
            if (depth == 4) return false;
            saved[depth++] = row;
            continue;
          case 0x0B:  // restore_state
            if (depth == 0) return false;
            {
              const uint32_t argsSize = row.argsSize;
              row = saved[--depth];
              row.argsSize = argsSize;
            }
            continue;
          case 0x0C:  // def_cfa
            row.cfaRegister = ReadUleb128(p);
            row.cfaOffset = ReadUleb128(p);
            continue;
          case 0x12:  // def_cfa_sf
            row.cfaRegister = ReadUleb128(p);
            row.cfaOffset = ReadSleb128(p) * cie.dataAlign;
            continue;
          case 0x0D:  // def_cfa_register
            row.cfaRegister = ReadUleb128(p);
            continue;
          case 0x0E:  // def_cfa_offset
            row.cfaOffset = ReadUleb128(p);
            continue;
          case 0x13:  // def_cfa_offset_sf
            row.cfaOffset = ReadSleb128(p) * cie.dataAlign;
            continue;
          case 0x2E:  // GNU_args_size
            row.argsSize = ReadUleb128(p);
            continue;
          default:  // expressions (a realigned stack), set_loc, undefined, ...
            return false;
        }
    }
    // offset, offset_extended(_sf): saved at a factored offset from the CFA
    if (reg >= kRegisters) return false;
    row.rules[reg] = {kAtOffset, operand * cie.dataAlign};
  }
  return row.cfaRegister < kRegisters;
}

// Finds the frame's unwind record and reads its row at the call, which the
// return address follows. False when the code has no record (the system's
// own frames, the end of the stack) or one of a form the stub never has.
bool Describe(Frame& frame) {
  const uint32_t pc = frame.registers[kEip] - 1;
  const Table table = FindTable();
  for (const unsigned char* record = table.begin; table.end - record >= 8;) {
    const uint32_t length = Read32(record);
    if (length == 0 || length == 0xFFFFFFFFu) break;  // the end, or a 64-bit table
    if (length > static_cast<uint32_t>(table.end - record) - 4) break;
    const unsigned char* const end = record + 4 + length;
    const uint32_t cieOffset = Read32(record + 4);
    Cie cie;
    const unsigned char* p = record + 8;
    uint32_t start, size;
    if (cieOffset != 0 && ReadCie(record + 4 - cieOffset, cie) &&
        ReadPointer(cie.fdeEncoding, p, start) && ReadPointer(cie.fdeEncoding & 0x0F, p, size) &&
        pc - start < size) {
      frame.codeStart = start;
      frame.personality = cie.personality;
      frame.lsda = 0;
      const uint32_t augmentationLength = ReadUleb128(p);
      const unsigned char* instructions = p + augmentationLength;
      if (cie.lsdaEncoding != kOmit && !ReadPointer(cie.lsdaEncoding, p, frame.lsda)) return false;
      Row initial{};
      if (!Execute(cie.instructions, cie.end, cie, 0, 0xFFFFFFFFu, initial, initial)) return false;
      frame.row = initial;
      if (!Execute(instructions, end, cie, start, pc, frame.row, initial)) return false;
      frame.cfa = frame.registers[frame.row.cfaRegister] + frame.row.cfaOffset;
      return true;
    }
    record = end;
  }
  return false;
}

// Moves to the caller: its registers from the described frame's rules.
void StepToCaller(Frame& frame) {
  uint32_t caller[kRegisters];
  for (unsigned r = 0; r < kRegisters; ++r) {
    const Rule& rule = frame.row.rules[r];
    caller[r] = rule.where == kAtOffset
                    ? *reinterpret_cast<const uint32_t*>(frame.cfa + rule.value)
                    : frame.registers[rule.where == kInRegister ? rule.value : r];
  }
  caller[kEsp] = frame.cfa;
  std::memcpy(frame.registers, caller, sizeof caller);
}

using Personality = _Unwind_Reason_Code (*)(int, _Unwind_Action, _Unwind_Exception_Class,
                                            _Unwind_Exception*, _Unwind_Context*);

_Unwind_Reason_Code CallPersonality(Frame& frame, _Unwind_Action actions,
                                    _Unwind_Exception* exception) {
  if (frame.personality == 0) return _URC_CONTINUE_UNWIND;
  return reinterpret_cast<Personality>(frame.personality)(
      1, actions, exception->exception_class, exception,
      reinterpret_cast<_Unwind_Context*>(&frame));
}

}  // namespace

extern "C" {

// Enters a landing pad: the registers of its frame (eax and edx the
// exception and its handler's number, ecx free), the stack pointer with the
// call's pushed arguments given up, then a jump.
[[noreturn]] void ssi_unwind_install(const uint32_t* registers);
asm(R"(
  .text
  .globl _ssi_unwind_install
  .def _ssi_unwind_install; .scl 2; .type 32; .endef
_ssi_unwind_install:
  movl 4(%esp), %ecx
  movl 0(%ecx), %eax
  movl 8(%ecx), %edx
  movl 12(%ecx), %ebx
  movl 20(%ecx), %ebp
  movl 24(%ecx), %esi
  movl 28(%ecx), %edi
  movl 16(%ecx), %esp
  jmp *32(%ecx)
)");
}

namespace {

// Phase two: from the given frame up to the handler's, whose CFA phase one
// kept in private_2, each frame's cleanups run and the handler is entered.
[[noreturn]] void Cleanup(Frame& frame, _Unwind_Exception* exception) {
  for (;;) {
    if (!Describe(frame)) std::abort();
    const bool handler = frame.cfa == exception->private_2;
    const _Unwind_Reason_Code code = CallPersonality(
        frame, handler ? _UA_CLEANUP_PHASE | _UA_HANDLER_FRAME : _UA_CLEANUP_PHASE, exception);
    if (code == _URC_INSTALL_CONTEXT) {
      frame.registers[kEsp] += frame.row.argsSize;
      ssi_unwind_install(frame.registers);
    }
    if (code != _URC_CONTINUE_UNWIND || handler) std::abort();
    StepToCaller(frame);
  }
}

}  // namespace

extern "C" {

// The entry points' second half, with the registers of their caller's
// frame. Phase one looks for a handler without changing anything; the
// stack is unwound only when there is one (else terminate, with every
// object still there for a debugger).
_Unwind_Reason_Code ssi_unwind_raise(_Unwind_Exception* exception, const uint32_t* registers,
                                     int resume) {
  Frame frame;
  std::memcpy(frame.registers, registers, sizeof frame.registers);
  if (resume) Cleanup(frame, exception);
  Frame search = frame;
  for (;;) {
    if (!Describe(search)) return _URC_END_OF_STACK;
    const _Unwind_Reason_Code code = CallPersonality(search, _UA_SEARCH_PHASE, exception);
    if (code == _URC_HANDLER_FOUND) break;
    if (code != _URC_CONTINUE_UNWIND) return _URC_FATAL_PHASE1_ERROR;
    StepToCaller(search);
  }
  exception->private_1 = 0;
  exception->private_2 = search.cfa;
  Cleanup(frame, exception);
}

// _Unwind_RaiseException(exception) and _Unwind_Resume(exception) save the
// caller's registers as they will be after the return (kEax..kEip, the
// order of Register) and pass them on. A rethrow is a new raise (the stub
// does not unwind by force). The symbols are declared functions (.def), as
// the compiler declares its own.
asm(R"(
  .text
  .globl __Unwind_RaiseException
  .globl __Unwind_Resume_or_Rethrow
  .globl __Unwind_Resume
  .def __Unwind_Resume; .scl 2; .type 32; .endef
  .def __Unwind_RaiseException; .scl 2; .type 32; .endef
  .def __Unwind_Resume_or_Rethrow; .scl 2; .type 32; .endef
__Unwind_Resume:
  movl $1, %edx
  jmp 1f
__Unwind_RaiseException:
__Unwind_Resume_or_Rethrow:
  xorl %edx, %edx
1:
  movl 4(%esp), %ecx
  leal 4(%esp), %eax
  pushl (%esp)
  pushl %edi
  pushl %esi
  pushl %ebp
  pushl %eax
  pushl %ebx
  subl $12, %esp
  movl %esp, %eax
  pushl %edx
  pushl %eax
  pushl %ecx
  call _ssi_unwind_raise
  addl $48, %esp
  ret
)");

// What the personality routine asks of a frame. The text and data bases
// belong to encodings the stub's compiler does not write.
uintptr_t _Unwind_GetIPInfo(_Unwind_Context* context, int* beforeInstruction) {
  *beforeInstruction = 0;
  return reinterpret_cast<Frame*>(context)->registers[kEip];
}
void _Unwind_SetIP(_Unwind_Context* context, uintptr_t value) {
  reinterpret_cast<Frame*>(context)->registers[kEip] = value;
}
void _Unwind_SetGR(_Unwind_Context* context, int index, uintptr_t value) {
  reinterpret_cast<Frame*>(context)->registers[index] = value;
}
void* _Unwind_GetLanguageSpecificData(_Unwind_Context* context) {
  return reinterpret_cast<void*>(reinterpret_cast<Frame*>(context)->lsda);
}
uintptr_t _Unwind_GetRegionStart(_Unwind_Context* context) {
  return reinterpret_cast<Frame*>(context)->codeStart;
}
uintptr_t _Unwind_GetTextRelBase(_Unwind_Context*) { return 0; }
uintptr_t _Unwind_GetDataRelBase(_Unwind_Context*) { return 0; }

void _Unwind_DeleteException(_Unwind_Exception* exception) {
  if (exception->exception_cleanup)
    exception->exception_cleanup(_URC_FOREIGN_EXCEPTION_CAUGHT, exception);
}
}
