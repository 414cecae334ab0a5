// Linux implementation of the raw log: the text-mode newline translation done by hand.
#include "net/raw_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/dhcp_wire.h"

namespace {

// Every 0x0A may double, so a whole reply fits in one write.
constexpr std::size_t kChunkInput = kDhcpMessageSize;

bool write_all(int fd, const std::uint8_t* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool append_raw_log(const char* path, const std::uint8_t* bytes, std::size_t length)
{
    if (path == nullptr) return false;
    // Windows' text stream stores 0x0A as 0x0D 0x0A and changes nothing else (0x1A included);
    // POSIX has no text mode, so the same bytes are made here. The file is opened and closed
    // for every datagram, as the Windows program does, so readers always see whole datagrams.
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;  // an unwritable log costs this datagram's entry, not its decoding
    std::uint8_t translated[2 * kChunkInput];
    std::size_t done = 0;
    bool whole = true;
    while (done < length) {
        const std::size_t take = length - done < kChunkInput ? length - done : kChunkInput;
        std::size_t out = 0;
        for (std::size_t k = 0; k < take; ++k) {
            const std::uint8_t byte = bytes[done + k];
            if (byte == 0x0A) translated[out++] = 0x0D;
            translated[out++] = byte;
        }
        if (!write_all(fd, translated, out)) {
            whole = false;
            break;
        }
        done += take;
    }
    close(fd);
    return whole;
}
