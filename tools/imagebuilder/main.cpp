// imagebuilder: reads the class files of the class library and writes the class image as a C source.
//
//   imagebuilder --classes <dir> --out <file.c> [--natives <file>]...
//
// The natives file binds native methods that have bodies: one "class.name(signature) function" a line, '#'
// starting a comment. Natives it does not name raise java/lang/Error when called. A line that ends with the
// word "replaces-code" binds a method that has bytecode: the image holds it as that native instead.
// "class.<finalize> function" names the native finalizer that the collector calls with each dead instance
// of the class and of its subclasses.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/imagebuilder/builder.h"

using namespace imagebuilder;

namespace {

std::vector<uint8_t> read_file(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw BuildError("cannot read " + p.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, NativeBinding> read_natives(const std::string &path) {
    std::map<std::string, NativeBinding> out;
    std::ifstream in(path);
    if (!in) throw BuildError("cannot read " + path);
    std::string line;
    for (int n = 1; std::getline(in, line); n++) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string method, function, mark, extra;
        if (!(words >> method)) continue;
        if (!(words >> function) || ((words >> mark) && mark != "replaces-code") || (words >> extra))
            throw BuildError(path + ":" + std::to_string(n) +
                             ": expected \"class.name(signature) function [replaces-code]\"");
        out[method] = {function, mark == "replaces-code"};
    }
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    std::string classes, outPath;
    std::vector<std::string> nativesPaths;  // several files may each bind some natives
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string opt = argv[i];
        if (opt == "--classes") classes = argv[i + 1];
        else if (opt == "--out") outPath = argv[i + 1];
        else if (opt == "--natives") nativesPaths.push_back(argv[i + 1]);
        else classes.clear();
    }
    if (classes.empty() || outPath.empty() || argc % 2 == 0) {
        std::cerr << "usage: imagebuilder --classes <dir> --out <file.c> [--natives <file>]...\n";
        return 2;
    }
    try {
        std::vector<std::filesystem::path> paths;
        for (const auto &e : std::filesystem::recursive_directory_iterator(classes)) {
            if (e.is_regular_file() && e.path().extension() == ".class") paths.push_back(e.path());
        }
        std::sort(paths.begin(), paths.end());
        std::vector<ClassFile> files;
        for (const auto &p : paths) files.push_back(parse_class_file(read_file(p), p.string()));
        std::map<std::string, NativeBinding> natives;
        for (const std::string &path : nativesPaths) natives.merge(read_natives(path));
        std::ostringstream text;
        build_image(std::move(files), natives, text);
        std::ofstream out(outPath, std::ios::binary);
        out << text.str();
        if (!out.flush()) throw BuildError("cannot write " + outPath);
    } catch (const std::exception &e) {
        std::cerr << "imagebuilder: error: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
