// Writing a whole file without ever leaving a half-written one over a good one, and without
// ever reporting a failed write as success. Plain system calls, so that code without Qt (the
// command line's trace) writes its files as the window does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quendrix::net {

// Writes bytes to path (the file system's own bytes). Returns the error text on failure:
// "File not found", "Invalid filename", "Too many open files", "File access denied",
// "Disk full", "Nothing is reading from the pipe", "The reader closed the pipe", "The reader
// stopped reading" (a pipe or device that took nothing for 10 s) or "I/O error <n>".
//
// A new file, or an existing regular file in a folder the user may write to, is replaced
// atomically: the bytes go to a temporary file in the same folder, are flushed to the disk and
// checked, and only then renamed over the target, so a failure leaves the old file whole. An
// existing special file (FIFO, device) is written directly and never renamed over; a FIFO that
// nobody reads is an error, not a wait. An existing writable file in a folder the user may not
// write to is truncated and written directly. A symbolic link is followed: the file it names
// is replaced, the link stays.
std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace quendrix::net
