// Resources: GetModuleHandleA, FindResourceA, LoadResource, LockResource, SizeofResource
// over the program's compiled resources, which the Linux build embeds as the .res file
// windres makes from resources/app.rc (symbols fw_app_res_begin/fw_app_res_end), and the
// faults tests put on them (win32sim/resources.h).
//
// An HRSRC points to a record that lives as long as the process, as a module's resources
// live as long as the module: replacing or removing a resource never invalidates a handle
// or the bytes LockResource gave out earlier.
#include "win32sim/resources.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "byte_reader.h"
#include "res_file.h"

extern "C" {
extern const unsigned char fw_app_res_begin[];
extern const unsigned char fw_app_res_end[];
}

namespace win32sim {

// ---------------------------------------------------------------------------------------
// The .res file

namespace {

// A type or name: 0xFFFF and an ordinal, or a zero-terminated UTF-16 string.
bool readId(ByteReader& reader, ResId& out) {
    ByteReader::SzOrOrd value;
    if (!reader.szOrOrd(value)) return false;
    out = value.ordinal ? ResId::fromOrdinal(*value.ordinal) : ResId::fromString(value.text);
    return true;
}

// One entry's header; `data` is where its bytes start within the file.
struct EntryHeader {
    DWORD dataSize = 0;
    DWORD headerSize = 0;
    ResEntry entry;
    std::size_t dataOffset = 0;
};

std::optional<EntryHeader> readEntryHeader(const std::uint8_t* data, std::size_t size,
                                           std::size_t start) {
    ByteReader reader(data, size, start);
    EntryHeader header;
    DWORD dataVersion = 0, version = 0, characteristics = 0;
    if (!reader.dword(header.dataSize) || !reader.dword(header.headerSize) ||
        !readId(reader, header.entry.type) || !readId(reader, header.entry.name) || !reader.alignDword() ||
        !reader.dword(dataVersion) || !reader.word(header.entry.memoryFlags) ||
        !reader.word(header.entry.language) || !reader.dword(version) ||
        !reader.dword(characteristics)) {
        return std::nullopt;
    }
    // The header may be longer than what we read, never shorter, and the data must fit.
    if (header.headerSize < reader.pos() - start) return std::nullopt;
    if (header.headerSize > size - start) return std::nullopt;
    header.dataOffset = start + header.headerSize;
    if (header.dataSize > size - header.dataOffset) return std::nullopt;
    header.entry.data = data + header.dataOffset;
    header.entry.size = header.dataSize;
    return header;
}

bool isOrdinal(const ResId& id, WORD ordinal) { return !id.isString && id.ordinal == ordinal; }

}  // namespace

std::optional<std::vector<ResEntry>> parseResFile(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) return std::nullopt;
    // A 32-bit .res opens with an empty entry: no data, a 32-byte header, type and name 0.
    const auto first = readEntryHeader(data, size, 0);
    if (!first || first->dataSize != 0 || first->headerSize != 32 ||
        !isOrdinal(first->entry.type, 0) || !isOrdinal(first->entry.name, 0)) {
        return std::nullopt;
    }
    std::vector<ResEntry> entries;
    std::size_t pos = 32;
    while (pos < size) {
        const auto header = readEntryHeader(data, size, pos);
        if (!header) return std::nullopt;
        entries.push_back(header->entry);
        // The next entry starts on a DWORD boundary; the file may end without the padding.
        const std::size_t end = header->dataOffset + header->dataSize;
        pos = (end + 3) & ~std::size_t{3};
        if (pos > size) pos = size;
    }
    return entries;
}

// ---------------------------------------------------------------------------------------
// The program's resources and the faults on them

