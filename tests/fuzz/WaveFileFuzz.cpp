// Feeds arbitrary bytes to the WAVE reader as a file: Open must fail cleanly or give a data
// range that the reads stay inside, and nothing may hang.
#include "sndio/WaveFile.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An in-memory file keeps the harness off the disk; the reader opens it by path.
    const int fd = memfd_create("wave-fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    CWaveFile file;
    if (file.Open(path.c_str(), CWaveFile::kModeRead)) {
        uint8_t frames[4096];
        const uint32_t perRead = file.FrameBytes() == 0 ? 1 : sizeof frames / file.FrameBytes();
        uint64_t total = 0;
        for (uint32_t got = 1; got > 0; total += got)
            got = file.ReadFrames(frames, perRead == 0 ? 1 : perRead);
        if (total > file.Frames() || uint64_t { file.DataOffset() } + file.DataBytes() > size)
            __builtin_trap(); // read past the data the file holds
        file.SeekToData();
        file.ReadFrames(frames, 1);
    }
    file.Close();
    close(fd);
    return 0;
}
