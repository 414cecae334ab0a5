// Linux implementation: descriptors 0 to 2 opened on /dev/null when closed.
#include "host/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool make_standard_descriptors_valid()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor, which is fd, as the ones below it are open by now.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd) {
            if (opened >= 0) close(opened);
            return false;
        }
    }
    return true;
}
