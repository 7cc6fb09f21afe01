// printf-style formatting into a string of whatever length the text needs, so
// messages that carry a name are always formed whole.
#pragma once

#include <string>

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
