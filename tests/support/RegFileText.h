// The text of a REGEDIT4 registry file as the tests read and write it: string
// values written "name"="value", with "\" and "\"" escaped by a backslash
// inside the quotes; key and value names compare with A to Z folded.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace testsupport {

// s with "\" and "\"" escaped, ready to stand between quotes.
std::string RegEscape(const std::string& s);

// Reads one quoted, escaped string at line[pos]; pos ends after the closing
// quote. None when no whole quoted string stands there.
std::optional<std::string> ReadRegQuoted(const std::string& line, std::size_t& pos);

// Walks a registry file's text line by line (LF or CR LF): onKey with the
// path of each "[...]" line, onValue with the name and text of each string
// value line; other lines are passed over.
void ParseRegText(const std::string& text, const std::function<void(const std::string&)>& onKey,
                  const std::function<void(const std::string&, const std::string&)>& onValue);

// The string value name under key ("HKEY_LOCAL_MACHINE\...") in the file, if
// present.
std::optional<std::string> RegistryValue(const std::filesystem::path& file, const std::string& key,
                                         const std::string& name);

}  // namespace testsupport
