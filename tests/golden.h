// Expected transcripts kept as files, NAME.console and NAME.log, shared by
// the Linux and the Windows tests so that both builds must write the same.

#ifndef QUORVALES_TESTS_GOLDEN_H_
#define QUORVALES_TESTS_GOLDEN_H_

#include <string>

namespace quorvales {

// The transcript with what differs between runs masked: the digits of the
// log's name, of the start stamp and of the time taken become '#'.
std::string MaskRunDetails(const std::string& transcript);

// The map page with the run's date masked.
std::string MaskMapDate(const std::string& page);

// The golden file's text; empty when it cannot be read.
std::string ReadGolden(const std::string& folder, const std::string& name);

}  // namespace quorvales

#endif  // QUORVALES_TESTS_GOLDEN_H_
