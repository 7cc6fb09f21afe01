// fffpack: packs files into an FFF archive.
//
//   fffpack OUT.cod [--as NAME] FILE [[--as NAME] FILE]...
//
// Each FILE becomes one entry, in the order given. Its name inside the archive
// is NAME when "--as NAME" comes right before it, else FILE as written; in
// both, "\" becomes "/" (an entry stored with "\" could never be found) and a
// leading "./" is dropped. Names must be 1 to 127 characters and unique
// without regard to the case of A to Z (a lookup would only ever find the
// first of two). The archive's 24 uninterpreted header bytes are zeros.
//
// Nothing is printed on success. Errors go to standard error with exit code 1
// (2 for a wrong command line), and no archive is written then.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ArchiveBuilder.h"

namespace {

int Usage() {
    std::fputs("usage: fffpack OUT.cod [--as NAME] FILE [[--as NAME] FILE]...\n", stderr);
    return 2;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "fffpack: %s\n", text.c_str());
    return 1;
}

std::string EntryName(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    while (name.size() > 2 && name.compare(0, 2, "./") == 0) name.erase(0, 2);
    return name;
}

std::string FoldAZ(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return s;
}

int Run(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string out = argv[1];

    struct Input {
        std::string file, name;
    };
    std::vector<Input> inputs;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name;
        if (arg == "--as") {
            if (i + 2 >= argc) return Usage();
            name = argv[i + 1];
            arg = argv[i + 2];
            i += 2;
        } else {
            name = arg;
        }
        inputs.push_back({arg, EntryName(name)});
    }

    testsupport::ArchiveBuilder archive;
    std::set<std::string> seen;
    for (const Input& in : inputs) {
        if (in.name.empty() || in.name.size() > 127)
            return Fail("entry name must be 1 to 127 characters: \"" + in.name + "\"");
        if (!seen.insert(FoldAZ(in.name)).second) return Fail("entry name given twice: \"" + in.name + "\"");
        std::ifstream file(in.file, std::ios::binary);
        if (!file) return Fail("cannot read " + in.file);
        std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (file.bad()) return Fail("cannot read " + in.file);
        archive.Add(in.name, data);
    }

    std::string bytes = archive.Build();  // throws when beyond the format's 4 GiB
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::remove(out.c_str());
        return Fail("cannot write " + out);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
