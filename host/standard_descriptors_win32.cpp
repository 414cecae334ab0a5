// Windows implementation: nothing to do, as a socket never takes a C runtime descriptor's number.
#include "host/standard_descriptors.h"

bool make_standard_descriptors_valid()
{
    return true;
}
