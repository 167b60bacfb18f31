#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

/// A "Field:   1234 kB" line of /proc/self/status (VmRSS, VmHWM), in KiB; -1 where absent.
inline long proc_status_kib(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, length, field) == 0 && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    return -1;
}
