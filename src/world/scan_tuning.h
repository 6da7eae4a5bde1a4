// Process settings for a run that reads every block of a world once: how
// LevelDB reads table files and how the heap serves decoded blocks.  They
// change speed and memory only, never what is read.

#ifndef QUORVALES_WORLD_SCAN_TUNING_H_
#define QUORVALES_WORLD_SCAN_TUNING_H_

namespace quorvales {

// Must run before the process makes its first leveldb::Options.
void TuneForOneScan();

}  // namespace quorvales

#endif  // QUORVALES_WORLD_SCAN_TUNING_H_
