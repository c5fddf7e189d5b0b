// Stands in for the desk in the launcher's test: prints "ran FOLDER ARGS", the folder it was
// started from and its arguments joined by spaces. The test stamps copies of it with versions.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string self = argv[0];
    const auto slash = self.rfind('/');
    std::string line = "ran " + (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + " ";
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    std::puts(line.c_str());
    return 0;
}
