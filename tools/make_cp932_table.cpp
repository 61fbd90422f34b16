// Writes code page 932's table to Unicode as C++ source, from this build
// machine's iconv, so that the Linux checker carries the table itself and
// needs no conversion modules where it runs.
#include <iconv.h>

#include <cstdio>
#include <cstring>

namespace {

// The UTF-16 unit of one character of code page 932; 0 when it has none.
unsigned Decode(iconv_t convert, const char* bytes, size_t size) {
    char in[2];
    memcpy(in, bytes, size);
    unsigned char out[4];
    char* from = in;
    char* to = reinterpret_cast<char*>(out);
    size_t left = size, room = sizeof out;
    iconv(convert, nullptr, nullptr, nullptr, nullptr);
    if (iconv(convert, &from, &left, &to, &room) == static_cast<size_t>(-1) || left != 0 ||
        room != 2)
        return 0;
    return out[0] | out[1] << 8;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    iconv_t convert = iconv_open("UTF-16LE", "CP932");
    FILE* out = fopen(argv[1], "w");
    if (convert == reinterpret_cast<iconv_t>(-1) || out == nullptr)
        return 1;
    fputs(
        "// Made by tools/make_cp932_table.cpp: code page 932 to UTF-16, 0 for none.\n"
        "#include <cstdint>\n\n"
        "extern const uint16_t kCp932Single[256];\n"
        "extern const uint16_t kCp932Double[0x7D][0xC0];\n\n"
        "const uint16_t kCp932Single[256] = {",
        out);
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        fprintf(out, "%s0x%X,", b % 16 == 0 ? "\n" : "", Decode(convert, &byte, 1));
    }
    // Lead bytes 0x81 to 0xFC, trail bytes 0x40 to 0xFF.
    fputs("\n};\n\nconst uint16_t kCp932Double[0x7D][0xC0] = {", out);
    for (int lead = 0x80; lead <= 0xFC; ++lead) {
        fputs("\n{", out);
        for (int trail = 0x40; trail <= 0xFF; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            fprintf(out, "0x%X,", lead == 0x80 ? 0 : Decode(convert, pair, 2));
        }
        fputs("},", out);
    }
    fputs("\n};\n", out);
    iconv_close(convert);
    return fclose(out) == 0 ? 0 : 1;
}
