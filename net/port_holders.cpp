// Reading the kernel's socket tables for the sockets on one UDP port.
#include "net/port_holders.h"

#include <sstream>

int count_port_in_socket_table(const std::string& table, std::uint16_t port)
{
    std::istringstream lines(table);
    std::string line;
    int count = 0;
    std::getline(lines, line);  // the column heads
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string slot, local;
        if (!(words >> slot >> local)) continue;
        // "0100007F:0044": the address, a colon, the port in hexadecimal.
        const std::size_t colon = local.rfind(':');
        if (colon == std::string::npos || colon + 1 >= local.size()) continue;
        unsigned long value = 0;
        bool digits = true;
        for (std::size_t k = colon + 1; k < local.size(); ++k) {
            const char c = local[k];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else {
                digits = false;
                break;
            }
            value = value * 16 + static_cast<unsigned long>(digit);
            if (value > 0xFFFF) {
                digits = false;
                break;
            }
        }
        if (digits && value == port) ++count;
    }
    return count;
}
