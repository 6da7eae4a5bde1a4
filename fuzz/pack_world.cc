// pack_world DB_FOLDER OUT_FILE: writes a database folder's files as one
// input of the world fuzzer.

#include <fstream>
#include <iostream>

#include "tools/world_surgery.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cout << "usage: pack_world DB_FOLDER OUT_FILE" << std::endl;
    return 2;
  }
  const quorvales::DatabaseFiles files = quorvales::ReadDatabaseFiles(argv[1]);
  if (files.empty()) {
    std::cout << "pack_world: no files in " << argv[1] << std::endl;
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << quorvales::PackFiles(files);
  return out.good() ? 0 : 1;
}
