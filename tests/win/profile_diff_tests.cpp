// The portable script reader against the system's profile functions: every
// file of a corpus of odd scripts is read by GetPrivateProfileStringA and
// GetPrivateProfileSectionA and by ProfileText, for each section and key in
// it, absent ones and case variants, at the buffer sizes the program uses and
// small ones around the lengths; both buffers must be equal byte for byte, and
// so must the return values. Run with the Japanese locale
// (tests/run-wine.sh), where the code page is 932.
//
// Where the reader notes that it reads as Windows and not as Wine (a UTF-8 or
// UTF-16 mark, bad or duplicate double-byte codes, lines outside a section,
// "[]"), the answers that depend on those lines are compared only in their
// shape, or not at all; each file names the notes the reader must give, at
// their lines.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sandbox.h"
#include "script/profile_text.h"

namespace {

#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

using Issue = ProfileIssue;

// Shown in failures and note lists.
std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += static_cast<char>(b);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

std::string NoteList(const std::vector<ProfileNote>& notes) {
    static const char* const kNames[] = {
        "Utf8Mark",       "Utf16",          "BadDoubleByte", "DuplicateCode",
        "OutsideSection", "UnnamedSection", "NulByte",       "RepeatedEmptyName"};
    std::string out;
    for (const ProfileNote& n : notes)
        out += std::string(kNames[static_cast<int>(n.issue)]) + "@" + std::to_string(n.line) + " ";
    return out;
}

struct CorpusFile {
    const char* name;
    std::string bytes;
    std::vector<ProfileNote> notes;  // that the reader must give
};

std::string Repeated(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// A DEFINE section longer than the program's section buffer.
std::string LongSection() {
    std::string out = "[DEFINE]\r\n";
    for (int i = 0; i < 1500; ++i)
        out += "<Sym" + std::to_string(i) + ">=<Programs>\\\x95\x5C\\value " + std::to_string(i) +
               "\r\n";
    return out;
}

// 表 is 0x95 0x5C (trail byte "\"), ソ 0x83 0x5C, ゼ 0x83 0x5B (trail "["),
// ゾ 0x83 0x5D (trail "]"), ア 0x83 0x41 (trail "A"), ヂ 0x83 0x61 (trail "a"),
// Ａ 0x82 0x60, ａ 0x82 0x81, ・ 0x81 0x45.
std::vector<CorpusFile> Corpus() {
    return {
        {"plain",
         BYTES("; An update\r\n[UPDATER]\r\nNAME=Example\r\nPROC=CopyFiles\r\n"
               "[CopyFiles]\r\nMODE=COPY\r\nFROM=<Src>\\a.exe\r\nTO=<App>\\a.exe\r\n"),
         {}},
        {"blanks",
         BYTES(" \t[ sec ] \r\n\t key \t=\t v a l \x0B\r\n k2= \r\nk3 =x\x1A\r\n"
               "\x0C k4\x0C=\x0C\r\n[\tsp ace\t]\r\nk=1\r\n"),
         {}},
        {"duplicates",
         BYTES("[a]\r\nk=1\r\nK=2\r\n[A]\r\nk=3\r\nonly=4\r\n[b]\r\nk=5\r\n[a]\r\nk=6\r\n"),
         {}},
        {"quotes",
         BYTES("[q]\r\na=\"quoted\"\r\nb='single'\r\nc=\"open\r\nd=\"\r\ne=\"\"\r\nf=\"a\"b\"\r\n"
               "g= \" sp \" \r\nh='x\"\r\ni=\"\x95\x5C\"\r\nj=\"\x95\x5C\x95\x5C\x95\x5C\"\r\n"
               "k='\r\nl=''\r\n"),
         {}},
        {"comments",
         BYTES("; top\r\n;\r\n[c]\r\n;k=1\r\nk=2\r\n ;x=3\r\n;\r\n;only\r\n[d]\r\n;z\r\n"),
         {}},
        {"no_equals",
         BYTES("[n]\r\nword\r\n[notheader\r\nk==v=w\r\n=empty\r\n x y \r\nNAME\r\n"),
         {}},
        {"no_data",
         BYTES("[UPDATER]\r\nNAME=NO_DATA\r\nPROC=no_data\r\nEMPTY=\r\nSPACES=   \r\n"),
         {}},
        {"line_ends",
         BYTES("[s]\ra=1\rb=2\n\nc=3\n\r\n\rd=4\r\r\ne=x\ry\n[t]\nz=9\r\n\r\n\r\n[u]\rw=8"),
         {}},
        {"no_final_line_end", BYTES("[s]\r\nk=v"), {}},
        {"ctrl_z_at_end", BYTES("[s]\r\nk=v\r\n\x1A"), {}},
        {"empty", "", {}},
        {"only_blanks", BYTES("\r\n \t\r\n\n"), {}},
        {"brackets",
         BYTES("[a]b]c\r\nk=1\r\n[x] trailing\r\nk=2\r\n[[y]]\r\nk=3\r\n[]]\r\nk=4\r\n"),
         {}},
        {"double_byte_names",
         BYTES("[\x95\x5C]\r\n\x83\x5C=1\r\n\x95\x5Ck=\x95\x5C\r\n[\x83\x41]\r\nk=\x83\x41\r\n"
               "[\x95\x5C"
               "a]\r\nkey\x95\x5C=2\r\n[\x83\x5D\r\nafter=3\r\n[\x83\x5B]\r\n"
               "k=4\r\n[\x82\x60\x82\x60]\r\nk=5\r\n[\x95\x5C\x83\x5D]]\r\nk=6\r\n"),
         {}},
        {"long_values",
         "[s]\r\nascii=" + std::string(40000, 'x') + "\r\nwide=" + Repeated("\x95\x5C", 20000) +
             "\r\nodd=a" + Repeated("\x95\x5C", 20000) + "\r\nquoted=\"" + std::string(32766, 'q') +
             "\"\r\nexact=" + std::string(32766, 'e') + "\r\n",
         {}},
        {"long_section", LongSection(), {}},
        {"nul_bytes",
         BYTES("[s]\r\nnul=a\0b\r\n\0z=3\r\nn\0m=4\r\nq=\"a\0b\"\r\n[a\0b]\r\nk=5\r\n"),
         {{Issue::kNulByte, 2},
          {Issue::kNulByte, 3},
          {Issue::kNulByte, 4},
          {Issue::kNulByte, 5},
          {Issue::kNulByte, 6}}},
        {"repeated_empty_names",
         BYTES("[s]\r\n=a\r\n=b\r\n;c\r\n=d\r\nx\r\n= e\r\n"),
         {{Issue::kRepeatedEmptyName, 3}}},
        {"bad_double_byte",
         BYTES("[clean]\r\nk=1\r\n[s]\r\ninv=\x81\x20|\x81\x7F|\x85\x40|\x81\xFD|\r\n"
               "lone=ab\x81\r\nnext=1\r\nlf=\x81\nswallowed=2\r\n[t]\r\nend=\x81"),
         {{Issue::kBadDoubleByte, 4},
          {Issue::kBadDoubleByte, 5},
          {Issue::kBadDoubleByte, 7},
          {Issue::kBadDoubleByte, 10}}},
        {"duplicate_codes",
         BYTES("[s]\r\nk=\x87\x90\xED\x40\xFA\x4A\xEE\xF9\r\n[clean]\r\nk=\x81\xCA\xFA\x40\r\n"),
         {{Issue::kDuplicateCode, 2}}},
        {"outside_section",
         BYTES("; fine\r\nk0=pre\r\n[]\r\nk0=empty\r\n[ ]\r\n[s]\r\nk=1\r\n"),
         {{Issue::kOutsideSection, 2}, {Issue::kUnnamedSection, 3}, {Issue::kUnnamedSection, 5}}},
        {"utf8_mark",
         BYTES("\xEF\xBB\xBF[UPDATER]\r\nNAME=\xE8\xA1\xA8\r\n[s]\r\nk=1\r\n"),
         {{Issue::kUtf8Mark, 1}, {Issue::kOutsideSection, 1}, {Issue::kOutsideSection, 2}}},
        {"utf16", BYTES("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"), {{Issue::kUtf16, 1}}},
    };
}

bool ReadsAsWindows(Issue issue) {
    return issue != Issue::kNulByte && issue != Issue::kRepeatedEmptyName;
}

enum class Compare { kBytes, kShape, kNothing };

// How far Wine's answer for this section name may differ from the reader's
// by design. Nothing compares for a byte-order mark, nor for an empty name
// when lines outside a section or "[]" exist. Where the lines of the section
// the name finds (up to the next header) hold a bad or duplicate code, only
// the shape compares: which keys are found, how many lines the section has.
Compare HowToCompare(const ProfileText& text, const std::string& section) {
    const ProfileSection* found = text.FindSection(section.c_str());
    int first = 0, last = 0;
    if (found != nullptr) {
        first = found->line;
        last = INT32_MAX;
        for (const ProfileSection& s : text.Sections()) {
            if (s.line > first && s.line < last)
                last = s.line;
        }
    }
    size_t blank = 0;
    while (blank < section.size() && strchr(" \t", section[blank]) != nullptr) ++blank;
    Compare how = Compare::kBytes;
    for (const ProfileNote& n : text.Notes()) {
        if (n.issue == Issue::kUtf8Mark || n.issue == Issue::kUtf16)
            return Compare::kNothing;
        if ((n.issue == Issue::kOutsideSection || n.issue == Issue::kUnnamedSection) &&
            blank == section.size())
            return Compare::kNothing;
        if (ReadsAsWindows(n.issue) && n.line >= first && n.line < last)
            how = Compare::kShape;
    }
    return how;
}

// Byte-wise, not character-wise: a trail byte that is an ASCII letter changes
// too, giving a name the reader must not match.
std::string ByteCase(std::string s, bool upper) {
    for (char& c : s) {
        if (upper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::vector<std::string> Variants(const std::string& name) {
    return {name, ByteCase(name, true), ByteCase(name, false), " " + name + "\t"};
}

void AddUnique(std::vector<std::string>* list, const std::string& s) {
    for (const std::string& have : *list) {
        if (have == s)
            return;
    }
    list->push_back(s);
}

// Sizes around a length, and the small ones.
std::vector<uint32_t> Sizes(size_t length, uint32_t smallest) {
    std::vector<uint32_t> sizes;
    for (uint32_t s : {2u, 3u, 4u, 5u, 8u, 16u, 260u, 32767u}) {
        if (s >= smallest)
            sizes.push_back(s);
    }
    for (size_t s = length > 2 ? length - 2 : 0; s <= length + 2; ++s) {
        if (s >= smallest && s < 70000)
            sizes.push_back(static_cast<uint32_t>(s));
    }
    return sizes;
}

class Differ {
public:
    Differ(const char* file, const std::string& path, const ProfileText& text)
        : file_(file), path_(path), text_(text) {}

    void String(const std::string& section, const std::string& key, uint32_t size,
                const char* fallback = "NO_DATA") {
        const Compare how = HowToCompare(text_, section);
        if (how == Compare::kNothing || (how == Compare::kShape && size < 260))
            return;
        std::vector<char> wine(size, '\0');
        const DWORD got = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback,
                                                   wine.data(), size, path_.c_str());
        std::string text;
        const uint32_t expected =
            text_.GetString(section.c_str(), key.c_str(), fallback, size, &text);
        if (how == Compare::kShape) {
            ++compared_;
            EXPECT_EQ(strcmp(wine.data(), fallback) == 0, text == fallback)
                << file_ << ": [" << Escaped(section) << "] \"" << Escaped(key) << "\" found";
            return;
        }
        Check("string", section, key + "\" fallback \"" + fallback, size, got, wine, expected,
              text);
    }

    void Section(const std::string& section, uint32_t size) {
        const Compare how = HowToCompare(text_, section);
        if (how == Compare::kNothing || (how == Compare::kShape && size != 32767))
            return;
        std::vector<char> wine(size, '\0');
        const DWORD got =
            GetPrivateProfileSectionA(section.c_str(), wine.data(), size, path_.c_str());
        std::string text;
        const uint32_t expected = text_.GetSection(section.c_str(), size, &text);
        if (how == Compare::kShape) {
            ++compared_;
            size_t lines = 0;
            for (const char* p = wine.data(); *p != '\0'; p += strlen(p) + 1) ++lines;
            EXPECT_EQ(lines, static_cast<size_t>(std::count(text.begin(), text.end(), '\0')))
                << file_ << ": [" << Escaped(section) << "] lines";
            return;
        }
        Check("section", section, "", size, got, wine, expected, text);
    }

    int compared() const { return compared_; }

private:
    void Check(const char* read, const std::string& section, const std::string& key, uint32_t size,
               DWORD got, const std::vector<char>& wine, uint32_t expected,
               const std::string& text) {
        ++compared_;
        std::vector<char> model(size, '\0');
        ASSERT_LE(text.size(), model.size()) << file_;
        std::copy(text.begin(), text.end(), model.begin());
        if (got == expected && wine == model)
            return;
        ADD_FAILURE() << file_ << ": " << read << " [" << Escaped(section) << "] \"" << Escaped(key)
                      << "\" size " << size << "\n  system " << got << " \"" << Shown(wine)
                      << "\"\n  reader " << expected << " \"" << Shown(model) << "\"";
    }

    static std::string Shown(const std::vector<char>& buffer) {
        size_t end = buffer.size();
        while (end > 0 && buffer[end - 1] == '\0') --end;
        return Escaped(std::string(buffer.data(), end));
    }

    const char* file_;
    std::string path_;
    const ProfileText& text_;
    int compared_ = 0;
};

// Dates the file back a day: the system then keeps what it read of the file
// instead of reading it again at every call, as for any script not written
// just now.
void Age(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= 864000000000ull;
    FILETIME past = {t.LowPart, t.HighPart};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &past));
    CloseHandle(file);
}

// At most the first and last few: enough for the edges of long sections.
template <typename T>
std::vector<T> Ends(const std::vector<T>& all, size_t each) {
    if (all.size() <= 2 * each)
        return all;
    std::vector<T> out(all.begin(), all.begin() + each);
    out.insert(out.end(), all.end() - each, all.end());
    return out;
}

// The section names as GetPrivateProfileSectionNamesA lists them.
std::vector<std::string> SystemSectionNames(const std::string& path) {
    std::vector<char> buffer(1 << 20, '\0');
    GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    std::vector<std::string> names;
    for (const char* p = buffer.data(); *p != '\0'; p += strlen(p) + 1) names.push_back(p);
    return names;
}

TEST(ProfileDiff, CorpusReadsAsTheSystem) {
    ASSERT_EQ(GetACP(), 932u) << "run under tests/run-wine.sh (LC_ALL=ja_JP.UTF-8)";
    Sandbox box("profile_diff");
    int compared = 0;
    for (const CorpusFile& file : Corpus()) {
        const std::string name = std::string(file.name) + ".ini";
        box.WriteFile(name, file.bytes);
        const std::string path = box.Path(name);
        Age(path);
        const ProfileText text(file.bytes.data(), file.bytes.size());
        EXPECT_EQ(NoteList(text.Notes()), NoteList(file.notes)) << file.name;

        bool windowsOnly = false;
        for (const ProfileNote& n : text.Notes()) windowsOnly |= ReadsAsWindows(n.issue);
        std::vector<std::string> readerNames;
        for (const ProfileSection& s : text.Sections()) {
            if (s.line != 0 && s.name.c_str()[0] != '\0')
                readerNames.push_back(s.name.c_str());
        }
        const std::vector<std::string> systemNames = SystemSectionNames(path);
        if (!windowsOnly) {
            EXPECT_EQ(readerNames, systemNames) << file.name;
        }

        std::vector<std::string> sections = {"NoSuchSection", "UPDATER", "DEFINE", ""};
        for (const std::string& s : readerNames) AddUnique(&sections, s);
        for (const std::string& s : systemNames) AddUnique(&sections, s);
        std::vector<std::string> names;
        for (const ProfileSection& s : text.Sections()) {
            for (const ProfileEntry& e : s.entries) AddUnique(&names, e.name.c_str());
        }
        std::vector<std::string> keys = {"NAME", "PROC", "MODE", "NoSuchKey", ""};
        for (const std::string& key : Ends(names, 16)) AddUnique(&keys, key);

        Differ differ(file.name, path, text);
        for (const std::string& section : sections) {
            for (const std::string& variant : Variants(section)) {
                differ.Section(variant, 32767);
                for (const std::string& key : keys) differ.String(variant, key, 32767);
            }
            std::string lines;
            text.GetSection(section.c_str(), 1 << 20, &lines);
            for (uint32_t size : Sizes(lines.size(), 2)) differ.Section(section, size);

            const ProfileSection* found = text.FindSection(section.c_str());
            if (found == nullptr)
                continue;
            for (const ProfileEntry& entry : Ends(found->entries, 8)) {
                const std::string key = entry.name.c_str();
                for (const std::string& variant : Variants(key))
                    differ.String(section, variant, 260);
                for (uint32_t size : Sizes(entry.value.size(), 1))
                    differ.String(section, key, size);
            }
        }
        compared += differ.compared();
    }
    // The defaults go through the same quote and blank handling as values.
    const ProfileText text("[s]\r\nk=1\r\n", 10);
    box.WriteFile("fallback.ini", "[s]\r\nk=1\r\n");
    Age(box.Path("fallback.ini"));
    Differ differ("fallback", box.Path("fallback.ini"), text);
    for (const char* fallback :
         {"", "   ", "a b  ", "\"q\"", "'x'", "\"ab\" ", "\x95\x5C\x95\x5C"}) {
        for (uint32_t size : {1u, 2u, 3u, 4u, 260u}) differ.String("s", "none", size, fallback);
    }
    compared += differ.compared();
    printf("%d reads compared\n", compared);
}

// Every double-byte code of the code page: a line "trail=|lead trail|" per
// code, one section per lead byte. Wine gives the bytes back unchanged exactly
// where the reader notes nothing; where it notes a duplicate code, Wine gives
// another valid code, and for a bad one the replacement character.
TEST(ProfileDiff, EveryDoubleByteCode) {
    Sandbox box("profile_codes");
    std::string bytes;
    auto hex = [](unsigned b) {
        char text[4];
        snprintf(text, sizeof text, "%02X", b);
        return std::string(text);
    };
    std::vector<unsigned> leads;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead < 0xE0)
            continue;
        leads.push_back(lead);
        bytes += "[" + hex(lead) + "]\r\n";
        for (unsigned trail = 0x20; trail <= 0xFF; ++trail)
            bytes +=
                hex(trail) + "=|" + static_cast<char>(lead) + static_cast<char>(trail) + "|\r\n";
    }
    box.WriteFile("codes.ini", bytes);
    Age(box.Path("codes.ini"));
    const ProfileText text(bytes.data(), bytes.size());
    int bad = 0, duplicates = 0;
    for (unsigned lead : leads) {
        std::vector<char> buffer(32767, '\0');
        GetPrivateProfileSectionA(hex(lead).c_str(), buffer.data(), 32767,
                                  box.Path("codes.ini").c_str());
        std::vector<std::string> lines;
        for (const char* p = buffer.data(); *p != '\0'; p += strlen(p) + 1) lines.push_back(p);
        ASSERT_EQ(lines.size(), 0xE0u) << hex(lead);
        for (unsigned trail = 0x20; trail <= 0xFF; ++trail) {
            const std::string raw =
                std::string("|") + static_cast<char>(lead) + static_cast<char>(trail) + "|";
            const std::string system = lines[trail - 0x20].substr(3);
            const ProfileEntry* entry = text.FindEntry(hex(lead).c_str(), hex(trail).c_str());
            ASSERT_NE(entry, nullptr);
            std::vector<Issue> noted;
            for (const ProfileNote& n : text.Notes()) {
                if (n.line == entry->line)
                    noted.push_back(n.issue);
            }
            const std::string code = hex(lead) + hex(trail);
            if (noted.empty()) {
                EXPECT_EQ(Escaped(system), Escaped(raw)) << code;
            } else if (noted.size() == 1 && noted[0] == Issue::kDuplicateCode) {
                ++duplicates;
                EXPECT_NE(system, raw) << code;
                EXPECT_EQ(system.size(), 4u) << code;
            } else {
                ++bad;
                EXPECT_EQ(noted, std::vector<Issue>{Issue::kBadDoubleByte}) << code;
                EXPECT_EQ(Escaped(system), Escaped("|\x81\x45|")) << code;
            }
        }
    }
    printf("%d bad and %d duplicate codes\n", bad, duplicates);
}

}  // namespace