namespace {

constexpr DWORD kErrorModNotFound = 126;  // ERROR_MOD_NOT_FOUND

struct Record {
    ResId type;
    ResId name;
    std::vector<std::uint8_t> owned;  // an override's bytes; embedded ones stay in the .res
    const std::uint8_t* data = nullptr;
    DWORD size = 0;
};

bool sameText(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// What an LPCSTR type or name asks for: MAKEINTRESOURCEA(n), "#n", or a string.
bool matches(const ResId& id, LPCSTR wanted) {
    if (IS_INTRESOURCE(wanted)) {
        return !id.isString && id.ordinal == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    }
    if (wanted[0] == '#') {  // "#" and decimal digits only
        if (std::isdigit(static_cast<unsigned char>(wanted[1])) == 0) return false;
        char* end = nullptr;
        const unsigned long ordinal = std::strtoul(wanted + 1, &end, 10);
        return *end == '\0' && ordinal <= 0xFFFF && !id.isString && id.ordinal == ordinal;
    }
    return id.isString && sameText(id.text, wanted);
}

class Resources {
public:
    Resources() {
        const auto begin = reinterpret_cast<std::uintptr_t>(fw_app_res_begin);
        const auto end = reinterpret_cast<std::uintptr_t>(fw_app_res_end);
        const auto entries = parseResFile(fw_app_res_begin, static_cast<std::size_t>(end - begin));
        if (!entries) {
            std::fprintf(stderr, "win32sim: the embedded resources (app.res) are malformed\n");
            std::abort();
        }
        for (const ResEntry& entry : *entries) {
            Record& record = records_.emplace_back();
            record.type = entry.type;
            record.name = entry.name;
            record.data = entry.data;
            record.size = entry.size;
            embedded_.push_back(&record);
            known_.insert(&record);
        }
        current_ = embedded_;
    }

    // FindResourceA's search; sets the last error when nothing is found.
    const Record* find(LPCSTR name, LPCSTR type) {
        std::lock_guard<std::mutex> lock(mutex_);
        bool typeFound = false;
        for (const Record* record : current_) {
            if (!matches(record->type, type)) continue;
            typeFound = true;
            if (matches(record->name, name)) return record;
        }
        SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }

    bool isRecord(const void* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        return known_.count(static_cast<const Record*>(handle)) != 0;
    }

    bool loadFails() {
        std::lock_guard<std::mutex> lock(mutex_);
        return failLoad_;
    }

    std::optional<std::vector<std::uint8_t>> bytes(WORD type, WORD name) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = findOrdinal(type, name);
        if (it == current_.end()) return std::nullopt;
        return std::vector<std::uint8_t>((*it)->data, (*it)->data + (*it)->size);
    }

    void replace(WORD type, WORD name, std::vector<std::uint8_t> bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        Record& record = records_.emplace_back();
        record.type = ResId::fromOrdinal(type);
        record.name = ResId::fromOrdinal(name);
        record.owned = std::move(bytes);
        record.data = record.owned.data();
        record.size = static_cast<DWORD>(record.owned.size());
        known_.insert(&record);
        const auto it = findOrdinal(type, name);
        if (it != current_.end()) {
            *it = &record;
        } else {
            current_.push_back(&record);
        }
    }

    void remove(WORD type, WORD name) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = findOrdinal(type, name);
        if (it != current_.end()) current_.erase(it);
    }

    void setFailLoad(bool fail) {
        std::lock_guard<std::mutex> lock(mutex_);
        failLoad_ = fail;
    }

    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = embedded_;
        failLoad_ = false;
    }

private:
    std::vector<const Record*>::iterator findOrdinal(WORD type, WORD name) {
        for (auto it = current_.begin(); it != current_.end(); ++it) {
            if (isOrdinal((*it)->type, type) && isOrdinal((*it)->name, name)) return it;
        }
        return current_.end();
    }

    std::mutex mutex_;
    std::deque<Record> records_;               // every record ever made; never shrinks
    std::unordered_set<const Record*> known_;  // the same, for checking handles
    std::vector<const Record*> embedded_;      // the .res as built, in file order
    std::vector<const Record*> current_;       // what FindResourceA searches
    bool failLoad_ = false;
};

Resources& resources() {
    static Resources instance;
    return instance;
}

// The program's own module handle: the address of an object of ours, so never null and
// never equal to another handle the stand-in gives out.
const char g_programModule = 0;

HMODULE programModule() { return reinterpret_cast<HMODULE>(const_cast<char*>(&g_programModule)); }

bool isProgramModule(HMODULE module) { return module == nullptr || module == programModule(); }

}  // namespace

std::optional<std::vector<std::uint8_t>> resourceBytes(WORD type, WORD name) {
    return resources().bytes(type, name);
}

void overrideResource(WORD type, WORD name, std::vector<std::uint8_t> bytes) {
    resources().replace(type, name, std::move(bytes));
}

void removeResource(WORD type, WORD name) { resources().remove(type, name); }

void failLoadResource(bool fail) { resources().setFailLoad(fail); }

void resetResources() { resources().reset(); }

}  // namespace win32sim

// ---------------------------------------------------------------------------------------
// The API

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) return win32sim::programModule();
    // The program is the only module there is.
    SetLastError(win32sim::kErrorModNotFound);
    return nullptr;
}

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!win32sim::isProgramModule(hModule)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (lpName == nullptr || lpType == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const win32sim::Record* record = win32sim::resources().find(lpName, lpType);
    return reinterpret_cast<HRSRC>(const_cast<win32sim::Record*>(record));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    auto& resources = win32sim::resources();
    if (!win32sim::isProgramModule(hModule) || !resources.isRecord(hResInfo)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (resources.loadFails()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    // A resource without bytes still loads; its (empty) data needs an address all the same.
    static const std::uint8_t noBytes = 0;
    const auto* record = reinterpret_cast<const win32sim::Record*>(hResInfo);
    const std::uint8_t* data = record->size != 0 ? record->data : &noBytes;
    return const_cast<std::uint8_t*>(data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    if (!win32sim::isProgramModule(hModule) || !win32sim::resources().isRecord(hResInfo)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return reinterpret_cast<const win32sim::Record*>(hResInfo)->size;
}
