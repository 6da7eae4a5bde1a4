// make_map_page PAGE RECORDS: writes the map page of a made scan with that
// many records, on a square of chunks in the Overworld with a few in the
// Nether, sizes spread over three decades and one record in twenty over the
// limit, so that the map benchmark times the page a large world gives.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "map/quorvale_map.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_map_page PAGE RECORDS\n";
    return 2;
  }
  const long count = std::strtol(argv[2], nullptr, 10);
  if (count <= 0) {
    std::cerr << "RECORDS must be a positive number\n";
    return 2;
  }
  int32_t side = 1;
  while (static_cast<long>(side) * side < count) ++side;
  std::vector<quorvales::ScannedRecord> records;
  records.reserve(static_cast<size_t>(count));
  quorvales::RunCounters counters;
  uint32_t state = 12345;
  for (long i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    quorvales::ScannedRecord record;
    record.dimension = i % 50 == 0 ? 1 : 0;
    record.x = static_cast<int32_t>(i % side) - side / 2;
    record.z = static_cast<int32_t>(i / side) - side / 2;
    record.size = 50 + (state >> 8) % 100000 / (1 + (state >> 28));
    record.over = record.size > 1000 && i % 20 == 0;
    if (record.over) ++counters.deleted;
    records.push_back(record);
  }
  counters.records_seen = static_cast<int32_t>(count * 4);
  counters.quorvale_seen = static_cast<int32_t>(count);
  counters.marked = counters.deleted;
  const quorvales::MapHeading heading{"Benchmark world", 1000.0f,
                                      "2026-01-01-00:00:00", counters};
  std::ofstream page(argv[1], std::ios::binary);
  page << quorvales::QuorvaleMapPage(heading, records);
  return page.good() ? 0 : 1;
}
