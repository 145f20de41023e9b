#pragma once
// The PKWARE Data Compression Library calling contract (implode/explode),
// implemented by us. All state lives in the caller's work area: no heap, no
// global mutable state, so any number of calls may run side by side.
//
// read_buf(buf, &size, param): fill up to *size bytes, return the count
//   delivered; 0 means the input is used up. Any piece size works, down to
//   one byte per call; a count above *size is taken as *size. Explode may
//   ask ahead of need, and once more after a 0.
// write_buf(buf, &size, param): take *size bytes of output.
//
// Results of dcl_explode: DCL_CMP_INVALID_DICTSIZE for a dictionary byte
// other than 4, 5, 6 (checked first), DCL_CMP_INVALID_MODE for a mode byte
// other than 0, 1, DCL_CMP_BAD_DATA for a distance reaching before the start
// of the output, DCL_CMP_ABORT when the input ends before the end code (or
// before the header). Whatever was decoded before an error has been written.
// dcl_implode returns DCL_CMP_INVALID_DICTSIZE / DCL_CMP_INVALID_MODE for bad
// parameters, else DCL_CMP_NO_ERROR. A null callback or work area gives
// DCL_CMP_ABORT. The calling convention is cdecl.
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int (*dcl_read_fn)(char* buf, unsigned int* size, void* param);
typedef void (*dcl_write_fn)(char* buf, unsigned int* size, void* param);

enum {
  DCL_CMP_NO_ERROR = 0,
  DCL_CMP_INVALID_DICTSIZE = 1,
  DCL_CMP_INVALID_MODE = 2,
  DCL_CMP_BAD_DATA = 3,
  DCL_CMP_ABORT = 4
};

enum { DCL_CMP_BINARY = 0, DCL_CMP_ASCII = 1 };

#define DCL_EXPLODE_WORK_SIZE 12596u
#define DCL_IMPLODE_WORK_SIZE 36312u

unsigned int dcl_explode(dcl_read_fn read_buf, dcl_write_fn write_buf, char* work_buf, void* param);
unsigned int dcl_implode(dcl_read_fn read_buf, dcl_write_fn write_buf, char* work_buf, void* param,
                         unsigned int* type, unsigned int* dsize);
// Updates a running CRC-32 (standard table); the caller starts with
// 0xFFFFFFFF and inverts the final value.
unsigned long dcl_crc32(char* buffer, unsigned int* size, unsigned long* old_crc);

#ifdef __cplusplus
}
#endif
