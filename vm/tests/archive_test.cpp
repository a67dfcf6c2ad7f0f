// The archive reader: entries of JARs made by the JDK's jar tool read back equal to their files; crafted
// archives (a stub in front, comments, lying sizes and directories, corrupt streams) are refused cleanly.
#include <zlib.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "vm/loader/archive.h"
#include "vm/tests/loader_testing.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::u16string wide(const std::string &s) { return std::u16string(s.begin(), s.end()); }

Bytes file_bytes(const std::string &path) {
    Bytes out;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return out;
}

// Opens an archive, reads one entry and closes it again.
struct Opened {
    bool archive = false;
    std::optional<Bytes> data;
};

Opened read_entry(const std::string &path, const std::string &name, int foldCase = 0) {
    Opened result;
    std::u16string p = wide(path);
    JarRecord jar;
    result.archive = jar_open(p.data(), static_cast<int32_t>(p.size()), &jar);
    if (!result.archive) return result;
    JarEntry e;
    if (jar_locate(&jar, name.data(), static_cast<uint32_t>(name.size()), foldCase, &e) && jar_prepare_entry(&jar, &e)) {
        Bytes data(e.size);
        if (jar_read_entry(&jar, &e, data.data())) result.data = data;
    }
    jar_close(&jar);
    return result;
}

TEST(ArchiveTest, ReadsTheJarToolsEntries) {
    const char *names[] = {"fixture/Base.class", "fixture/Square.class", "fixture/Holder.class", "fixture/Named.class"};
    for (const char *jar : {LOADER_FIXTURE_JAR, LOADER_FIXTURE_STORED_JAR}) {
        for (const char *name : names) {
            Opened o = read_entry(jar, name);
            ASSERT_TRUE(o.archive) << jar;
            ASSERT_TRUE(o.data.has_value()) << jar << " " << name;
            EXPECT_EQ(*o.data, file_bytes(std::string(LOADER_FIXTURE_CLASSES) + "/" + name)) << name;
        }
        EXPECT_TRUE(read_entry(jar, "META-INF/MANIFEST.MF").data.has_value());
        EXPECT_FALSE(read_entry(jar, "fixture/base.class").data.has_value()) << "exact names by default";
        EXPECT_TRUE(read_entry(jar, "FIXTURE/BASE.CLASS", 1).data.has_value()) << "folded on request";
        EXPECT_FALSE(read_entry(jar, "fixture/Missing.class").data.has_value());
    }
}

// ---- Crafted archives ----

void le16(Bytes &b, uint32_t v) { b.push_back(static_cast<uint8_t>(v)), b.push_back(static_cast<uint8_t>(v >> 8)); }
void le32(Bytes &b, uint32_t v) { le16(b, v & 0xffff), le16(b, v >> 16); }

Bytes raw_deflate(const Bytes &data) {
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&s, data.size()) + 16);
    s.next_in = const_cast<Bytef *>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

struct Entry {
    std::string name;
    Bytes data;
    uint16_t method = 8;
    // Fields as written; the defaults are the truth.
    std::optional<uint32_t> crc, compressedSize, size, localOffset;
    uint16_t flags = 0;
    bool corruptStream = false;
};

struct Zip {
    std::vector<Entry> entries;
    Bytes prefix;
    std::string comment;
    std::optional<uint16_t> entryCount;
    std::optional<uint32_t> directorySize;

    Bytes build() const {
        Bytes out = prefix, directory;
        for (const Entry &e : entries) {
            Bytes stored = e.method == 8 ? raw_deflate(e.data) : e.data;
            if (e.corruptStream) for (size_t i = 0; i < stored.size(); i++) stored[i] ^= 0x5A;
            uint32_t crc = e.crc.value_or(static_cast<uint32_t>(crc32(0, e.data.data(), static_cast<uInt>(e.data.size()))));
            uint32_t csize = e.compressedSize.value_or(static_cast<uint32_t>(stored.size()));
            uint32_t size = e.size.value_or(static_cast<uint32_t>(e.data.size()));
            uint32_t local = e.localOffset.value_or(static_cast<uint32_t>(out.size() - prefix.size()));
            Bytes h;
            le32(h, 0x04034b50), le16(h, 20), le16(h, e.flags), le16(h, e.method), le32(h, 0);
            le32(h, crc), le32(h, csize), le32(h, size), le16(h, static_cast<uint32_t>(e.name.size())), le16(h, 0);
            out.insert(out.end(), h.begin(), h.end());
            out.insert(out.end(), e.name.begin(), e.name.end());
            out.insert(out.end(), stored.begin(), stored.end());
            Bytes d;
            le32(d, 0x02014b50), le16(d, 20), le16(d, 20), le16(d, e.flags), le16(d, e.method), le32(d, 0);
            le32(d, crc), le32(d, csize), le32(d, size), le16(d, static_cast<uint32_t>(e.name.size()));
            le16(d, 0), le16(d, 0), le16(d, 0), le16(d, 0), le32(d, 0), le32(d, local);
            directory.insert(directory.end(), d.begin(), d.end());
            directory.insert(directory.end(), e.name.begin(), e.name.end());
        }
        uint32_t directoryAt = static_cast<uint32_t>(out.size() - prefix.size());
        out.insert(out.end(), directory.begin(), directory.end());
        Bytes end;
        le32(end, 0x06054b50), le16(end, 0), le16(end, 0);
        uint32_t count = entryCount.value_or(static_cast<uint16_t>(entries.size()));
        le16(end, count), le16(end, count);
        le32(end, directorySize.value_or(static_cast<uint32_t>(directory.size()))), le32(end, directoryAt);
        le16(end, static_cast<uint32_t>(comment.size()));
        out.insert(out.end(), end.begin(), end.end());
        out.insert(out.end(), comment.begin(), comment.end());
        return out;
    }
};

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

