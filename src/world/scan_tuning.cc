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
#include <sys/mman.h>
#include <unistd.h>
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

#ifdef __GLIBC__
void* PageStart(void* p) {
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(p) / page * page);
}

// Asks for huge pages on the whole 2 MiB pages within [p, p + size).
void AdviseHugePages(void* p, size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHuge = 2 << 20;
  const uintptr_t start =
      (reinterpret_cast<uintptr_t>(p) + kHuge - 1) / kHuge * kHuge;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + size) / kHuge * kHuge;
  if (start < end)
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)p;
  (void)size;
#endif
}
#endif

// Each decoded block, about 160 KiB, is above glibc's first threshold for
// serving an allocation with its own mapping, so every block the cache
// takes in would come in fresh, faulting pages and be unmapped when the
// cache lets it go.  Serving them from the heap, and not trimming the heap
// each time a block at its top is freed, lets a new block reuse the memory
// of the one evicted before it.
void KeepBlocksInTheHeap() {
#ifdef __GLIBC__
  constexpr size_t kPiece = 24 << 20;  // two hold the cache and some room
  mallopt(M_TRIM_THRESHOLD, 4 * kPiece);
#ifdef MADV_POPULATE_WRITE
  // Filling the cache touches 40 MiB of new memory, and taking a page
  // fault for every 4 KiB of it is a large part of a small world's run.
  // The heap grows once by that much and the kernel fills in the pages in
  // one call, in 2 MiB pages where it can: the first touch of each small
  // page costs even once it is filled in (more so in a virtual machine),
  // and copying each block into the cache pays it.  The pieces then go
  // back to the heap, which keeps them.
  mallopt(M_MMAP_THRESHOLD, 2 * kPiece);
  void* pieces[2] = {std::malloc(kPiece), std::malloc(kPiece)};
  for (void* piece : pieces) {
    if (piece == nullptr) continue;
    AdviseHugePages(piece, kPiece);
    madvise(PageStart(piece), kPiece, MADV_POPULATE_WRITE);
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
