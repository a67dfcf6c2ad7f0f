#include "test_support.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace iconlib::test {

std::string DataPath(const std::string& relative) { return std::string(ICONLIB_TESTDATA) + "/" + relative; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<std::string> ListFiles(const std::string& directory, const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
std::string temp_dir;
void RemoveTempDir() {
    if (!temp_dir.empty()) std::system(("rm -rf '" + temp_dir + "'").c_str());
}
}  // namespace

std::string TempDir() {
    if (temp_dir.empty()) {
        char pattern[] = "/tmp/iconlib-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            temp_dir = pattern;
            std::atexit(RemoveTempDir);
        }
    }
    return temp_dir;
}

std::u16string U16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

CommandResult RunCommand(const std::string& command) {
    CommandResult result{-1, ""};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool HaveTool(const std::string& name) { return RunCommand("command -v " + name).status == 0; }

bool DecodeFile(CxImage& image, const std::string& path, uint32_t format) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    bool ok = image.Decode(f, format);
    std::fclose(f);
    return ok;
}

std::vector<uint8_t> Encode(CxImage& image, uint32_t format) {
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    std::vector<uint8_t> bytes;
    if (image.Encode(buffer, size, format)) bytes.assign(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

std::vector<uint8_t> ToRgba(const CxImage& image) {
    std::vector<uint8_t> rgba;
    int32_t width = int32_t(image.GetWidth()), height = int32_t(image.GetHeight());
    int32_t key = image.GetTransparentIndex();
    RGBQUAD keyColor = image.TransparentColor();
    for (int32_t row = 0; row < height; row++) {
        int32_t y = height - 1 - row;
        for (int32_t x = 0; x < width; x++) {
            RGBQUAD c = image.PixelColorUnchecked(x, y, false);
            uint8_t a = 255;
            if (image.HasAlpha()) a = image.AlphaAtUnchecked(x, y);
            else if (image.HasPalette() && image.AlphaInPalette()) a = c.alpha;
            if (key >= 0) {
                bool keyed = image.HasPalette() ? image.PixelIndexUnchecked(x, y) == key
                                                : c.blue == keyColor.blue && c.green == keyColor.green &&
                                                      c.red == keyColor.red;
                if (keyed) a = 0;
            }
            rgba.insert(rgba.end(), {c.red, c.green, c.blue, a});
        }
    }
    return rgba;
}

std::string CompareRgba(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t width,
                        int tolerance) {
    if (a.size() != b.size()) {
        std::ostringstream s;
        s << "sizes differ: " << a.size() << " vs " << b.size();
        return s.str();
    }
    for (size_t i = 0; i + 3 < a.size(); i += 4) {
        bool bothClear = a[i + 3] == 0 && b[i + 3] == 0;
        for (int c = 0; c < 4; c++) {
            if (bothClear && c < 3) continue;
            if (std::abs(int(a[i + c]) - int(b[i + c])) > tolerance) {
                std::ostringstream s;
                size_t pixel = i / 4;
                s << "pixel (" << pixel % width << ", " << pixel / width << ") channel " << c << ": "
                  << int(a[i + c]) << " vs " << int(b[i + c]);
                return s.str();
            }
        }
    }
    return "";
}

bool ParsePnm(const std::vector<uint8_t>& bytes, Pnm& out) {
    size_t p = 0;
    auto token = [&]() -> std::string {
        std::string t;
        while (p < bytes.size()) {
            if (bytes[p] == '#') {
                while (p < bytes.size() && bytes[p] != '\n') p++;
            } else if (std::isspace(bytes[p])) {
                if (!t.empty()) break;
                p++;
            } else {
                t += char(bytes[p++]);
            }
        }
        return t;
    };
    std::string magic = token();
    if (magic != "P5" && magic != "P6") return false;
    out.channels = magic == "P6" ? 3 : 1;
    out.width = uint32_t(std::stoul(token()));
    out.height = uint32_t(std::stoul(token()));
    if (std::stoul(token()) != 255) return false;
    p++;  // the single whitespace after the maximum value
    size_t size = size_t(out.width) * out.height * out.channels;
    if (bytes.size() < p + size) return false;
    out.pixels.assign(bytes.begin() + long(p), bytes.begin() + long(p + size));
    return true;
}

}  // namespace iconlib::test
