// Linux implementation of the raw log: the text-mode newline translation done by hand.
#include "net/raw_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/dhcp_wire.h"

namespace {

// Every 0x0A may double, so a whole reply fits in one write.
constexpr std::size_t kChunkInput = kDhcpMessageSize;

// 0 when every byte was written, else the error that stopped it (a short write that the next write
// cannot finish ends in ENOSPC, EFBIG, EIO...).
int write_all(int fd, const std::uint8_t* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

int write_translated(int fd, const std::uint8_t* bytes, std::size_t length)
{
    std::uint8_t translated[2 * kChunkInput];
    for (std::size_t done = 0; done < length;) {
        const std::size_t take = length - done < kChunkInput ? length - done : kChunkInput;
        std::size_t out = 0;
        for (std::size_t k = 0; k < take; ++k) {
            const std::uint8_t byte = bytes[done + k];
            if (byte == 0x0A) translated[out++] = 0x0D;
            translated[out++] = byte;
        }
        if (const int error = write_all(fd, translated, out); error != 0) return error;
        done += take;
    }
    return 0;
}

}  // namespace

LogOutcome append_raw_log(const char* path, const std::uint8_t* bytes, std::size_t length)
{
    if (path == nullptr) return {LogResult::off, 0};
    // Windows' text stream stores 0x0A as 0x0D 0x0A and changes nothing else (0x1A included);
    // POSIX has no text mode, so the same bytes are made here. The file is opened and closed
    // for every datagram, as the Windows program does, so readers always see whole datagrams.
    // O_NONBLOCK: a FIFO planted under the log's name must not hold the program in open() until a
    // reader comes; without a reader the open fails at once, with one it is refused below.
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) return {LogResult::cannot_open, errno};  // costs this datagram's entry, not its decoding
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return {LogResult::not_regular, 0};
    }
    // Appends go to the end, so the record begins at the size the file has now (another writer
    // appending at the same moment is not guarded against, as the window program never did).
    const off_t start = status.st_size;
    LogOutcome outcome{LogResult::written, 0};
    if (const int error = write_translated(fd, bytes, length); error != 0) {
        // No half record may stay for the next one to follow.
        outcome = ftruncate(fd, start) == 0 ? LogOutcome{LogResult::cut_back, error}
                                            : LogOutcome{LogResult::left_half, error};
    }
    close(fd);
    return outcome;
}
