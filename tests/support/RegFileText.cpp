#include "RegFileText.h"

#include <algorithm>

#include "TestSupport.h"

namespace testsupport {

namespace {

bool SameFolded(const std::string& a, const std::string& b) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

std::string RegEscape(const std::string& s) {
    std::string r;
    for (char c : s) {
        if (c == '\\' || c == '"') r += '\\';
        r += c;
    }
    return r;
}

std::optional<std::string> ReadRegQuoted(const std::string& s, std::size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string r;
    for (++pos; pos < s.size(); ++pos) {
        if (s[pos] == '\\' && pos + 1 < s.size()) {
            r += s[++pos];
        } else if (s[pos] == '"') {
            ++pos;
            return r;
        } else {
            r += s[pos];
        }
    }
    return std::nullopt;
}

void ParseRegText(const std::string& text, const std::function<void(const std::string&)>& onKey,
                  const std::function<void(const std::string&, const std::string&)>& onValue) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            onKey(line.substr(1, line.size() - 2));
            continue;
        }
        std::size_t pos = 0;
        auto name = ReadRegQuoted(line, pos);
        if (!name || pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        if (auto value = ReadRegQuoted(line, pos)) onValue(*name, *value);
    }
}

std::optional<std::string> RegistryValue(const std::filesystem::path& file, const std::string& key,
                                         const std::string& name) {
    std::string current;
    std::optional<std::string> found;
    ParseRegText(
        ReadBytes(file), [&](const std::string& path) { current = path; },
        [&](const std::string& valueName, const std::string& value) {
            if (!found && SameFolded(current, key) && SameFolded(valueName, name)) found = value;
        });
    return found;
}

}  // namespace testsupport
