// benchgen: writes the benchmark's inputs.
//
//   benchgen textures DIR SIZE BITS   t9, t10, t11 ".tex.big.tga" of SIZE x SIZE
//                                     pixels, 24 or 32 bits, type 2; t10 carries
//                                     a 5-byte image ID field
//   benchgen vehicles FILE CARS       a vehicle configuration of CARS car
//                                     sections (Car0 ...), each with the
//                                     eighteen keys; the last car is named
//                                     "Bench Target", the one the skin names
//   benchgen archive FILE ENTRIES TAG an FFF archive of ENTRIES entries
//                                     named "TAG/...", each with 16 bytes of
//                                     data placed after the entry table
//   benchgen skin DIR                 Skin.cfg (car "bench target") and the
//                                     six small skin files the installer copies
//
// Rules: the content is fixed (a seeded generator), so every run measures the
// same bytes. Lines of .cfg files end in CR LF. Exit code 0, or 1 with a line
// on stderr when a file cannot be written or the arguments are wrong.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint64_t rngState = 0x9E3779B97F4A7C15ull;
std::uint64_t Next() {
    rngState ^= rngState << 13;
    rngState ^= rngState >> 7;
    rngState ^= rngState << 17;
    return rngState;
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "benchgen: can't write '%s'\n", path.c_str());
    return ok;
}

void PutLe16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8 & 0xFF);
}

void PutLe32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}

bool Textures(const std::string& dir, unsigned size, unsigned bits) {
    if (size == 0 || size > 65535 || (bits != 24 && bits != 32)) {
        std::fprintf(stderr, "benchgen: textures need SIZE 1..65535 and BITS 24 or 32\n");
        return false;
    }
    for (const char* base : {"t9", "t10", "t11"}) {
        std::string id = std::strcmp(base, "t10") == 0 ? "bench" : "";
        std::string header;
        header += static_cast<char>(id.size());  // ID length
        header += '\0';                           // no colour map
        header += '\2';                           // uncompressed true colour
        header.append(5, '\0');                   // colour-map fields
        PutLe16(header, 0);                       // X origin
        PutLe16(header, 0);                       // Y origin
        PutLe16(header, size);
        PutLe16(header, size);
        header += static_cast<char>(bits);
        header += static_cast<char>(bits == 32 ? 8 : 0);  // descriptor: alpha bits
        header += id;

        std::string path = dir + "/" + base + ".tex.big.tga";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            std::fprintf(stderr, "benchgen: can't write '%s'\n", path.c_str());
            return false;
        }
        bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
        const std::size_t rowBytes = std::size_t{size} * (bits / 8);
        std::vector<std::uint64_t> row((rowBytes + 7) / 8);
        for (unsigned y = 0; y < size && ok; ++y) {
            for (std::uint64_t& w : row) w = Next();
            ok = std::fwrite(row.data(), 1, rowBytes, f) == rowBytes;
        }
        if (std::fclose(f) != 0) ok = false;
        if (!ok) {
            std::fprintf(stderr, "benchgen: can't write '%s'\n", path.c_str());
            return false;
        }
    }
    return true;
}

