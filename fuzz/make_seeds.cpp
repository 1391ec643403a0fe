// Writes the seed corpus of every fuzz target into <folder>/<target>/:
// small BMPs of each kind, stego images hidden with the fixed key, stored
// code streams at every width and PNGs of every kind the conversion accepts.
#include "fuzz_support.h"
#include "internal.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;
std::string g_out;

uint32_t g_rand = 12345;
uint8_t next_byte() {
    g_rand = g_rand * 1103515245u + 12345u;
    return static_cast<uint8_t>(g_rand >> 16);
}

void put16(Bytes &b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes &b, size_t at, uint32_t v) { ombra::store_le32(&b[at], v); }

// An uncompressed BMP with noisy pixels; grey 8-bit carries a grey ramp.
Bytes bmp(int32_t w, int32_t h, int bits, bool grey_table = true) {
    const uint32_t colours = bits == 24 ? 0 : (bits == 1 ? 2u : 1u << bits);
    const uint32_t offset = bits == 24 ? 54 : 54 + 4 * colours;
    const uint32_t stride = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
    Bytes b(offset + stride * static_cast<uint32_t>(h));
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, offset);
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(w));
    put32(b, 22, static_cast<uint32_t>(h));
    put16(b, 26, 1);
    put16(b, 28, static_cast<uint32_t>(bits));
    for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 255 / (colours - 1));
        b[54 + 4 * i] = v;
        b[55 + 4 * i] = grey_table ? v : static_cast<uint8_t>(255 - v);
        b[56 + 4 * i] = v;
    }
    for (size_t i = offset; i < b.size(); ++i) b[i] = static_cast<uint8_t>(96 + next_byte() % 64);
    return b;
}

void save(const char *target, const std::string &name, const Bytes &data) {
    const std::string dir = g_out + "/" + target;
    std::filesystem::create_directories(dir);
    if (!fuzz::write_bytes(dir + "/" + name, data.data(), data.size())) {
        std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
        std::exit(1);
    }
}

Bytes message(size_t n, bool text) {
    static const char *words[] = {"river ", "stone ", "lamp ", "north ", "velvet ", "ash "};
    Bytes m;
    while (m.size() < n) {
        if (text) {
            const char *w = words[next_byte() % 6];
            m.insert(m.end(), w, w + std::strlen(w));
        } else {
            m.push_back(next_byte());
        }
    }
    m.resize(n);
    return m;
}

// Hides `msg` in `carrier` with the fixed key and returns the stego image.
Bytes hide(const Bytes &carrier, const Bytes &msg) {
    const std::string in = fuzz::scratch("carrier.bmp");
    const std::string m = fuzz::scratch("message.bin");
    const std::string out = fuzz::scratch("out");
    std::filesystem::create_directories(out);
    fuzz::write_bytes(in, carrier.data(), carrier.size());
    fuzz::write_bytes(m, msg.data(), msg.size());
    BmpFileInfo info{};
    info.file_path = in.c_str();
    if (get_bmp_file_info(&info, 0, 0) != 0 || pass_bmp_file_info(0, &info) != 0 ||
        operation_initialization(1, m.c_str(), 1, (out + "/").c_str()) != 0) {
        std::fprintf(stderr, "cannot set up a hide\n");
        std::exit(1);
    }
    seed_prngs(fuzz::fixed_key().data());
    const int32_t r = hide_message();
    if (r != 1) {
        std::fprintf(stderr, "hide_message: %d\n", r);
        std::exit(1);
    }
    return fuzz::read_bytes(out + "/carrier.bmp");
}

struct PngKind {
    const char *name;
    int colour_type;
    int depth;
    bool interlaced;
    bool trns;
};

