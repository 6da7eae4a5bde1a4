// File helpers that the Linux and the Windows tests share.

#ifndef QUORVALES_TESTS_TEST_FILES_H_
#define QUORVALES_TESTS_TEST_FILES_H_

#include <string>

namespace quorvales {

// Paths are UTF-8, as the tool takes them.

// Copies a folder tree, making every copy writable.
void CopyTree(const std::string& from, const std::string& to);

// The file's bytes as they are; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace quorvales

#endif  // QUORVALES_TESTS_TEST_FILES_H_
