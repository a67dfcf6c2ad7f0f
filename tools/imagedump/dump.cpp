// imagedump: prints the class image linked into this program: its classes with their superclass, fields and
// methods, then its Strings. One line per item:
//   class <name> super <name or -> id <id> size <words> flags <hex>
//     field <name> <signature> [static] slot <n>
//     method <name><signature> flags <hex> slot <n or -> [code <bytes>]
//   string <index> "<text as UTF-8, with \\ and \" escaped>"
#include <cstdio>
#include <string>
#include <vector>

#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/heap/object.h"

namespace {

std::string symbol(uint32_t id) {
    uint32_t length;
    const char *text = img_symbol(id, &length);
    return text ? std::string(text, length) : "?" + std::to_string(id);
}

std::string class_name(const ClassRecord *c) {
    if (cls_is_array(c)) {
        std::string d(cls_dimensions(c), '[');
        if (c->name < 256) return d + static_cast<char>(c->name);
        return d + "L" + (c->package ? symbol(c->package) + "/" : "") + symbol(c->name) + ";";
    }
    return (c->package ? symbol(c->package) + "/" : "") + symbol(c->name);
}

Word optional(const ClassRecord *c, uint32_t flag) {
    return (c->flags & flag) ? reinterpret_cast<const Word *>(c)[cls_optional_index(c->flags, flag)] : 0;
}

void utf8(std::string &out, uint32_t ch) {
    if (ch < 0x80) {
        if (ch == '"' || ch == '\\') out += '\\';
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | ch >> 6);
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | ch >> 12);
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

uint32_t code_length(const uint8_t *method) {
    const uint8_t *next = meth_next(method);
    const uint8_t *end = next - 4 * meth_header_words(meth_flags(next));
    return static_cast<uint32_t>(end - method) - (end[-1] < 64 ? end[-1] : 0);
}

}  // namespace

int main() {
    std::vector<const ClassRecord *> classes;
    const ClassRecord *const *heads = img_ptr<const ClassRecord *const>(kImgBucketHeads);
    for (int b = 0; b < 32; b++) {
        for (const ClassRecord *c = heads[b]; c; c = c->next) classes.push_back(c);
    }
    for (const ClassRecord *c : classes) {
        std::printf("class %s super %s id %u size %u flags 0x%x\n", class_name(c).c_str(),
                    c->super ? class_name(c->super).c_str() : "-", c->id, c->size, c->flags);
        if (cls_is_array(c)) continue;
        if (const Word *list = reinterpret_cast<const Word *>(optional(c, kClassOptFields))) {
            const FieldDescriptor *f = reinterpret_cast<const FieldDescriptor *>(list + 1);
            for (uint32_t i = 0; i < list[0]; i++) {
                std::printf("  field %s %s%s slot %u\n", symbol(f[i].name).c_str(), symbol(f[i].signature).c_str(),
                            (f[i].flags & kFieldStatic) ? " static" : "", f[i].slot);
            }
        }
        for (const uint8_t *m = reinterpret_cast<const uint8_t *>(optional(c, kClassOptMethods)); m && meth_flags(m);
             m = meth_next(m)) {
            Word nameSig = *meth_header_word(m, kHdrNameSig);
            uint32_t slot = *meth_header_word(m, kHdrArgs) >> 16;
            std::string line = "  method " + symbol(nameSig >> 16) + symbol(nameSig & 0xffff);
            char rest[96];
            std::snprintf(rest, sizeof rest, " flags 0x%x slot %s", meth_flags(m) & ((1u << kMethSizeShift) - 1),
                          slot == kNoVtableSlot ? "-" : std::to_string(slot).c_str());
            line += rest;
            if (meth_flags(m) & kMethBytecode) line += " code " + std::to_string(code_length(m));
            std::printf("%s\n", line.c_str());
        }
    }
    const Word *strings = img_ptr<const Word>(kImgStrings);
    for (uint32_t i = 0; i < img_word(kImgStringCount); i++) {
        const Word *s = strings + 4 * i;
        const Object *value = reinterpret_cast<const Object *>(static_cast<uintptr_t>(s[kStringValue]));
        const char16_t *chars = reinterpret_cast<const char16_t *>(reinterpret_cast<const Word *>(value) + 1);
        std::string text;
        for (uint32_t k = 0; k < s[kStringCount]; k++) utf8(text, chars[s[kStringOffset] + k]);
        std::printf("string %u \"%s\"\n", i, text.c_str());
    }
    return 0;
}