Bytes png(const PngKind &k, uint32_t w, uint32_t h) {
    const std::string path = fuzz::scratch("seed.png");
    std::FILE *f = std::fopen(path.c_str(), "wb");
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        std::fprintf(stderr, "libpng failed on %s\n", k.name);
        std::exit(1);
    }
    png_init_io(p, f);
    png_set_IHDR(p, info, w, h, k.depth, k.colour_type,
                 k.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (k.colour_type == PNG_COLOR_TYPE_PALETTE) {
        png_color pal[256];
        for (int i = 0; i < 256; ++i) {
            pal[i].red = static_cast<png_byte>(i);
            pal[i].green = static_cast<png_byte>(255 - i);
            pal[i].blue = static_cast<png_byte>(i * 7);
        }
        png_set_PLTE(p, info, pal, 1 << k.depth);
        if (k.trns) {
            png_byte alpha[1] = {255};  // opaque: accepted
            png_set_tRNS(p, info, alpha, 1, nullptr);
        }
    } else if (k.trns) {
        png_color_16 t{};
        t.gray = 1;  // a value no pixel has
        t.red = t.green = t.blue = static_cast<png_uint_16>((1 << k.depth) - 1);
        png_set_tRNS(p, info, nullptr, 0, &t);
    }
    png_write_info(p, info);
    const int channels = k.colour_type == PNG_COLOR_TYPE_RGB         ? 3
                         : k.colour_type == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                         : k.colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                      : 1;
    const bool alpha = k.colour_type & PNG_COLOR_MASK_ALPHA;
    const size_t row_bytes = (static_cast<size_t>(w) * channels * k.depth + 7) / 8;
    std::vector<Bytes> rows(h, Bytes(row_bytes));
    std::vector<png_bytep> ptrs(h);
    for (uint32_t y = 0; y < h; ++y) {
        for (size_t i = 0; i < row_bytes; ++i) rows[y][i] = next_byte();
        if (k.trns && k.colour_type == PNG_COLOR_TYPE_GRAY) {
            // Keep the transparent grey value 1 away from every pixel.
            for (size_t i = 0; i < row_bytes; ++i) rows[y][i] = k.depth == 8 ? 0x80 : 0xFF;
        }
        if (alpha) {
            const size_t sample = static_cast<size_t>(k.depth / 8);
            for (uint32_t x = 0; x < w; ++x) {
                for (size_t s = 0; s < sample; ++s) {
                    rows[y][(x * channels + channels - 1) * sample + s] = 0xFF;
                }
            }
        }
        ptrs[y] = rows[y].data();
    }
    png_write_image(p, ptrs.data());
    png_write_end(p, nullptr);
    png_destroy_write_struct(&p, &info);
    std::fclose(f);
    return fuzz::read_bytes(path);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    g_out = argv[1];
    if (allocate_buffers() != 1) return 1;

    // get_bmp_file_info: each bit depth, a coloured table, a truncated table,
    // a wrong offset, an unknown depth, a short header, not "BM".
    save("bmp_info", "24.bmp", bmp(8, 8, 24));
    save("bmp_info", "8grey.bmp", bmp(8, 8, 8));
    save("bmp_info", "8colour.bmp", bmp(8, 8, 8, false));
    save("bmp_info", "4.bmp", bmp(8, 8, 4));
    save("bmp_info", "1.bmp", bmp(32, 4, 1));
    Bytes cut = bmp(8, 8, 8);
    cut.resize(300);
    save("bmp_info", "cut-table.bmp", cut);
    Bytes off = bmp(8, 8, 24);
    put32(off, 10, 60);
    save("bmp_info", "offset.bmp", off);
    Bytes depth = bmp(8, 8, 24);
    put16(depth, 28, 16);
    save("bmp_info", "depth16.bmp", depth);
    save("bmp_info", "short.bmp", Bytes(off.begin(), off.begin() + 40));
    Bytes nbm = bmp(8, 8, 24);
    nbm[1] = 'A';
    save("bmp_info", "not-bm.bmp", nbm);

    // extract: stego images of both carrier kinds, stored and compressed
    // blocks, an empty message, and one with a message that fills it.
    const Bytes colour = bmp(64, 64, 24);
    const Bytes grey = bmp(64, 64, 8);
    save("extract", "colour-text.bmp", hide(colour, message(700, true)));
    save("extract", "colour-random.bmp", hide(colour, message(300, false)));
    save("extract", "colour-small.bmp", hide(colour, message(5, false)));
    save("extract", "colour-empty.bmp", hide(colour, {}));
    save("extract", "grey-text.bmp", hide(grey, message(400, true)));
    save("extract", "grey-random.bmp", hide(grey, message(200, false)));
    save("extract", "plain.bmp", colour);

    // lzw: the width byte, then a stored stream made by the compressor.
    for (int w = 9; w <= 12; ++w) {
        for (size_t n : {300u, 3000u}) {
            Bytes m = message(n, true);
            std::memcpy(ombra::g_state.block_buffer, m.data(), m.size());
            const int32_t stored =
                ombra::lzw_compress(ombra::g_state.block_buffer, static_cast<int32_t>(n), w, false);
            Bytes seed{static_cast<uint8_t>(w - 9)};
            seed.insert(seed.end(), ombra::g_state.block_buffer, ombra::g_state.block_buffer + stored);
            save("lzw", "w" + std::to_string(w) + "-" + std::to_string(n), seed);
        }
    }
    Bytes odd{0xFF};
    const Bytes junk = message(64, false);
    odd.insert(odd.end(), junk.begin(), junk.end());
    save("lzw", "width20", odd);

    // png: every colour type, bit depth and interlace the conversion accepts.
    const PngKind kinds[] = {
        {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false},
        {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false},
        {"grey4", PNG_COLOR_TYPE_GRAY, 4, false, false},
        {"grey8", PNG_COLOR_TYPE_GRAY, 8, false, false},
        {"grey16", PNG_COLOR_TYPE_GRAY, 16, false, false},
        {"grey8-trns", PNG_COLOR_TYPE_GRAY, 8, false, true},
        {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, false},
        {"rgb16", PNG_COLOR_TYPE_RGB, 16, false, false},
        {"pal1", PNG_COLOR_TYPE_PALETTE, 1, false, false},
        {"pal2", PNG_COLOR_TYPE_PALETTE, 2, false, false},
        {"pal4", PNG_COLOR_TYPE_PALETTE, 4, false, false},
        {"pal8", PNG_COLOR_TYPE_PALETTE, 8, false, false},
        {"pal8-trns", PNG_COLOR_TYPE_PALETTE, 8, false, true},
        {"greya8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
        {"greya16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false},
        {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},
        {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},
        {"grey8-adam7", PNG_COLOR_TYPE_GRAY, 8, true, false},
        {"grey2-adam7", PNG_COLOR_TYPE_GRAY, 2, true, false},
        {"rgb8-adam7", PNG_COLOR_TYPE_RGB, 8, true, false},
        {"pal4-adam7", PNG_COLOR_TYPE_PALETTE, 4, true, false},
        {"rgba16-adam7", PNG_COLOR_TYPE_RGB_ALPHA, 16, true, false},
    };
    for (const PngKind &k : kinds) save("png", std::string(k.name) + ".png", png(k, 13, 7));

    // program_text: the program's own file and small ones with each defect.
    save("program_text", "velta.dat", fuzz::read_bytes(VELTA_SOURCE_DIR "/app/velta.dat"));
    const auto text = [](const char *t) { return Bytes(t, t + std::strlen(t)); };
    save("program_text", "plain.dat", text("# head\n\n1=Velta\r\n2=~\n3=a=b\n"));
    save("program_text", "duplicate.dat", text("1=one\n2=two\n1=again\n"));
    save("program_text", "missing.dat", text("1=one\n2=\n"));
    save("program_text", "no-number.dat", text("=text\nx=y\n-3=z\n70000=w\n"));
    save("program_text", "long.dat", text(("5=" + std::string(1030, 'x') + "\n").c_str()));
    save("program_text", "utf8.dat", text("7=Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac\n8=\xff\xfe\n"));

    // settings_file: a whole file as the other platform writes it, a short
    // one, one with a bad colour and one with text in both encodings.
    save("settings_file", "whole.velta",
         text("#TRUE#\r\n#FALSE#\r\n#FALSE#\r\n#TRUE#\r\n\"C:\\d.txt\"\r\n\"C:\\a.bmp\"\r\n"
              "\"C:\\s.bmp\"\r\n\"\"\r\n\"C:\\s.bmp\"\r\n\"C:\\x.txt\"\r\n11071161\r\n"
              "#FALSE#\r\n#TRUE#\r\n"));
    save("settings_file", "twelve.velta",
         text("#FALSE#\n#TRUE#\n#TRUE#\n#FALSE#\n\"/d\"\n\"/a\"\n\"/s\"\n\"\"\n\"\"\n\"\"\n255\n"
              "#TRUE#\n"));
    save("settings_file", "bad.velta", text("#TRUE#\r\nyes\r\n\"open\r\n-1\r\n"));
    save("settings_file", "encodings.velta",
         text("#TRUE#\r\n#TRUE#\r\n#TRUE#\r\n#TRUE#\r\n\"/h/Gr\xfc\xdf" "e\"\r\n"
              "\"/h/\xe2\x82\xac\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n16777215\r\n"
              "#TRUE#\r\n#FALSE#\r\n"));
    deallocate_buffers();
    return 0;
}
