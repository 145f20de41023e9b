// A stand-in for the compression library with the same entry points: its
// "explode" passes the input through unchanged, asking for small pieces so
// that the callbacks run many times. Built once with all three entry points
// and once without _crc32 (the .def files choose the exports).
#include <cstdint>
#include <cstring>

extern "C" {

typedef unsigned int (*ReadFn)(char*, unsigned int*, void*);
typedef void (*WriteFn)(char*, unsigned int*, void*);

unsigned int fake_explode(ReadFn read, WriteFn write, char* workArea, void* param) {
  // The work area is the library's own: use all of it, as a real one may.
  std::memset(workArea, 0xA5, 12596);
  char piece[100];
  for (;;) {
    unsigned int size = sizeof piece;
    unsigned int got = read(piece, &size, param);
    if (got == 0) return 0;
    write(piece, &got, param);
  }
}

unsigned int fake_implode(ReadFn, WriteFn, char*, void*, unsigned int*, unsigned int*) { return 0; }

unsigned long fake_crc32(char* buffer, unsigned int* size, unsigned long* crc) {
  uint32_t value = static_cast<uint32_t>(*crc);
  for (unsigned int i = 0; i < *size; ++i) {
    value ^= static_cast<unsigned char>(buffer[i]);
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1u)));
  }
  return value;
}

}  // extern "C"
