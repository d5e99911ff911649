// Reading .res files: the layout windres and rc.exe write, with the padding that string
// ids and odd data sizes bring, and refusal of files that are cut short or inconsistent.
#include "../../win32/kernel/res_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Id {
    bool isString;
    WORD ordinal;
    std::u16string text;
};
Id ord(WORD v) { return Id{false, v, {}}; }
Id str(std::u16string s) { return Id{true, 0, std::move(s)}; }

class ResBytes {
public:
    ResBytes() { entry(ord(0), ord(0), {}); }  // the empty entry every .res opens with

    // One entry; extraHeader pads the header beyond its fields (HeaderSize covers it).
    ResBytes& entry(const Id& type, const Id& name, const std::vector<std::uint8_t>& data,
                    std::size_t extraHeader = 0) {
        std::vector<std::uint8_t> header;
        putId(header, type);
        putId(header, name);
        while ((8 + header.size()) % 4 != 0) header.push_back(0);
        put32(header, 0);       // DataVersion
        put16(header, 0x1030);  // MemoryFlags
        put16(header, 0x0409);  // LanguageId
        put32(header, 0);       // Version
        put32(header, 0);       // Characteristics
        header.insert(header.end(), extraHeader, 0);
        put32(bytes, static_cast<DWORD>(data.size()));
        put32(bytes, static_cast<DWORD>(8 + header.size()));
        bytes.insert(bytes.end(), header.begin(), header.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4 != 0) bytes.push_back(0);
        return *this;
    }

    std::vector<std::uint8_t> bytes;

private:
    static void put16(std::vector<std::uint8_t>& out, WORD v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    static void put32(std::vector<std::uint8_t>& out, DWORD v) {
        put16(out, static_cast<WORD>(v));
        put16(out, static_cast<WORD>(v >> 16));
    }
    static void putId(std::vector<std::uint8_t>& out, const Id& id) {
        if (!id.isString) {
            put16(out, 0xFFFF);
            put16(out, id.ordinal);
            return;
        }
        for (char16_t c : id.text) put16(out, c);
        put16(out, 0);
    }
};

std::optional<std::vector<win32sim::ResEntry>> parse(const std::vector<std::uint8_t>& bytes) {
    return win32sim::parseResFile(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> dataOf(const win32sim::ResEntry& entry) {
    return std::vector<std::uint8_t>(entry.data, entry.data + entry.size);
}

struct IdCase {
    const char* what;
    Id type;
    Id name;
};

// String ids of each length modulo 4 in bytes, so that each amount of padding before
// DataVersion occurs; data of odd size, so that each entry is padded before the next.
const IdCase kIds[] = {
    {"ordinals", ord(10), ord(109)},
    {"string name, 1 unit", ord(10), str(u"A")},
    {"string name, 2 units", ord(10), str(u"AB")},
    {"string type and name", str(u"FIRMWARE"), str(u"IMG")},
    {"string type, ordinal name", str(u"X"), ord(7)},
};

TEST(ResFile, ReadsEntriesWithOrdinalOrStringIds) {
    for (const IdCase& c : kIds) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> first{1, 2, 3, 4, 5};
        const std::vector<std::uint8_t> second{0xAA, 0xBB, 0xCC};
        // The entries point into the bytes: keep them alive while the entries are read.
        const std::vector<std::uint8_t> bytes =
            ResBytes().entry(c.type, c.name, first).entry(ord(24), ord(1), second).bytes;
        const auto entries = parse(bytes);
        ASSERT_TRUE(entries);
        ASSERT_EQ(entries->size(), 2u);
        const auto& e = (*entries)[0];
        EXPECT_EQ(e.type.isString, c.type.isString);
        EXPECT_EQ(e.name.isString, c.name.isString);
        EXPECT_EQ(e.type.ordinal, c.type.ordinal);
        EXPECT_EQ(e.name.ordinal, c.name.ordinal);
        EXPECT_EQ(e.type.text, std::string(c.type.text.begin(), c.type.text.end()));
        EXPECT_EQ(e.name.text, std::string(c.name.text.begin(), c.name.text.end()));
        EXPECT_EQ(e.language, 0x0409);
        EXPECT_EQ(e.memoryFlags, 0x1030);
        EXPECT_EQ(dataOf(e), first);
        EXPECT_EQ((*entries)[1].type.ordinal, 24);
        EXPECT_EQ(dataOf((*entries)[1]), second);
    }
}

TEST(ResFile, DataStartsWhereHeaderSizeSays) {
    const std::vector<std::uint8_t> bytes = ResBytes().entry(ord(10), ord(1), {7, 7}, 8).bytes;
    const auto entries = parse(bytes);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(dataOf((*entries)[0]), (std::vector<std::uint8_t>{7, 7}));
}

TEST(ResFile, EmptyFileWithOnlyTheOpeningEntryHasNoResources) {
    const auto entries = parse(ResBytes().bytes);
    ASSERT_TRUE(entries);
    EXPECT_TRUE(entries->empty());
}

TEST(ResFile, LastEntryMayEndWithoutPadding) {
    std::vector<std::uint8_t> bytes = ResBytes().entry(ord(10), ord(1), {1, 2, 3}).bytes;
    bytes.pop_back();  // the one byte of padding after the data
    const auto entries = parse(bytes);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(dataOf((*entries)[0]), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ResFile, RefusesBrokenFiles) {
    const std::vector<std::uint8_t> good =
        ResBytes().entry(str(u"TYPE"), ord(3), {1, 2, 3, 4, 5, 6, 7, 8}).bytes;
    ASSERT_TRUE(parse(good));
    const std::size_t entry = 32;  // where the resource's entry starts

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    auto cut = [&](std::size_t size) {
        return std::vector<std::uint8_t>(good.begin(), good.begin() + size);
    };
    auto patched = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> b = good;
        b[at] = value;
        return b;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"cut in the opening entry", cut(20)},
        {"cut in DataSize", cut(entry + 2)},
        {"cut in the type string", cut(entry + 12)},
        {"cut in the fixed header fields", cut(entry + 30)},
        {"cut in the data", cut(good.size() - 3)},
        {"opening entry with data", patched(0, 4)},
        {"opening entry with another header size", patched(4, 0x24)},
        {"opening entry with a type", patched(10, 5)},
        {"DataSize past the end", patched(entry, 0x40)},
        {"HeaderSize past the end", patched(entry + 4, 0xF0)},
        {"HeaderSize shorter than its fields", patched(entry + 4, 0x10)},
        {"a few stray bytes after the last entry",
         [&] {
             std::vector<std::uint8_t> b = good;
             b.insert(b.end(), {0, 0, 0, 0, 0});
             return b;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(parse(c.bytes));
    }
    EXPECT_FALSE(win32sim::parseResFile(nullptr, 0));
}

}  // namespace
