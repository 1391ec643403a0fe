// get_bmp_file_info on tiny BMP files built for each case.
#include "support.h"

#include <random>

using namespace enginetest;

namespace {

struct InspectCase {
    const char *name;
    BmpSpec spec;
    int32_t status;
    // Expected record fields when status is 0 (-999: not checked).
    int32_t image_size = -999;
    int32_t colors_used = -999;
    int32_t is_grayscale = -999;
    int32_t row_stride = -999;
    int32_t pixel_bytes = -999;
    int64_t truncate_to = -1;  // cut the file after building it
};

class Inspection : public EngineTest, public ::testing::WithParamInterface<InspectCase> {};

TEST_P(Inspection, FillsTheRecordOrNamesTheFault) {
    const InspectCase &c = GetParam();
    Bytes file = make_bmp(c.spec);
    if (c.truncate_to >= 0) file.resize(static_cast<size_t>(c.truncate_to));
    const std::string path = tmp.path("image.bmp");
    write_file(path, file);
    BmpFileInfo info{};
    info.file_path = path.c_str();
    info.size_matches = 77;  // program fields stay untouched
    info.unsuitable_reason = 78;
    ASSERT_EQ(get_bmp_file_info(&info, 0, 800), c.status);
    EXPECT_EQ(info.size_matches, 77);
    EXPECT_EQ(info.unsuitable_reason, 78);
    if (c.status != 0) return;
    if (c.image_size != -999) {
        EXPECT_EQ(info.image_size, c.image_size);
    }
    if (c.colors_used != -999) {
        EXPECT_EQ(info.colors_used, c.colors_used);
    }
    if (c.is_grayscale != -999) {
        EXPECT_EQ(info.is_grayscale, c.is_grayscale);
    }
    if (c.row_stride != -999) {
        EXPECT_EQ(info.row_stride, c.row_stride);
    }
    if (c.pixel_bytes != -999) {
        EXPECT_EQ(info.pixel_bytes, c.pixel_bytes);
    }
}

BmpSpec spec(int32_t w, int32_t h, uint16_t bits) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.bits = bits;
    return s;
}
BmpSpec with(BmpSpec s, void (*f)(BmpSpec &)) {
    f(s);
    return s;
}

const InspectCase kCases[] = {
    {"colour_image_size_zero", with(spec(10, 2, 24), [](BmpSpec &s) { s.file_size = 1000; }), 0,
     1000 - 54, 1 << 24, 0, 32, 60},
    {"grey_zero_colours_means_256", spec(8, 8, 8), 0, -999, 256, 1, 8, 64},
    {"one_coloured_entry", with(spec(8, 8, 8), [](BmpSpec &s) { s.coloured_entry = 255; }), 0,
     -999, 256, 0},
    {"stated_image_size_kept", with(spec(4, 4, 24), [](BmpSpec &s) { s.image_size = 5; }), 0, 5},
    {"width_1001", with(spec(1001, 3, 24), [](BmpSpec &s) { s.pixel_bytes = 0; }), 0, -999,
     -999, 0, 3004, 3003 * 3},
    {"one_bit_is_grey", with(spec(33, 2, 1), [](BmpSpec &s) { s.data_offset = 62; }), 0, -999, 2,
     1, 8, 10},
    {"four_bit", spec(5, 3, 4), 0, -999, 16, 1, 4, 9},
    {"top_down_height", with(spec(4, -4, 24), [](BmpSpec &s) { s.pixel_bytes = 0; }), 0, -999,
     -999, 0, 12, -48},
    {"huge_dimensions_clamped",
     with(spec(0x7FFFFFFF, 0x7FFFFFFF, 24), [](BmpSpec &s) { s.pixel_bytes = 0; }), 0, -999, -999,
     0, INT32_MAX, INT32_MAX},
    {"negative_huge_width",
     with(spec(INT32_MIN, 3, 24), [](BmpSpec &s) { s.pixel_bytes = 0; }), 0, -999, -999, 0,
     INT32_MIN, INT32_MIN},
    {"no_pixel_bytes_without_search", with(spec(4, 4, 24), [](BmpSpec &s) { s.pixel_bytes = 0; }),
     0},
    {"truncated_header", spec(4, 4, 24), OMBRA_BMP_SHORT_READ, -999, -999, -999, -999, -999, 53},
    {"empty_file", spec(4, 4, 24), OMBRA_BMP_SHORT_READ, -999, -999, -999, -999, -999, 0},
    {"sixteen_bits", with(spec(4, 4, 16), [](BmpSpec &s) { s.data_offset = 54; }),
     OMBRA_BMP_BAD_BIT_DEPTH},
    {"thirty_two_bits", with(spec(4, 4, 32), [](BmpSpec &s) { s.data_offset = 54; }),
     OMBRA_BMP_BAD_BIT_DEPTH},
    {"colour_offset_1078", with(spec(4, 4, 24), [](BmpSpec &s) { s.data_offset = 1078; }),
     OMBRA_BMP_BAD_OFFSET},
    {"grey_offset_54", with(spec(4, 4, 8), [](BmpSpec &s) { s.data_offset = 54; }),
     OMBRA_BMP_BAD_OFFSET},
    // 54 + 4 * 0x40000000 wraps to 54 in 32 bits; it must not pass as 54.
    {"colour_count_wrapping_the_offset",
     with(spec(4, 4, 8),
          [](BmpSpec &s) {
              s.colours = 0x40000000u;
              s.palette_entries = 0;
              s.data_offset = 54;
          }),
     OMBRA_BMP_BAD_OFFSET},
    {"colour_table_short",
     with(spec(4, 4, 8), [](BmpSpec &s) { s.pixel_bytes = 0; }), OMBRA_BMP_COLOR_TABLE, -999, -999,
     -999, -999, -999, 54 + 1000},
    // Longer than the 20480-byte image buffer holds.
    {"colour_table_too_long",
     with(spec(4, 4, 8), [](BmpSpec &s) { s.colours = 5121; }), OMBRA_BMP_COLOR_TABLE},
    {"colour_table_longest_that_fits",
     with(spec(4, 4, 8), [](BmpSpec &s) { s.colours = 5120; }), 0, -999, 5120, 1},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, Inspection, ::testing::ValuesIn(kCases),
                         [](const auto &p) { return std::string(p.param.name); });

