#include "chunks/run_stats.h"

#include <iomanip>
#include <string>

namespace quorvales {

namespace {

float PercentOf(int32_t part, int32_t whole) {
  const float quotient = static_cast<float>(part) / static_cast<float>(whole);
  return quotient * 100.0f;
}

}  // namespace

void WriteRunStats(Output& out, const RunCounters& c) {
  const std::string rule(68, '#');
  WriteBoth(out, rule);
  WriteBoth(out, "STATS: ");
  WriteBoth(out, "Total Chunks in World: ", c.records_seen);
  WriteBoth(out, "Chunks containg Quorvale Data: ", c.quorvale_seen);
  // The one paired line whose log copy reads differently.
  WriteConsole(out, "Chunks Marked for Deletion: ", c.marked);
  WriteLog(out, "Chunks Marked Deletion: ", c.marked);
  WriteBoth(out, "Chunks Deleted: ", c.deleted);
  if (c.quorvale_seen > 0) {
    WriteBoth(out, "   |- Quorvale data found on ", std::setprecision(2),
              PercentOf(c.quorvale_seen, c.records_seen),
              "% of the world's chunks");
  }
  if (c.deleted > 0) {
    WriteBoth(out, "   |- Quorvale data deleted from ", std::setprecision(2),
              PercentOf(c.deleted, c.records_seen), "% of the world's chunks");
  }
  if (c.quorvale_seen < 1) {
    WriteBoth(out, "   |- No chunks contained Quorvale Data.");
  }
  if (c.marked < 1) WriteBoth(out, "   |- No chunks were marked for deletion.");
  if (c.deleted < 1) WriteBoth(out, "   |- No data was deleted.");
  WriteBoth(out, rule);
}

}  // namespace quorvales
