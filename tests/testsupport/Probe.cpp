// A stand-in program for the RunProgram tests. It prints:
//   "probe\n", a line with a lone carriage return "a\rb\n",
//   "text=<PROBE_TEXT>\n" (empty when unset),
//   "file=<first line of input.txt in the working folder>\n" (empty when missing),
//   "arg=[<argument>]\n" for each command-line argument,
// and ends with the exit code given in PROBE_EXIT (0 when unset).
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    std::printf("probe\n");
    std::printf("a\rb\n");
    const char* text = std::getenv("PROBE_TEXT");
    std::printf("text=%s\n", text ? text : "");
    char line[256] = "";
    if (std::FILE* f = std::fopen("input.txt", "rb")) {
        if (std::fgets(line, sizeof line, f) == nullptr) line[0] = '\0';
        line[std::strcspn(line, "\r\n")] = '\0';
        std::fclose(f);
    }
    std::printf("file=%s\n", line);
    for (int i = 1; i < argc; ++i) std::printf("arg=[%s]\n", argv[i]);
    const char* code = std::getenv("PROBE_EXIT");
    std::fflush(stdout);
    std::exit(code ? std::atoi(code) : 0);
}
