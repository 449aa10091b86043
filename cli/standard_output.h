// What standard output is and how it writes, per platform (standard_output_posix.cpp,
// _win32.cpp).
//
//   OutputIsTerminal()   whether it is a terminal that takes the escape codes of the live
//                        lines (a Windows console is asked to take them)
//   SetBinaryOutput()    bytes go out as they are: no CR added before a line feed
#pragma once

bool OutputIsTerminal();
void SetBinaryOutput();
