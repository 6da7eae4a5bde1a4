#include "tests/golden.h"

#include <algorithm>

#include "tests/test_files.h"

namespace quorvales {

std::string MaskRunDetails(const std::string& transcript) {
  static const char* const kVarying[] = {
      "Outputting Log to: quorvaleLog ", "Quorvales Program Started - ",
      "Time taken: ", "Map of Quorvale data: quorvaleMap ",
      "Backup of the database before the "
      "deletes: "};
  std::string masked = transcript;
  size_t line = 0;
  while (line < masked.size()) {
    size_t end = masked.find('\n', line);
    if (end == std::string::npos) end = masked.size();
    for (const char* prefix : kVarying) {
      if (masked.compare(line, std::string(prefix).size(), prefix) == 0) {
        for (size_t i = line; i < end; ++i) {
          if (masked[i] >= '0' && masked[i] <= '9') masked[i] = '#';
        }
      }
    }
    line = end + 1;
  }
  return masked;
}

std::string MaskMapDate(const std::string& page) {
  const std::string label = "; run of ";
  std::string masked = page;
  const size_t at = masked.find(label);
  if (at != std::string::npos) {
    masked.replace(at + label.size(),
                   std::min<size_t>(19, masked.size() - at - label.size()),
                   "####-##-##-##:##:##");
  }
  return masked;
}

std::string ReadGolden(const std::string& folder, const std::string& name) {
  return ReadFile(folder + "/" + name);
}

}  // namespace quorvales
