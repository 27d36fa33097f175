#pragma once
// Packing a skin folder: its options file first, then the other files in
// byte order of their names, each at maximum compression, and an optional
// preview image. The same folder always gives the same bytes.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Errors.h"

namespace cb {

class ESkinPackError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};

struct TSkinPackResult {
  std::vector<uint8_t> Archive;
  std::vector<std::string> Names;  // entries in archive order
};

// Throws ESkinPackError when the folder has no "Options.dat" (any case), holds
// a name the archive cannot carry, or a file cannot be read.
TSkinPackResult PackSkinFolder(const std::filesystem::path& folder,
                               const std::optional<std::filesystem::path>& preview = std::nullopt);

}  // namespace cb
