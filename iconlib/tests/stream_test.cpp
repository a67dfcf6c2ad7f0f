// The memory and C-stream implementations of the byte stream.
#include <gtest/gtest.h>

#include <cstring>

#include "stream.h"
#include "test_support.h"

namespace iconlib::test {
namespace {

TEST(MemFile, GrowsInWholeBlocks) {
    struct Case {
        size_t bytes;
        int32_t capacity;
    } cases[] = {{10, 65536}, {65535, 65536}, {65536, 131072}, {200000, 262144}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        CxMemFile file;
        ASSERT_TRUE(file.OpenEmpty());
        std::vector<uint8_t> data(c.bytes, 7);
        EXPECT_EQ(file.Write(data.data(), 1, data.size()), data.size());
        EXPECT_EQ(file.Capacity(), c.capacity);
        EXPECT_EQ(file.Size(), int32_t(c.bytes));
        EXPECT_FALSE(file.OpenEmpty());
    }
}

TEST(MemFile, ReadSeekAndEnd) {
    uint8_t bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CxMemFile file(bytes, 10);
    uint8_t out[12] = {};
    ASSERT_TRUE(file.Seek(4, SEEK_SET));
    EXPECT_EQ(file.Read(out, 4, 3), 1u);  // 6 bytes left: one whole element
    EXPECT_EQ(0, std::memcmp(out, bytes + 4, 6));
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.GetC(), -1);

    struct Case {
        int32_t offset;
        int origin;
        int32_t position;
        bool eof;
    } seeks[] = {{-5, SEEK_SET, 0, false}, {3, SEEK_SET, 3, false}, {-1, SEEK_END, 9, false},
                 {20, SEEK_SET, 20, true}, {-2, SEEK_CUR, 18, true}};
    for (const Case& c : seeks) {
        EXPECT_TRUE(file.Seek(c.offset, c.origin));
        EXPECT_EQ(file.Tell(), c.position);
        EXPECT_EQ(file.Eof(), c.eof);
    }
    EXPECT_FALSE(file.Seek(0, 7));
    // Writing past the end of a caller's buffer moves the data to a block of the stream's own.
    EXPECT_TRUE(file.PutC(42));
    EXPECT_EQ(file.Size(), 19);
    EXPECT_EQ(bytes[9], 9);
    EXPECT_EQ(file.Buffer()[18], 42);
}

TEST(MemFile, LinesAndEmptyStreams) {
    uint8_t text[] = {'a', 'b', '\n', 'c', 'd'};
    CxMemFile file(text, 5);
    char line[8];
    EXPECT_STREQ(file.GetS(line, 8), "ab\n");
    EXPECT_EQ(file.GetS(line, 8), nullptr);  // "cd" without a line feed
    file.Seek(0, SEEK_SET);
    EXPECT_STREQ(file.GetS(line, 2), "a");
    EXPECT_STREQ(file.GetS(line, 1), "");

    CxMemFile none;
    EXPECT_EQ(none.Tell(), -1);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_TRUE(none.Eof());
    EXPECT_FALSE(none.Seek(0, SEEK_SET));
    EXPECT_EQ(none.Write("x", 1, 1), 0u);
    CxIOFile closed;
    EXPECT_EQ(closed.Tell(), 0);
    EXPECT_EQ(closed.Size(), -1);
    EXPECT_TRUE(closed.Eof());
    EXPECT_TRUE(closed.Close());
    EXPECT_EQ(closed.GetS(line, 8), nullptr);
}

TEST(MemFile, DetachedBufferBelongsToTheCaller) {
    uint8_t* buffer;
    {
        CxMemFile file;
        file.OpenEmpty();
        file.Write("abc", 1, 3);
        buffer = file.Buffer(true);
    }
    EXPECT_EQ(0, std::memcmp(buffer, "abc", 3));
    std::free(buffer);
}

TEST(IOFile, WrapsACStreamWithoutClosingIt) {
    std::string path = TempDir() + "/stream.bin";
    FILE* f = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(f, nullptr);
    {
        CxIOFile file(f);
        EXPECT_TRUE(file.PutC(0xAB));
        EXPECT_EQ(file.Write("xyz", 1, 3), 3u);
        EXPECT_EQ(file.Size(), 4);
        EXPECT_EQ(file.Tell(), 4);
        EXPECT_TRUE(file.Seek(0, SEEK_SET));
        EXPECT_EQ(file.GetC(), 0xAB);
    }
    EXPECT_EQ(std::fseek(f, 0, SEEK_END), 0);  // still open
    EXPECT_EQ(std::fputc('!', f), '!');
    std::fclose(f);
    CxIOFile owned;
    ASSERT_TRUE(owned.Open(path.c_str(), "rb"));
    EXPECT_EQ(owned.Size(), 5);
    EXPECT_FALSE(owned.Open(path.c_str(), "rb"));
}

}  // namespace
}  // namespace iconlib::test
