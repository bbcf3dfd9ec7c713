// Files named by the user are opened only when they are regular files: opening a FIFO
// blocks until a writer appears, and a device or a directory never holds a document.
// The reasons are short phrases meant to follow the path in a message
// ("/tmp/x: is a directory").
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace vantrel {

// Empty when the path (after symbolic links) is an existing regular file; otherwise
// "does not exist", "is a directory" or "is not a regular file".
std::string RegularFileProblem(const std::filesystem::path& path);

// The system's description of an errno value ("No space left on device").
std::string SystemReason(int error);

// Reads a whole regular file of at most maxBytes bytes. False with the reason when the
// path is not a regular file, is larger than maxBytes (checked before reading, and again
// while reading in case the file grows), or cannot be read.
bool ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out, std::string& why);

}  // namespace vantrel
