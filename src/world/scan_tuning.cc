#include "world/scan_tuning.h"

#ifdef _WIN32
#include "util/env_windows_test_helper.h"
#else
#include "util/env_posix_test_helper.h"
#endif
#include <cstdint>
#include <cstdlib>  // also defines __GLIBC__ where it applies

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quorvales {

namespace {

// LevelDB maps up to 1000 table files into memory by default.  A scan
// touches every page of every table, so the mapped pages would make the
// resident memory grow with the world; reading the tables through the file
// calls keeps it flat.  The limit is taken when the default environment is
// first made, so this has to come before the first leveldb::Options.
void ReadTablesWithoutMapping() {
  static const bool done = [] {
#ifdef _WIN32
    leveldb::EnvWindowsTestHelper::SetReadOnlyMMapLimit(0);
#else
    leveldb::EnvPosixTestHelper::SetReadOnlyMMapLimit(0);
#endif
    return true;
  }();
  (void)done;
}

// Each decoded block, about 160 KiB, is above glibc's first threshold for
// serving an allocation with its own mapping, so every block would come in
// fresh, faulting and clearing its pages, and be unmapped when it is
// freed.  Serving them from the heap, and not trimming the heap each time
// a block at its top is freed, lets each block reuse the memory of the one
// freed before it.
void KeepBlocksInTheHeap() {
#ifdef __GLIBC__
  mallopt(M_TRIM_THRESHOLD, 96 << 20);
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
#endif
}

}  // namespace

void TuneForOneScan() {
  ReadTablesWithoutMapping();
  KeepBlocksInTheHeap();
}

}  // namespace quorvales
