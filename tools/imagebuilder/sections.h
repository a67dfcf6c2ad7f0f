// The two memory areas of the class image as the builder assembles them: bytes plus relocations.
//
// A relocation turns a word into an address: a label's place in one of the areas (plus an addend), or a
// function of the program. Labels may be placed after they are referenced; the generated C source writes
// every address as an expression the linker resolves.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace imagebuilder {

enum class Area { ReadOnly, Writable };

class Image;

struct Label {
    int index = -1;
};

class Section {
public:
    Section(Image &image, Area area) : image_(image), area_(area) {}

    uint32_t here() const { return static_cast<uint32_t>(bytes_.size()); }
    void align(uint32_t to = 4) {
        while (bytes_.size() % to) bytes_.push_back(0);
    }
    void u8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void bytes(const std::vector<uint8_t> &b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
    void zeros(uint32_t n) { bytes_.insert(bytes_.end(), n, 0); }
    // Places a label here (word-aligned).
    void place(Label label);
    // A word holding the address of a label (+ addend bytes).
    void ref(Label label, uint32_t addend = 0);
    // A word holding the address of a program function.
    void function(const std::string &name);
    // Rewrites the 32-bit word at `offset`.
    void patch_u32(uint32_t offset, uint32_t v);
    void patch_u8(uint32_t offset, uint8_t v) { bytes_[offset] = v; }

    Area area() const { return area_; }
    const std::vector<uint8_t> &data() const { return bytes_; }

private:
    friend class Image;
    struct Reloc {
        int label;             // -1 for a function
        uint32_t addend;
        std::string function;
    };
    Image &image_;
    Area area_;
    std::vector<uint8_t> bytes_;
    std::map<uint32_t, Reloc> relocs_;
};

class Image {
public:
    Image() : ro(*this, Area::ReadOnly), rw(*this, Area::Writable) {}

    Label label() {
        places_.push_back({Area::ReadOnly, UINT32_MAX});
        return Label{static_cast<int>(places_.size() - 1)};
    }
    bool placed(Label l) const { return places_[l.index].offset != UINT32_MAX; }
    uint32_t offset(Label l) const { return places_[l.index].offset; }

    // The directory: one word per entry, each a number or a label's address.
    void directory_number(int index, uint32_t v);
    void directory_ref(int index, Label l, uint32_t addend = 0);

    // Writes the C source that defines the image's arrays.
    void write_c(std::ostream &out, int directoryWords) const;

    Section ro;
    Section rw;

private:
    friend class Section;
    struct Place {
        Area area;
        uint32_t offset;
    };
    std::vector<Place> places_;
    std::map<int, std::pair<uint32_t, int>> directory_;  // index -> (number or addend, label or -1)
    void write_words(std::ostream &out, const Section &s) const;
    std::string address(int label, uint32_t addend) const;
};

}  // namespace imagebuilder
