// The Find File window's saved list with arbitrary records: every line has
// the index, the whole path, blanks up to the 70-character name column, the
// four attribute places, the date column and the size, then CR LF.
//
// Input, per record: attribute byte, packed time (4 bytes), size (8 bytes),
// name length (2 bytes, up to 1023), name, path length (1 byte), path.
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "finder/srch.h"
#include "platform/filesearch.h"
#include "platform/headless/headless.h"
#include "fuzz_temp.h"

namespace {

[[noreturn]] void fail(const char* what, std::size_t record, const std::string& detail = {}) {
    std::fprintf(stderr, "saved list property broken at record %zu: %s [%s]\n", record, what, detail.c_str());
    std::abort();
}

// One file in a private temp directory for every run; removed at exit.
const std::string& listPath() {
    static const TFuzzTempFile file("list", "list.txt");
    return file.Path();
}

// Code points of valid UTF-8, or -1 when the bytes are not UTF-8.
long codePoints(const std::string& s) {
    long count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return -1;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return -1;
        i += len;
    }
    return count;
}

struct Reader {
    const std::uint8_t* p;
    std::size_t left;
    bool take(void* out, std::size_t n) {
        if (left < n) return false;
        std::memcpy(out, p, n);
        p += n;
        left -= n;
        return true;
    }
    std::string bytes(std::size_t n) {
        n = std::min(n, left);
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return s;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<TExtSearchRec> records;
    Reader in{data, size};
    while (records.size() < 300) {
        TExtSearchRec rec;
        std::uint16_t nameLen = 0;
        std::uint8_t pathLen = 0;
        if (!in.take(&rec.Attr, 1) || !in.take(&rec.Time, 4) || !in.take(&rec.Size, 8) || !in.take(&nameLen, 2)) break;
        rec.Name = in.bytes(nameLen % 1024);
        in.take(&pathLen, 1);
        rec.Path = in.bytes(pathLen);
        records.push_back(std::move(rec));
    }

    TApplication app;
    auto& rig = headless::rig();
    const std::string& path = listPath();
    rig.dialogResponder = [&](TOpenDialog& d) {
        d.FileName = path;
        return true;
    };
    TSearchFrm window(nullptr);
    if (!records.empty()) {
        window.Results = std::make_unique<TSearchArray>(0, static_cast<std::int32_t>(records.size()) - 1, 10);
        for (std::size_t i = 0; i < records.size(); ++i) window.Results->SetItem(static_cast<std::int32_t>(i), records[i]);
    }
    window.SaveSearchList1Click(nullptr);
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), {});

    const std::string header = "Index  Name" + std::string(66, ' ') + "Attr    Date        Size\r\n";
    if (text.compare(0, header.size(), header) != 0) fail("header", 0, text.substr(0, header.size()));
    std::size_t pos = header.size();
    auto expect = [&](const std::string& want, std::size_t record, const char* what) {
        if (text.compare(pos, want.size(), want) != 0) fail(what, record, text.substr(pos, want.size()) + " | " + want);
        pos += want.size();
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TExtSearchRec& rec = records[i];
        const std::string index = std::to_string(i + 1);
        expect(index + std::string(7 - index.size(), ' '), i, "index column");
        const std::string name = rec.Path + rec.Name;
        expect(name, i, "the whole path");
        // Then blanks up to 70 characters (a longer name stands whole), the
        // four attribute places and four blanks, the date in 12 places, the size.
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) fail("line end", i);
        const std::string rest = text.substr(pos, end - pos);
        const std::string date = ShortDate(rec.Time);
        const TDosDate d = UnpackDosDate(rec.Time);
        if (date.empty() != (d.month < 1 || d.month > 12 || d.day < 1)) fail("date of a packed time", i, date);
        const std::string attr = std::string(rec.Attr & faReadOnly ? "R" : " ") + (rec.Attr & faHidden ? "H" : " ") +
                                 (rec.Attr & faSysFile ? "S" : " ") + (rec.Attr & faArchive ? "A" : " ");
        const std::string columns = attr + "    " + date + std::string(date.size() < 12 ? 12 - date.size() : 0, ' ');
        const std::string sizeText = std::to_string(rec.Size);
        if (rest.size() < columns.size() + sizeText.size() ||
            rest.compare(rest.size() - sizeText.size(), std::string::npos, sizeText) != 0)
            fail("size column", i, rest);
        const std::size_t pad = rest.size() - columns.size() - sizeText.size();
        if (rest.compare(pad, columns.size(), columns) != 0) fail("attribute and date columns", i, rest);
        if (rest.find_first_not_of(' ') < pad) fail("padding holds more than blanks", i, rest);
        const long chars = codePoints(name);
        if (chars >= 0 && pad != static_cast<std::size_t>(std::max(0L, 70 - chars)))
            fail("name column width", i, std::to_string(pad) + " blanks after " + std::to_string(chars) + " characters");
        pos = end + 2;
    }
    if (pos != text.size()) fail("bytes after the last record", records.size());
    return 0;
}
