// Shared by the fuzz targets, their replay main and the seed generator.
#ifndef VELTA_FUZZ_SUPPORT_H
#define VELTA_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace fuzz {

// The key the stego seeds are hidden with and the extraction target reads with.
std::vector<uint8_t> fixed_key();

// A path in this process's own scratch folder (made on first use, removed at exit).
std::string scratch(const char *name);

bool write_bytes(const std::string &path, const uint8_t *data, size_t size);
std::vector<uint8_t> read_bytes(const std::string &path);

// Stops the process with a message: a broken invariant is a finding.
[[noreturn]] void fail(const char *what, long value);

}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

#endif
