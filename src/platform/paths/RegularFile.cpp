#include "platform/paths/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kerrion {
namespace {

// Closes the descriptor on every path out.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

FileRead ReadRegularFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes)
{
    bytes.clear();
    if (path.empty())
        return FileRead::kMissing;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked before any read.
    FileDescriptor file { open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY) };
    if (file.fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::kMissing : FileRead::kRefused;
    struct stat info { };
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0
        || static_cast<unsigned long long>(info.st_size) > limit)
        return FileRead::kRefused;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(file.fd, buffer, sizeof buffer);
        if (count == 0)
            return FileRead::kRead;
        if (count < 0 && errno == EINTR)
            continue;
        // A file that grows past the limit while it is read is refused as well.
        if (count < 0 || bytes.size() + static_cast<std::size_t>(count) > limit) {
            bytes.clear();
            return FileRead::kRefused;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

int OpenRegularFile(const std::filesystem::path& path, std::string& why)
{
    FileDescriptor file { open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY) };
    struct stat info { };
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        why = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        return -1;
    }
    if (fcntl(file.fd, F_SETFL, fcntl(file.fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        why = std::strerror(errno);
        return -1;
    }
    const int fd = file.fd;
    file.fd = -1;
    return fd;
}

} // namespace kerrion
