// Reading a whole file into memory, for the kernel's small text files (/proc, /sys) whose size
// reads as 0 and for the configuration and lease files: read to the end, whatever stat says.
#pragma once

#include "net/result.h"

#include <cstddef>
#include <string>

namespace quendrix::net {

// The whole text of the file at `path`, in `text` (emptied first; kept as a buffer between
// reads). Fails with System and the errno of open or read (ENOENT for a missing file), and with
// OutOfRange when the file is longer than `limit` bytes (then `text` holds the first `limit`).
Result<void> readWholeFile(const std::string& path, std::string& text,
                           std::size_t limit = std::string().max_size());

// The same, returning the text.
Result<std::string> readWholeFile(const std::string& path,
                                  std::size_t limit = std::string().max_size());

}  // namespace quendrix::net
