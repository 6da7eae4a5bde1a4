#include "world/scan_tuning.h"

#ifdef _WIN32
#include "util/env_windows_test_helper.h"
#else
#include "util/env_posix_test_helper.h"
#endif
#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
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
// serving an allocation with its own mapping, so every block the cache
// takes in would come in fresh, faulting pages and be unmapped when the
// cache lets it go.  Serving them from the heap, and not trimming the heap
// each time a block at its top is freed, lets a new block reuse the memory
// of the one evicted before it.
void KeepBlocksInTheHeap() {
#ifdef __GLIBC__
  constexpr size_t kPiece = 24 << 20;  // two make the cache and some room
  mallopt(M_TRIM_THRESHOLD, 4 * kPiece);
#ifdef MADV_HUGEPAGE
  // Filling the cache touches 40 MiB of new memory, and a page fault per
  // 4 KiB is a large part of a small world's run.  The heap grows once by
  // that much, and the kernel is asked to back the range with huge pages
  // before anything touches it; the pieces then go back to the heap, which
  // keeps them, for the blocks to use.
  mallopt(M_MMAP_THRESHOLD, 2 * kPiece);
  void* pieces[2] = {std::malloc(kPiece), std::malloc(kPiece)};
  if (pieces[0] != nullptr && pieces[1] != nullptr && pieces[0] < pieces[1]) {
    constexpr uintptr_t kHuge = 2 << 20;
    const auto first = reinterpret_cast<uintptr_t>(pieces[0]);
    const auto last = reinterpret_cast<uintptr_t>(pieces[1]) + kPiece;
    const uintptr_t begin = (first + kHuge - 1) / kHuge * kHuge;
    const uintptr_t end = last / kHuge * kHuge;
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
  std::free(pieces[1]);
  std::free(pieces[0]);
#endif
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
#endif
}

}  // namespace

void TuneForOneScan() {
  ReadTablesWithoutMapping();
  KeepBlocksInTheHeap();
}

}  // namespace quorvales
