// Descriptors 0, 1 and 2 made valid before a program opens anything: one implementation per platform.
#pragma once

// Opens /dev/null on each of descriptors 0 to 2 that is closed, so that the first socket or file the
// program opens cannot become its standard output and take the report. False when one could not be
// opened (the program should end at once). Does nothing on Windows, whose sockets are no descriptors.
bool make_standard_descriptors_valid();
