// Hiding and extraction on a ~100 MB 24-bit carrier, each timed as a ratio
// over a plain `cp` of the same file measured in the same run.
//
//   bench_engine_hide_extract [work-folder]
//
// Prints one table row per task and the peak resident memory after each.
#include "ombra.h"

#include <png.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 3;

long peak_rss_kb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void put32(unsigned char *b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

// The photo tiled to width x height, written row by row (never held whole).
bool make_carrier(const std::string &png, const std::string &bmp, uint32_t width, uint32_t height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, png.c_str())) return false;
    image.format = PNG_FORMAT_BGR;
    std::vector<unsigned char> tile(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, tile.data(), 0, nullptr)) return false;
    const uint32_t tw = image.width, th = image.height;
    const uint32_t stride = (3 * width + 3) / 4 * 4;
    unsigned char header[54] = {'B', 'M'};
    put32(header + 2, 54 + stride * height);
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, width);
    put32(header + 22, height);
    header[26] = 1;
    header[28] = 24;
    FILE *f = std::fopen(bmp.c_str(), "wb");
    if (f == nullptr) return false;
    std::fwrite(header, 1, sizeof header, f);
    std::vector<unsigned char> row(stride, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const unsigned char *src = tile.data() + static_cast<size_t>(y % th) * tw * 3;
        for (uint32_t x = 0; x < width; ++x) std::memcpy(&row[3 * x], src + 3 * (x % tw), 3);
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

bool make_message(const std::string &path, size_t size, bool text) {
    static const char *const words[] = {"carrier ", "message ", "block ", "digest ", "the ",
                                        "of ",      "and ",     "image ", "bits ",   "key\n"};
    std::mt19937 rng(42);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::vector<unsigned char> buf;
    buf.reserve(65536 + 16);
    size_t done = 0;
    while (done < size) {
        buf.clear();
        while (buf.size() < 65536) {
            if (text) {
                const char *w = words[rng() % 10];
                buf.insert(buf.end(), w, w + std::strlen(w));
            } else {
                buf.push_back(static_cast<unsigned char>(rng()));
            }
        }
        const size_t n = std::min(buf.size(), size - done);
        std::fwrite(buf.data(), 1, n, f);
        done += n;
    }
    return std::fclose(f) == 0;
}

template <typename F> double median_seconds(F &&run) {
    std::vector<double> t;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = Clock::now();
        if (!run()) return -1;
        t.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

const unsigned char *key() {
    static unsigned char k[OMBRA_KEY_BYTES + 1];
    const char *text = "CORRECTHORSEBATTERYSTAPLE42";
    for (int i = 0; i < OMBRA_KEY_BYTES; ++i) k[i] = static_cast<unsigned char>(text[i % 27]);
    return k;
}

BmpFileInfo info_of(const std::string &path) {
    BmpFileInfo info{};
    info.file_path = path.c_str();
    if (get_bmp_file_info(&info, 0, 800) != 0) std::fprintf(stderr, "cannot inspect %s\n", path.c_str());
    return info;
}

bool hide(const std::string &image, const std::string &message, const std::string &folder) {
    BmpFileInfo info = info_of(image);
    pass_bmp_file_info(0, &info);
    operation_initialization(1, message.c_str(), 1, folder.c_str());
    seed_prngs(key());
    const int32_t r = hide_message();
    if (r != 1) std::fprintf(stderr, "hide_message: %d\n", r);
    return r == 1;
}

bool extract(const std::string &image, const std::string &message) {
    BmpFileInfo info = info_of(image);
    pass_bmp_file_info(0, &info);
    operation_initialization(0, message.c_str(), 1, "");
    seed_prngs(key());
    const int32_t r = extract_message();
    if (r != 1) std::fprintf(stderr, "extract_message: %d\n", r);
    return r == 1;
}

}  // namespace

int main(int argc, char **argv) {
    namespace fs = std::filesystem;
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "ombra-bench";
    fs::create_directories(work / "out");
    const std::string carrier = (work / "carrier.bmp").string();
    const std::string out = (work / "out").string() + "/";
    const std::string corpus = std::string(VELTA_CORPUS_DIR) + "/kodim03-colour.png";

    // 5760 x 5800 x 3 bytes: about 100 MB.
    if (!make_carrier(corpus, carrier, 5760, 5800)) {
        std::fprintf(stderr, "cannot build the carrier from %s\n", corpus.c_str());
        return 1;
    }
    const std::string small = (work / "small.bin").string(), random = (work / "random.bin").string();
    const std::string text = (work / "text.bin").string(), back = (work / "back.bin").string();
    if (!make_message(small, 1024, false) || !make_message(random, 6u << 20, false) ||
        !make_message(text, 6u << 20, true)) {
        return 1;
    }
    if (allocate_buffers() != 1) return 1;
    const long rss_start = peak_rss_kb();

    const std::string cp = "cp '" + carrier + "' '" + out + "copy.bmp'";
    std::system(cp.c_str());  // warm the page cache
    const double copy = median_seconds([&] { return std::system(cp.c_str()) == 0; });

    struct Row {
        const char *task;
        double seconds;
        long rss;
    };
    std::vector<Row> rows;
    rows.push_back({"(a) hide 1 KB", median_seconds([&] { return hide(carrier, small, out); }), peak_rss_kb()});
    rows.push_back({"(b) hide 6 MB random", median_seconds([&] { return hide(carrier, random, out); }),
                    peak_rss_kb()});
    const std::string stego = out + "carrier.bmp";
    rows.push_back({"(c) extract 6 MB random", median_seconds([&] { return extract(stego, back); }),
                    peak_rss_kb()});
    const bool same = fs::file_size(back) == fs::file_size(random);
    rows.push_back({"(d) hide 6 MB text", median_seconds([&] { return hide(carrier, text, out); }),
                    peak_rss_kb()});
    deallocate_buffers();

    std::printf("carrier: %s, %.1f MB; median of %d runs\n", carrier.c_str(),
                static_cast<double>(fs::file_size(carrier)) / 1e6, kRepeats);
    std::printf("%-26s %10s %10s %14s\n", "task", "seconds", "x cp", "peak RSS (KB)");
    std::printf("%-26s %10.3f %10.2f %14ld\n", "cp (baseline)", copy, 1.0, rss_start);
    for (const Row &r : rows) {
        std::printf("%-26s %10.3f %10.2f %14ld\n", r.task, r.seconds, r.seconds / copy, r.rss);
    }
    std::printf("extracted message %s the hidden one in length\n", same ? "matches" : "DIFFERS from");
    if (std::getenv("OMBRA_BENCH_KEEP") == nullptr) fs::remove_all(work);
    return same ? 0 : 1;
}
