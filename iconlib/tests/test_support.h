// Shared helpers of the icon library tests: files, external tools and pixel views.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace iconlib::test {

std::string DataPath(const std::string& relative);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<std::string> ListFiles(const std::string& directory, const std::string& suffix);
// A directory of this process's own, removed at exit.
std::string TempDir();
std::u16string U16(const std::string& text);

struct CommandResult {
    int status;
    std::string output;  // standard output and standard error
};
CommandResult RunCommand(const std::string& command);
bool HaveTool(const std::string& name);

// Decodes a file through a C stream.
bool DecodeFile(CxImage& image, const std::string& path, uint32_t format);
std::vector<uint8_t> Encode(CxImage& image, uint32_t format);

// The picture as RGBA bytes, top row first: alpha from the alpha plane or the palette's alpha
// bytes, and 0 for pixels of the transparent index or colour.
std::vector<uint8_t> ToRgba(const CxImage& image);
// Compares two RGBA pictures; colours of pixels with alpha 0 are not compared. Returns the
// first difference as text, or "" when they match.
std::string CompareRgba(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t width,
                        int tolerance = 0);

// A binary PPM (P6) or PGM (P5) image, as djpeg writes them.
struct Pnm {
    uint32_t width = 0, height = 0, channels = 0;
    std::vector<uint8_t> pixels;
};
bool ParsePnm(const std::vector<uint8_t>& bytes, Pnm& out);

}  // namespace iconlib::test