// One car section with realistic values, about 1.1 KB, so that 250 cars
// already make a configuration well over the installer's 256 KiB work buffer.
void AppendCar(std::string& out, int index, bool target) {
    char num[16];
    std::snprintf(num, sizeof num, "%04d", index);
    auto line = [&out](const char* key, const std::string& value) {
        out += key;
        out += '=';
        out += value;
        out += "\r\n";
    };
    std::string n(num);
    if (index != 0) out += "\r\n";
    out += "[Car" + std::to_string(index) + "]\r\n";
    line("Name", target ? "Bench Target" : "Bench Car " + n);
    line("LongName", "Bench Motors " + n + " Gravel Special, long-travel suspension, rally homologation");
    line("Check", "Cars\\Car" + n + "\\check.dat,Cars\\Car" + n + "\\check_lod1.dat");
    line("Crash", "Cars\\Car" + n + "\\crash.dat,Cars\\Car" + n + "\\crash_lod1.dat,Cars\\Car" + n +
                      "\\crash_lod2.dat");
    line("Engine", "Cars\\Car" + n + "\\engine.dat,2.8 litre six,turbo,intercooler,dry sump");
    line("Transmission", "Cars\\Car" + n + "\\gearbox.dat,sequential,6 forward,1 reverse");
    line("TransmissionValue", "3.583,2.105,1.528,1.172,0.941,0.784,3.250,4.111,0.650,0.350");
    line("Color", "Red,Blue,Green Racing,Yellow");
    line("DirName", "red,blue,green_racing,yellow");
    line("FrontDifferentials", "Cars\\Car" + n + "\\diff_front.dat,limited slip,plate type");
    line("RearDifferentials", "Cars\\Car" + n + "\\diff_rear.dat,limited slip,plate type");
    line("FrontDifferValue", "0.35,0.40,0.45,0.50,0.55,0.60,0.65,0.70,0.75,0.80");
    line("RearDifferValue", "0.45,0.50,0.55,0.60,0.65,0.70,0.75,0.80,0.85,0.90");
    line("Tires", "Cars\\Car" + n + "\\tires_gravel.dat,Cars\\Car" + n + "\\tires_tarmac.dat,Cars\\Car" + n +
                      "\\tires_snow.dat");
    line("TiresValue", "1.05,1.10,0.95,0.90,1.00,1.02,0.98,0.97,1.01,1.03,0.99,0.96,1.04,1.06,0.94,0.93");
    line("Weight", std::to_string(1150 + index % 400) + ",front 54,rear 46,driver 80,fuel 60");
    line("Torque", "180,220,260,300,340,380,410,430,440,445,440,430,410,380,350,320,290,260,230,200");
    line("Power", "90,110,130,150,170,190,210,230,250,265,280,290,295,298,300,298,292,285,275,260");
}

bool Vehicles(const std::string& path, int cars) {
    if (cars < 1) {
        std::fprintf(stderr, "benchgen: vehicles need at least one car\n");
        return false;
    }
    std::string out;
    for (int i = 0; i < cars; ++i) AppendCar(out, i, i == cars - 1);
    return WriteFile(path, out);
}

bool Archive(const std::string& path, long entries, const std::string& tag) {
    if (entries < 0 || entries > 1000000) {
        std::fprintf(stderr, "benchgen: archive needs 0..1000000 entries\n");
        return false;
    }
    const std::uint32_t tableSize = static_cast<std::uint32_t>(entries) * 136;
    const std::uint32_t dataStart = 28 + tableSize;
    std::string out;
    out.reserve(dataStart + 16 * static_cast<std::size_t>(entries));
    out += "benchgen FFF archive";  // 24 bytes nobody reads
    out.resize(24, '\0');
    PutLe32(out, tableSize);
    for (long i = 0; i < entries; ++i) {
        char name[128] = {};
        std::snprintf(name, sizeof name, "%s/Cars/Car%04ld/Parts/part_%06ld.dat", tag.c_str(), i % 2000, i);
        out.append(name, sizeof name);
        PutLe32(out, dataStart + static_cast<std::uint32_t>(i) * 16);
        PutLe32(out, 16);
    }
    for (long i = 0; i < entries; ++i) {
        std::uint64_t a = Next(), b = Next();
        out.append(reinterpret_cast<const char*>(&a), 8);
        out.append(reinterpret_cast<const char*>(&b), 8);
    }
    return WriteFile(path, out);
}

bool Skin(const std::string& dir) {
    if (!WriteFile(dir + "/Skin.cfg",
                   "[SKINAPPEND]\r\nName=bench target\r\nSkinName=Bench Gold\r\nSkinDirName=bench gold\r\n"))
        return false;
    for (const char* name : {"t9.tex", "t10.tex", "t11.tex", "t9.tex.big.tga", "t10.tex.big.tga",
                             "t11.tex.big.tga"}) {
        std::string data(4096, '\0');
        for (char& c : data) c = static_cast<char>(Next());
        if (!WriteFile(dir + "/" + name, data)) return false;
    }
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: benchgen textures DIR SIZE BITS | vehicles FILE CARS | archive FILE ENTRIES TAG | "
                 "skin DIR\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string what = argv[1];
    bool ok;
    if (what == "textures" && argc == 5)
        ok = Textures(argv[2], static_cast<unsigned>(std::atoi(argv[3])), static_cast<unsigned>(std::atoi(argv[4])));
    else if (what == "vehicles" && argc == 4)
        ok = Vehicles(argv[2], std::atoi(argv[3]));
    else if (what == "archive" && argc == 5)
        ok = Archive(argv[2], std::atol(argv[3]), argv[4]);
    else if (what == "skin" && argc == 3)
        ok = Skin(argv[2]);
    else
        return Usage();
    return ok ? 0 : 1;
}
