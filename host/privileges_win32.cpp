// Windows implementation: binding ports below 1024 needs no special right there.
#include "host/privileges.h"

bool drop_privileges()
{
    return true;
}

std::string privileged_port_hint(const char*)
{
    return "check that no other program (a firewall or another DHCP tool) holds the port";
}
