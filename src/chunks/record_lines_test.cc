// The format state that record lines leave on both streams: precision 1
// from the first Quorvale line, fixed notation from the first over-limit
// line, and the statistics' precision 2 on top of either.

#include "chunks/record_lines.h"

#include <gtest/gtest.h>

#include <sstream>

#include "chunks/run_stats.h"

namespace quorvales {
namespace {

struct Streams {
  std::ostringstream console, log;
  Output out{console, log};
};

TEST(RecordLinesTest, WithinLinesFollowTheNotationInForce) {
  Streams s;
  WriteWithinLimitLine(s.out, 1, 2, 0.523f, 1.0f);
  WriteWithinLimitLine(s.out, 1, 2, 12.3f, 50.0f);
  WriteOverLimitLine(s.out, -3, 4, 2.5f, 1.0f);
  WriteWithinLimitLine(s.out, 1, 2, 0.523f, 1.0f);
  WriteWithinLimitLine(s.out, 1, 2, 12.3f, 50.0f);
  const std::string expected =
      "   |- Chunk [1,2] within Data Limit [0.5kB / 1KB]\n"
      "   |- Chunk [1,2] within Data Limit [1e+01kB / 5e+01KB]\n"
      "   |- Chunk [-3,4] over Data Limit [2.5kB / 1.0KB] - Marked\n"
      "   |- Chunk [1,2] within Data Limit [0.5kB / 1.0KB]\n"
      "   |- Chunk [1,2] within Data Limit [12.3kB / 50.0KB]\n";
  EXPECT_EQ(expected, s.console.str());
  EXPECT_EQ(expected, s.log.str());
}

TEST(RecordLinesTest, OverLimitValues) {
  struct Case {
    float kb;
    const char* text;
  };
  const Case cases[] = {{1.5f, "1.5"},
                        {12.3f, "12.3"},
                        {0.999f, "1.0"},
                        {0.0f, "0.0"},
                        {8.342f, "8.3"}};
  for (const Case& c : cases) {
    Streams s;
    WriteOverLimitLine(s.out, 0, 0, c.kb, 1.0f);
    EXPECT_EQ(std::string("   |- Chunk [0,0] over Data Limit [") + c.text +
                  "kB / 1.0KB] - Marked\n",
              s.console.str());
  }
}

TEST(RecordLinesTest, StatsPercentagesUseTheScanNotation) {
  RunCounters nothing_marked;
  nothing_marked.records_seen = 3;
  nothing_marked.quorvale_seen = 2;
  Streams general;
  WriteRunStats(general.out, nothing_marked);
  EXPECT_NE(std::string::npos,
            general.console.str().find("found on 67% of the world's"));

  RunCounters all = nothing_marked;
  all.records_seen = 1;
  all.quorvale_seen = 1;
  Streams hundred;
  WriteRunStats(hundred.out, all);
  EXPECT_NE(std::string::npos,
            hundred.console.str().find("found on 1e+02% of the world's"));

  RunCounters marked = nothing_marked;
  marked.marked = marked.deleted = 1;
  Streams fixed;
  WriteOverLimitLine(fixed.out, 0, 0, 2.0f, 1.0f);
  WriteRunStats(fixed.out, marked);
  EXPECT_NE(std::string::npos,
            fixed.console.str().find("found on 66.67% of the world's"));
  EXPECT_NE(std::string::npos,
            fixed.console.str().find("deleted from 33.33% of the world's"));
  EXPECT_NE(std::string::npos,
            fixed.console.str().find("Chunks Marked for Deletion: 1\n"));
  EXPECT_NE(std::string::npos,
            fixed.log.str().find("Chunks Marked Deletion: 1\n"));
}

}  // namespace
}  // namespace quorvales