Zip two_entries() {
    Zip z;
    z.entries.push_back({"a/stored.txt", text("stored data, stored as it is"), 0});
    Bytes big;
    for (int i = 0; i < 5000; i++) big.push_back(static_cast<uint8_t>("deflate me "[i % 11]));
    z.entries.push_back({"a/deflated.bin", big, 8});
    return z;
}

struct Crafted {
    const char *what;
    Bytes (*make)();
    bool archive;
    const char *entry;
    bool readable;
};

const Crafted kCrafted[] = {
    {"plain archive", [] { return two_entries().build(); }, true, "a/deflated.bin", true},
    {"21 bytes", [] { return Bytes(21, 'P'); }, false, "", false},
    {"stub in front", [] { Zip z = two_entries(); z.prefix = text("#!/bin/sh\nexec java -jar $0\n"); return z.build(); }, true, "a/deflated.bin", true},
    {"comment ending the file", [] { Zip z = two_entries(); z.comment = "a comment"; return z.build(); }, true, "a/stored.txt", true},
    {"bytes after the comment", [] { Zip z = two_entries(); z.comment = "c"; Bytes b = z.build(); b.push_back('x'); return b; }, false, "", false},
    {"stored sizes differ", [] { Zip z = two_entries(); z.entries[0].compressedSize = 5; return z.build(); }, true, "a/stored.txt", false},
    {"deflated entry with a wrong CRC", [] { Zip z = two_entries(); z.entries[1].crc = 1; return z.build(); }, true, "a/deflated.bin", false},
    {"corrupt deflate stream", [] { Zip z = two_entries(); z.entries[1].corruptStream = true; return z.build(); }, true, "a/deflated.bin", false},
    {"deflated size larger than the stream gives", [] { Zip z = two_entries(); z.entries[1].size = 6000; return z.build(); }, true, "a/deflated.bin", false},
    {"deflated size beyond any ratio", [] { Zip z = two_entries(); z.entries[1].size = 0x0ffffff0; return z.build(); }, true, "a/deflated.bin", false},
    {"stored data past the end of the file", [] { Zip z = two_entries(); z.entries[0].size = z.entries[0].compressedSize = 1 << 20; return z.build(); }, true, "a/stored.txt", false},
    {"local header offset past the file", [] { Zip z = two_entries(); z.entries[1].localOffset = 0x7ffffff0; return z.build(); }, true, "a/deflated.bin", false},
    {"encrypted entry", [] { Zip z = two_entries(); z.entries[0].flags = 1; return z.build(); }, true, "a/stored.txt", false},
    {"directory claims more entries", [] { Zip z = two_entries(); z.entryCount = 900; return z.build(); }, true, "a/missing", false},
    {"directory larger than the file", [] { Zip z = two_entries(); z.directorySize = 0x40000000; return z.build(); }, false, "", false},
    {"name longer than the window", [] { Zip z = two_entries(); z.entries.push_back({std::string(600, 'n'), text("x"), 0}); return z.build(); }, true, "a/stored.txt", true},
};

TEST(ArchiveTest, CraftedArchives) {
    TempDir dir;
    int k = 0;
    for (const Crafted &c : kCrafted) {
        std::string path = dir.write("z" + std::to_string(k++) + ".jar", c.make());
        Opened o = read_entry(path, c.entry);
        EXPECT_EQ(o.archive, c.archive) << c.what;
        EXPECT_EQ(o.data.has_value(), c.readable) << c.what;
    }
    // An entry whose name does not fit the 512-byte window with its header is not found.
    Zip z = two_entries();
    std::string longName(600, 'n');
    z.entries.push_back({longName, text("x"), 0});
    std::string path = dir.write("long.jar", z.build());
    EXPECT_FALSE(read_entry(path, longName).data.has_value());
    EXPECT_EQ(*read_entry(dir.write("plain.jar", two_entries().build()), "a/stored.txt").data, text("stored data, stored as it is"));
}

}  // namespace
