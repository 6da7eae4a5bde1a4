// range_balance DB_FOLDER: how evenly 2, 4, 8 and 16 threads would share
// the scan of a world, split as the tool splits it.  Opens the database,
// so give it a copy.

#include <cstdio>
#include <sstream>

#include "chunks/scan_ranges.h"
#include "world/world_database.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: range_balance DB_FOLDER\n");
    return 2;
  }
  std::ostringstream console, log;
  quorvales::Output out{console, log};
  quorvales::WorldDatabase world;
  if (!world.Open(argv[1], out)) return 1;
  for (int threads : {2, 4, 8, 16}) {
    const auto ranges = quorvales::PlanRanges(
        world.db(), threads * quorvales::kRangesPerThread);
    std::printf("threads %d ranges %zu balance %.3f\n", threads, ranges.size(),
                quorvales::RangeBalance(ranges, threads));
  }
  world.Close(out);
  return 0;
}
