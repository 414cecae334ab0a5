// The receiver thread's body: every datagram counted and reported through the two output operations.
#pragma once

// Until stop_flag is set: receive a reply, count it, show the count and append its block of
// report lines through the output operations of app/report_output.h. A failed receive
// (also the one that stop_network breaks off) is counted and reported like any other.
void receiver_loop();
