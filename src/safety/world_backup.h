// A backup of a world's database, made from the closed database before the
// run changes anything: table files are hard links, which take no time and
// no space until the game rewrites them, and every other file but LOCK is
// copied.  It is kept only when the run deleted records.

#ifndef QUORVALES_SAFETY_WORLD_BACKUP_H_
#define QUORVALES_SAFETY_WORLD_BACKUP_H_

#include <string>
#include <system_error>

#include "output/line_writer.h"

namespace quorvales {

// Makes to a hard link to from, or sets error.
using LinkFunction = void (*)(const std::string& from, const std::string& to,
                              std::error_code& error);

void HardLink(const std::string& from, const std::string& to,
              std::error_code& error);

// A write beyond a file-size limit then fails with "File too large"
// instead of killing the process, so that a backup cut short is reported.
void IgnoreFileSizeSignal();

class WorldBackup {
 public:
  // world_folder as typed; file_stamp "YYYY-MM-DD HH-MM-SS".  link makes
  // the tables' links; where it fails, a table is copied.
  WorldBackup(std::string world_folder, std::string file_stamp,
              LinkFunction link = HardLink);
  WorldBackup(const WorldBackup&) = delete;
  WorldBackup& operator=(const WorldBackup&) = delete;

  // Makes world_folder/"quorvaleBackup <stamp>" (with " 2", " 3", ... when
  // that name is taken), built under a ".partial" name and renamed when
  // complete.  A database without CURRENT gets no backup.  Returns false,
  // after removing what it made and writing the error lines, when the
  // backup cannot be made.
  bool Make(Output& out);

  // Reaches the world's files through files_folder, the same folder by
  // another path, while the lines keep the folder as typed.
  void SetFilesFolder(std::string files_folder);

  // The backup's line, when one was made.
  void ReportKept(Output& out) const;

  // Removes the backup, when one was made.
  void Discard();

  // The backup's folder, as typed; empty when none was made.
  std::string folder() const {
    return folder_.empty() ? folder_ : world_folder_ + folder_;
  }

 private:
  // path: within the world folder.
  bool Fail(Output& out, const std::string& path, const std::error_code& error);

  const std::string world_folder_;
  std::string files_folder_;
  const std::string file_stamp_;
  const LinkFunction link_;
  // Within the world folder: the backup being built, and the one made.
  std::string partial_;
  std::string folder_;
};

}  // namespace quorvales

#endif  // QUORVALES_SAFETY_WORLD_BACKUP_H_
