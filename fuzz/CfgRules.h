// The configuration reader's lookup rules read plainly, as the fuzz targets'
// reference: no section memo, no header index, nothing cached.
//  - The header is the first "[S]" anywhere in the text.
//  - The section ends at the first "[" from one byte past the "]" whose
//    preceding byte, as a signed 8-bit number, is at most 32, or at the end.
//  - The key is the first "K=" at or after the header that begins before the
//    section's end; the value runs to CR, LF or the end of the text, at most
//    16383 characters, and counts as far as its first zero byte.
//  - A name of 256 characters or more (no room for its terminator), a
//    missing header or key, or an empty text gives an empty value.
#pragma once

#include <string>
#include <string_view>

#include "CfgReader.h"

inline std::string CfgRuleLookup(std::string_view text, std::string_view section, std::string_view key) {
    if (section.size() >= CFG_NAME_SIZE || key.size() >= CFG_NAME_SIZE) return "";
    std::string header = "[" + std::string(section) + "]";
    std::size_t h = text.find(header);
    if (h == std::string_view::npos) return "";
    std::size_t e = h + header.size();
    std::size_t s = text.size();
    for (std::size_t b = e + 1; b < text.size(); ++b) {
        if (text[b] == '[' && static_cast<signed char>(text[b - 1]) <= 32) {
            s = b;
            break;
        }
    }
    if (s <= e) return "";
    std::string pattern = std::string(key) + "=";
    std::size_t k = text.find(pattern, e);
    if (k == std::string_view::npos || k >= s) return "";
    std::size_t from = k + pattern.size();
    std::size_t end = from;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n' && end - from < CFG_VALUE_SIZE - 1) ++end;
    std::string value(text.substr(from, end - from));
    return value.substr(0, value.find('\0'));
}