TEST_F(EngineTest, InspectionRefusesWhatIsNotABitmap) {
    const std::string path = tmp.path("not.bmp");
    Bytes file = make_bmp(spec(4, 4, 24));
    file[0] = 'P';
    write_file(path, file);
    BmpFileInfo info{};
    info.file_path = path.c_str();
    EXPECT_EQ(get_bmp_file_info(&info, 0, 800), OMBRA_BMP_NOT_BM);
    const std::string missing = tmp.path("missing.bmp");
    info.file_path = missing.c_str();
    EXPECT_EQ(get_bmp_file_info(&info, 0, 800), OMBRA_BMP_CANNOT_OPEN);
    info.file_path = tmp.dir().c_str();  // a folder opens but does not read
    EXPECT_EQ(get_bmp_file_info(&info, 0, 800), OMBRA_BMP_SHORT_READ);
    EXPECT_EQ(get_bmp_file_info(nullptr, 0, 800), OMBRA_BMP_CANNOT_OPEN);
}

TEST_F(EngineTest, SignatureSearchNeedsSixtyFourPixelBytes) {
    Bytes key = test_key(4);
    seed_prngs(key.data());
    BmpSpec s = spec(4, 4, 24);
    s.pixel_bytes = 63;
    const std::string path = tmp.path("short.bmp");
    write_file(path, make_bmp(s));
    BmpFileInfo info{};
    info.file_path = path.c_str();
    EXPECT_EQ(get_bmp_file_info(&info, 1, 800), OMBRA_BMP_SHORT_READ);
    EXPECT_EQ(get_bmp_file_info(&info, 0, 800), 0);
}

TEST_F(EngineTest, SignatureSearchFindsAPlantedSignature) {
    Bytes key = test_key(5);
    seed_prngs(key.data());
    const ombra::KeyState &ks = ombra::g_state.ks;
    for (int j : {0, 1, 799}) {
        Bytes file = make_bmp(spec(8, 8, 8));
        const size_t at = 1078 + 7;  // any offset 0-31 is searched, not only the table's
        for (int k = 0; k < 32; ++k) {
            file[at + k] = static_cast<uint8_t>((file[at + k] & 0xFE) | ((ks.signature[j] >> k) & 1));
        }
        const std::string path = tmp.path("signed.bmp");
        write_file(path, file);
        BmpFileInfo info{};
        info.file_path = path.c_str();
        ASSERT_EQ(get_bmp_file_info(&info, 1, 800), 0);
        // A repeated signature reports its lowest entry.
        int lowest = j;
        for (int i = 0; i < j; ++i) {
            if (ks.signature[i] == ks.signature[j]) lowest = i;
        }
        EXPECT_EQ(info.sequence_index, lowest);
        EXPECT_LE(info.signature_offset, 7);
    }
    // Without the search, pixel data is not read and sequence_index stays.
    const std::string path = tmp.path("signed.bmp");
    BmpFileInfo info{};
    info.file_path = path.c_str();
    info.sequence_index = 42;
    ASSERT_EQ(get_bmp_file_info(&info, 0, 800), 0);
    EXPECT_EQ(info.sequence_index, 42);
}

}  // namespace

namespace {

TEST_F(EngineTest, ArbitraryHeadersNeverEscapeTheBuffers) {
    // Random field values behind "BM", random lengths: a code, never a crash.
    std::mt19937 rng(21);
    const std::string path = tmp.path("fuzz.bmp");
    for (int i = 0; i < 400; ++i) {
        Bytes file = random_bytes(rng() % 2000, static_cast<uint32_t>(i));
        if (file.size() >= 2) {
            file[0] = 'B';
            file[1] = 'M';
        }
        if (file.size() >= 30 && i % 2 == 0) {
            const uint16_t depths[] = {1, 4, 8, 24};
            file[28] = static_cast<uint8_t>(depths[rng() % 4]);
            file[29] = 0;
        }
        if (file.size() >= 50 && i % 4 == 0) {
            file[46] = static_cast<uint8_t>(rng());
            file[47] = static_cast<uint8_t>(rng() % 32);
            file[48] = file[49] = 0;
        }
        write_file(path, file);
        BmpFileInfo info{};
        info.file_path = path.c_str();
        const int32_t r = get_bmp_file_info(&info, static_cast<int32_t>(i % 3), 800);
        ASSERT_TRUE(r <= 0 && r >= -6) << r;
    }
}

}  // namespace
