// Windows implementation of the raw log: the C runtime's text stream does the translation.
#include "net/raw_log.h"

#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

LogOutcome append_raw_log(const char* path, const std::uint8_t* bytes, std::size_t length)
{
    if (path == nullptr) return {LogResult::off, 0};
    // "at": append in text mode, so each 0x0A is stored as 0x0D 0x0A. The runtime opens the
    // file shared for reading and writing, so other programs may read it at any time.
    std::FILE* stream = std::fopen(path, "at");
    if (stream == nullptr) return {LogResult::cannot_open, errno};  // skipped for this datagram; decoding goes on
    // Only a regular file takes records: a pipe or a device would hold or swallow them.
    const int fd = _fileno(stream);
    struct _stati64 status {};
    if (_fstati64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(stream);
        return {LogResult::not_regular, 0};
    }
    const long long start = status.st_size;
    const bool whole = length == 0 || std::fwrite(bytes, 1, length, stream) == length;
    const bool flushed = std::fflush(stream) == 0 && !std::ferror(stream);
    const int error = errno;
    LogOutcome outcome{LogResult::written, 0};
    if (!whole || !flushed) {
        // No half record may stay for the next one to follow.
        outcome = _chsize_s(fd, start) == 0 ? LogOutcome{LogResult::cut_back, error}
                                            : LogOutcome{LogResult::left_half, error};
    }
    if (std::fclose(stream) != 0 && outcome.result == LogResult::written) outcome = {LogResult::cut_back, errno};
    return outcome;
}
