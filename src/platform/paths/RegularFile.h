#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// Reading the files Kerrion and its driver plug-ins are given by name (settings, driver files,
// the driver registry, a WAVE file): only a regular file within a size fit for its kind is read,
// and opening it never blocks, so a FIFO put in a file's place cannot hang start-up and
// /dev/zero or a huge file cannot grow memory without bound. Any thread but a per-block one.
namespace kerrion {

// Size limits of the kinds of file read whole.
inline constexpr std::size_t kMaxTextFileBytes = std::size_t { 1 } << 20; // INI and registry files

enum class FileRead {
    kRead,    // the whole file is in the buffer
    kMissing, // nothing by that name (or a link that leads nowhere)
    kRefused, // there is something, but it is not a regular file, is too large, or a read failed
};

// Reads the file at `path` into `bytes` (emptied first). A link is followed.
FileRead ReadRegularFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes);

// Opens the file at `path` for reading in steps (a sound file, however long): the descriptor,
// in blocking mode, of a regular file; -1 with `why` in words for anything else. A link is
// followed. The caller closes the descriptor.
int OpenRegularFile(const std::filesystem::path& path, std::string& why);

} // namespace kerrion
