// Loads the vendor registry from the IEEE registry files that Debian's ieee-data package installs (Linux).
#include "host/vendor_registry_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace {

// The files are a few MB; anything far bigger is not one of them and is not read at all.
constexpr off_t kLargestFile = 64 * 1024 * 1024;

constexpr std::array<const char*, 4> kFileNames{"oui.csv", "mam.csv", "oui36.csv", "iab.csv"};

// Reads a regular file whole into text; false when it is missing, not a regular file, too big or unreadable.
bool read_file(const std::string& path, std::string& text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool read_whole = false;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kLargestFile) {
        text.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        text.resize(done);  // a file that shrank while being read gives what it had
        read_whole = true;
    }
    ::close(fd);
    return read_whole;
}

}  // namespace

VendorRegistry load_vendor_registry(const std::string& folder)
{
    VendorRegistry registry;
    std::string text;
    for (const char* name : kFileNames)
        if (read_file(folder + "/" + name, text)) add_vendor_registry_text(registry, text);
    return registry;
}
