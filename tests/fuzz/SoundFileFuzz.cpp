// Feeds arbitrary bytes to kerrion-meter's sound file check as a file: opening it must fail
// cleanly or measure it to its end, every sample read must be a number, and the measured length
// must fit in the bytes there are.
#include "FileMeasurement.h"
#include "SoundFileReader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An in-memory file keeps the harness off the disk; the reader opens it by path.
    const int fd = memfd_create("sound-fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    kerrion::cli::SoundFileReader reader;
    if (reader.Open("/proc/self/fd/" + std::to_string(fd))) {
        kerrion::cli::FileMeasurement measurement(reader, kerrion::LoudnessLayout::Stereo);
        if (!measurement.Init())
            std::abort();
        int steps = 0;
        while (measurement.Step() && ++steps < 100000) {
        }
        const kerrion::LoudnessReadings& r = measurement.Readings();
        // Compressed formats may hold more samples than bytes, but never without bound.
        const double frames = r.seconds * reader.Rate();
        if (!(frames >= 0.0) || frames > 1e9 || steps >= 100000)
            std::abort();
        if (std::isinf(r.integrated) || std::isinf(r.momentary))
            std::abort();
    }
    close(fd);
    return 0;
}
