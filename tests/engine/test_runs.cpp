// Hiding and extraction through the exported functions: round trips, the
// embedded layout, the failure codes and damaged stego images.
#include "support.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

using namespace enginetest;

namespace {

// The output differs from the input only in least significant bits of the
// carrier region; the header region is identical.
void expect_lsb_only(const Bytes &in, const Bytes &out, size_t data_offset) {
    ASSERT_EQ(in.size(), out.size());
    ASSERT_TRUE(std::equal(in.begin(), in.begin() + static_cast<long>(data_offset), out.begin()));
    for (size_t i = data_offset; i < in.size(); ++i) {
        ASSERT_EQ(in[i] & 0xFE, out[i] & 0xFE) << "byte " << i;
    }
}

uint32_t header_of_block0(const Bytes &key, const Bytes &stego, const Carrier &meta) {
    Walk walk(key);
    auto where = walk.carrying({stego}, {meta}, 32);
    uint32_t raw = 0;
    for (size_t k = 0; k < where[0].size(); ++k) raw |= static_cast<uint32_t>(stego[where[0][k]] & 1) << k;
    return raw - walk.ks.block_masks[0];
}

class Runs : public EngineTest {
protected:
    std::string out_dir() {
        const std::string d = tmp.path("out");
        std::filesystem::create_directories(d);
        return d + "/";
    }
    Carrier put_image(const std::string &name, const Bytes &bmp) {
        write_file(tmp.path(name), bmp);
        return inspect(tmp.path(name));
    }
};

struct RoundTripCase {
    bool grey;
    size_t size;
    bool text;
};

class RoundTrip : public Runs, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTrip, ExtractsWhatWasHidden) {
    const RoundTripCase &c = GetParam();
    const Bytes key = test_key(static_cast<uint32_t>(c.size) + c.grey);
    const Bytes image = c.grey ? make_grey_bmp(600, 600, 7) : make_colour_bmp(400, 400, 8);
    const Carrier carrier = put_image("Carrier.BMP", image);
    const Bytes message = c.text ? text_bytes(c.size, 3) : random_bytes(c.size, 4);
    write_file(tmp.path("message.bin"), message);

    ASSERT_EQ(run_hide(key, tmp.path("message.bin"), {carrier}, out_dir()), 1);
    // Named after the lower-cased path, read under the given one.
    const std::string stego_path = out_dir() + "carrier.bmp";
    const Bytes stego = read_file(stego_path);
    expect_lsb_only(image, stego, static_cast<size_t>(carrier.data_offset));

    if (c.size > 0) {
        const uint32_t header = header_of_block0(key, stego, carrier);
        const uint32_t plain = static_cast<uint32_t>(c.size > 20480 ? 20480 : c.size) + 16;
        const uint32_t kind = (header >> 16) & 0xFF, width = header >> 24, length = header & 0xFFFF;
        if (plain < 256 || !c.text) {
            EXPECT_EQ(kind, 0u);
            EXPECT_EQ(width, 0u);
            EXPECT_EQ(length, plain);
        } else {
            EXPECT_EQ(kind, 1u);
            EXPECT_GE(width, 9u);
            EXPECT_LE(width, 12u);
            EXPECT_LT(length, plain);
        }
    }

    // The stego image reports its slot when searched with the same key.
    seed_prngs(key.data());
    BmpFileInfo info{};
    info.file_path = stego_path.c_str();
    ASSERT_EQ(get_bmp_file_info(&info, 1, 800), 0);
    EXPECT_EQ(info.sequence_index, 0);
    EXPECT_EQ(info.signature_offset, ombra::g_state.ks.signature_position[0]);
    info.file_path = carrier.path.c_str();
    ASSERT_EQ(get_bmp_file_info(&info, 1, 800), 0);
    EXPECT_EQ(info.sequence_index, 800);

    const Carrier stego_carrier{stego_path, carrier.data_offset, carrier.is_grayscale};
    const int32_t result = run_extract(key, tmp.path("extracted.bin"), {stego_carrier});
    EXPECT_EQ(result, c.size == 0 ? OMBRA_E_NOTHING_EXTRACTED : 1);
    EXPECT_EQ(read_file(tmp.path("extracted.bin")), message);
    EXPECT_EQ(read_file(stego_path), stego) << "extraction modified its input";
}

std::vector<RoundTripCase> round_trip_cases() {
    std::vector<RoundTripCase> cases;
    for (bool grey : {true, false}) {
        for (size_t size : {0u, 1u, 239u, 240u, 20480u, 20481u}) {
            for (bool text : {false, true}) cases.push_back({grey, size, text});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RoundTrip, ::testing::ValuesIn(round_trip_cases()),
    [](const auto &p) {
        return std::string(p.param.grey ? "grey_" : "colour_") + std::to_string(p.param.size) +
               (p.param.text ? "_text" : "_random");
    });

struct LargeCase {
    const char *name;
    const char *corpus;  // nullptr: a synthetic carrier
    size_t size;
    bool text;
};

class LargeRoundTrip : public Runs, public ::testing::WithParamInterface<LargeCase> {};

TEST_P(LargeRoundTrip, ExtractsWhatWasHidden) {
    const LargeCase &c = GetParam();
    Bytes image = c.corpus ? corpus_bmp(c.corpus) : make_colour_bmp(1100, 1000, 9);
    ASSERT_FALSE(image.empty()) << c.corpus;
    const Carrier carrier = put_image("large.bmp", image);
    const Bytes key = test_key(77);
    const Bytes message = c.text ? text_bytes(c.size, 5) : random_bytes(c.size, 6);
    write_file(tmp.path("m"), message);
    ASSERT_EQ(run_hide(key, tmp.path("m"), {carrier}, out_dir()), 1);
    const Carrier stego{out_dir() + "large.bmp", carrier.data_offset, carrier.is_grayscale};
    expect_lsb_only(image, read_file(stego.path), static_cast<size_t>(carrier.data_offset));
    ASSERT_EQ(run_extract(key, tmp.path("x"), {stego}), 1);
    EXPECT_TRUE(read_file(tmp.path("x")) == message);
}

INSTANTIATE_TEST_SUITE_P(
    Carriers, LargeRoundTrip,
    ::testing::Values(LargeCase{"synthetic_random_200k", nullptr, 200000, false},
                      LargeCase{"corpus_colour_text_300k", "kodim03-colour.png", 300000, true},
                      LargeCase{"corpus_colour_random", "kodim07-colour.png", 60000, false},
                      LargeCase{"corpus_grey_random", "kodim01-grey.png", 30000, false},
                      LargeCase{"corpus_grey_text", "kodim05-grey.png", 100000, true}),
    [](const auto &p) { return std::string(p.param.name); });

TEST_F(Runs, MessageSpansTwoImages) {
    const Carrier a = put_image("a.bmp", make_grey_bmp(300, 300, 1));
    const Carrier b = put_image("b.bmp", make_colour_bmp(200, 200, 2));
    const Bytes key = test_key(8);
    const Bytes message = random_bytes(15000, 9);
    write_file(tmp.path("m"), message);
    ASSERT_EQ(run_hide(key, tmp.path("m"), {a, b}, out_dir()), 2);
    const Carrier sa{out_dir() + "a.bmp", a.data_offset, a.is_grayscale};
    const Carrier sb{out_dir() + "b.bmp", b.data_offset, b.is_grayscale};
    seed_prngs(key.data());
    BmpFileInfo info{};
    info.file_path = sb.path.c_str();
    ASSERT_EQ(get_bmp_file_info(&info, 1, 800), 0);
    EXPECT_EQ(info.sequence_index, 1);
    ASSERT_EQ(run_extract(key, tmp.path("x"), {sa, sb}), 2);
    EXPECT_TRUE(read_file(tmp.path("x")) == message);
    // In the wrong order the first block fails and nothing is written.
    EXPECT_EQ(run_extract(key, tmp.path("x"), {sb, sa}), OMBRA_E_NOTHING_EXTRACTED);
}

TEST_F(Runs, RewritesAConvertedImageInPlace) {
    const Bytes image = make_colour_bmp(200, 150, 3);
    const Carrier carrier = put_image("work.bmp", image);
    const Bytes key = test_key(10);
    write_file(tmp.path("m"), text_bytes(3000, 1));
    ASSERT_EQ(run_hide(key, tmp.path("m"), {carrier}, tmp.dir() + "/"), 1);
    expect_lsb_only(image, read_file(carrier.path), static_cast<size_t>(carrier.data_offset));
    ASSERT_EQ(run_extract(key, tmp.path("x"), {carrier}), 1);
    EXPECT_EQ(read_file(tmp.path("x")), text_bytes(3000, 1));
}

TEST_F(Runs, LongerFileAtTheOutputPathIsCutToTheImage) {
    const Bytes image = make_colour_bmp(100, 100, 4);
    const Carrier carrier = put_image("c.bmp", image);
    write_file(out_dir() + "c.bmp", Bytes(image.size() + 5000, 0xAA));
    write_file(tmp.path("m"), Bytes(10, 'x'));
    ASSERT_EQ(run_hide(test_key(11), tmp.path("m"), {carrier}, out_dir()), 1);
    expect_lsb_only(image, read_file(out_dir() + "c.bmp"), static_cast<size_t>(carrier.data_offset));
}

TEST_F(Runs, RunNeedsItsOwnSeedAndWorksAfterAFailure) {
    const Carrier carrier = put_image("c.bmp", make_colour_bmp(100, 100, 5));
    const Bytes key = test_key(12);
    write_file(tmp.path("m"), Bytes(50, 'x'));
    EXPECT_EQ(run_hide(key, tmp.path("missing"), {carrier}, out_dir()), OMBRA_E_MESSAGE_OPEN);
    // Settings and images again, but the key stream was spent: refused.
    BmpFileInfo info{};
    info.file_path = carrier.path.c_str();
    info.data_offset = carrier.data_offset;
    ASSERT_EQ(pass_bmp_file_info(0, &info), 0);
    ASSERT_EQ(operation_initialization(1, tmp.path("m").c_str(), 1, out_dir().c_str()), 0);
    EXPECT_EQ(hide_message(), OMBRA_E_MESSAGE_OPEN);
    EXPECT_FALSE(file_exists(out_dir() + "c.bmp"));
    // Everything supplied again: a normal run.
    ASSERT_EQ(run_hide(key, tmp.path("m"), {carrier}, out_dir()), 1);
    // Hiding settings do not start an extraction.
    ASSERT_EQ(pass_bmp_file_info(0, &info), 0);
    ASSERT_EQ(operation_initialization(1, tmp.path("x").c_str(), 1, out_dir().c_str()), 0);
    seed_prngs(key.data());
    EXPECT_EQ(extract_message(), OMBRA_E_MESSAGE_OPEN);
    const Carrier stego{out_dir() + "c.bmp", carrier.data_offset, 0};
    ASSERT_EQ(run_extract(key, tmp.path("x"), {stego}), 1);
    EXPECT_EQ(read_file(tmp.path("x")), Bytes(50, 'x'));
}

TEST_F(Runs, ExtractionNeverTruncatesItsCarrier) {
    const Carrier carrier = put_image("c.bmp", make_colour_bmp(100, 100, 6));
    const Bytes before = read_file(carrier.path);
    EXPECT_EQ(run_extract(test_key(1), carrier.path, {carrier}), OMBRA_E_MESSAGE_OPEN);
    EXPECT_EQ(read_file(carrier.path), before);
}

// The run fails with its code; small fixtures per cause.
TEST_F(Runs, FailureCodes) {
    const Bytes key = test_key(13);
    const Carrier small = put_image("small.bmp", make_colour_bmp(40, 40, 7));
    write_file(tmp.path("m"), random_bytes(100, 1));
    write_file(tmp.path("big"), random_bytes(5000, 2));

    EXPECT_EQ(run_hide(key, tmp.path("none"), {small}, out_dir()), OMBRA_E_MESSAGE_OPEN);
    EXPECT_EQ(run_extract(key, tmp.path("no/such/folder/x"), {small}), OMBRA_E_MESSAGE_OPEN);
    const Carrier missing{tmp.path("missing.bmp"), 54, 0};
    EXPECT_EQ(run_hide(key, tmp.path("m"), {missing}, out_dir()), OMBRA_E_IMAGE_OPEN);
    EXPECT_EQ(run_extract(key, tmp.path("x"), {missing}), OMBRA_E_NOTHING_EXTRACTED);
    EXPECT_EQ(run_hide(key, tmp.path("big"), {small}, out_dir()), OMBRA_E_IMAGES_USED_UP);
    const Carrier damaged{small.path, static_cast<int32_t>(read_file(small.path).size()) + 1, 0};
    EXPECT_EQ(run_hide(key, tmp.path("m"), {damaged}, out_dir()), OMBRA_E_IMAGE_DAMAGED);
    EXPECT_EQ(run_hide(key, tmp.path("m"), {small}, tmp.path("no/such/") ), OMBRA_E_OUTPUT_CREATE);
    // The output image may not be the message file itself.
    write_file(out_dir() + "small.bmp", random_bytes(100, 1));
    EXPECT_EQ(run_hide(key, out_dir() + "small.bmp", {small}, out_dir()), OMBRA_E_OUTPUT_CREATE);
    EXPECT_EQ(read_file(out_dir() + "small.bmp"), random_bytes(100, 1));
}

TEST_F(Runs, BlockLimitCountsTheEndBlock) {
    const Carrier carrier = put_image("c.bmp", make_grey_bmp(600, 600, 8));
    ombra::g_state.block_limit = 2;
    write_file(tmp.path("one"), random_bytes(20480, 1));
    write_file(tmp.path("two"), random_bytes(20481, 1));
    EXPECT_EQ(run_hide(test_key(14), tmp.path("one"), {carrier}, out_dir()), 1);
    EXPECT_EQ(run_hide(test_key(14), tmp.path("two"), {carrier}, out_dir()), OMBRA_E_TOO_MANY_BLOCKS);
}

TEST_F(Runs, WrongKeyOrEmptyMessageExtractsNothing) {
    const Carrier carrier = put_image("c.bmp", make_colour_bmp(120, 120, 9));
    write_file(tmp.path("m"), text_bytes(2000, 2));
    ASSERT_EQ(run_hide(test_key(15), tmp.path("m"), {carrier}, out_dir()), 1);
    const Carrier stego{out_dir() + "c.bmp", carrier.data_offset, 0};
    Bytes wrong = test_key(15);
    wrong[0] ^= 1;
    EXPECT_EQ(run_extract(wrong, tmp.path("x"), {stego}), OMBRA_E_NOTHING_EXTRACTED);
    EXPECT_TRUE(read_file(tmp.path("x")).empty());
}

TEST_F(Runs, RandomStegoBytesNeverCrash) {
    // Random carriers under many keys: every header decodes to something.
    Bytes noise = make_colour_bmp(64, 64, 10);
    for (uint32_t seed = 0; seed < 40; ++seed) {
        Bytes px = random_bytes(noise.size() - 54, seed);
        std::copy(px.begin(), px.end(), noise.begin() + 54);
        write_file(tmp.path("n.bmp"), noise);
        const int32_t r = run_extract(test_key(100 + seed), tmp.path("x"), {{tmp.path("n.bmp"), 54, 0}});
        EXPECT_TRUE(r == OMBRA_E_NOTHING_EXTRACTED || r == 1) << r;
    }
}

// Message completion at the very last candidate byte: hiding needs one more
// candidate byte to notice that the message is complete.
TEST_F(Runs, MessageEndingAtTheLastCandidateByte) {
    const Bytes key = test_key(16);
    Bytes image = make_colour_bmp(64, 64, 11);
    const Carrier meta{"", 54, 0};
    const size_t bits = 32 + 8 * (1 + 16) + 32;  // one stored block and the end block
    Walk walk(key);
    const size_t last = walk.carrying({image}, {meta}, bits)[0].back();
    write_file(tmp.path("m"), Bytes{'z'});
    Bytes exact(image.begin(), image.begin() + static_cast<long>(last) + 1);
    const Carrier a = put_image("a.bmp", exact);
    const Carrier b = put_image("b.bmp", make_grey_bmp(64, 64, 12));
    EXPECT_EQ(run_hide(key, tmp.path("m"), {a}, out_dir()), OMBRA_E_IMAGES_USED_UP);
    ASSERT_EQ(run_hide(key, tmp.path("m"), {a, b}, out_dir()), 2);
    expect_lsb_only(read_file(b.path), read_file(out_dir() + "b.bmp"), 1078);
    const Carrier sa{out_dir() + "a.bmp", 54, 0}, sb{out_dir() + "b.bmp", 1078, 1};
    EXPECT_EQ(run_extract(key, tmp.path("x"), {sa, sb}), 1);  // the end block ends in image 0
    EXPECT_EQ(read_file(tmp.path("x")), Bytes{'z'});

    Bytes one_more(image.begin(), image.begin() + static_cast<long>(last) + 2);
    const Carrier c = put_image("c.bmp", one_more);
    EXPECT_EQ(run_hide(key, tmp.path("m"), {c}, out_dir()), 1);
}

// Stego images forged block by block, for the damaged-block codes.
struct ForgedCase {
    const char *name;
    void (*second_block)(Forge &);
    int32_t status;
};

class Forged : public Runs, public ::testing::WithParamInterface<ForgedCase> {};

TEST_P(Forged, GoodBlockIsKeptAndTheRunFails) {
    const ForgedCase &c = GetParam();
    const Bytes key = test_key(17);
    std::vector<Bytes> images = {make_colour_bmp(400, 400, 13)};  // room for a full block buffer
    const std::vector<Carrier> meta = {{"", 54, 0}};
    Forge forge(key);
    const Bytes first = random_bytes(300, 3);
    forge.stored_block(first);
    c.second_block(forge);
    forge.write(images, meta);
    write_file(tmp.path("f.bmp"), images[0]);
    EXPECT_EQ(run_extract(key, tmp.path("x"), {{tmp.path("f.bmp"), 54, 0}}), c.status);
    EXPECT_EQ(read_file(tmp.path("x")), first);
}

Bytes compressed_payload(const std::vector<uint32_t> &codes, int width) {
    Bytes stream = pack_codes(codes, width), stored(stream.size());
    ombra::rotate_stream(stream.data(), static_cast<int32_t>(stream.size()), stored.data());
    return stored;
}

std::vector<uint32_t> growing(uint32_t count) {
    std::vector<uint32_t> codes = {'a'};
    for (uint32_t c = 256; c < 256 + count; ++c) codes.push_back(c);
    codes.push_back(4095);
    codes.push_back(0);
    return codes;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, Forged,
    ::testing::Values(
        ForgedCase{"end_block", [](Forge &f) { f.end_block(); }, 1},
        ForgedCase{"digest_mismatch",
                   [](Forge &f) {
                       Bytes p = with_digest(random_bytes(40, 1));
                       p[3] ^= 1;
                       f.raw_block(0, 0, static_cast<uint32_t>(p.size()), p);
                   },
                   OMBRA_E_DIGEST},
        ForgedCase{"shorter_than_a_digest",
                   [](Forge &f) { f.raw_block(0, 0, 10, random_bytes(10, 2)); }, OMBRA_E_DIGEST},
        ForgedCase{"claims_65535_bytes",
                   [](Forge &f) { f.raw_block(0, 0, 65535, random_bytes(8000, 3)); },
                   OMBRA_E_BLOCK_OVERFLOW},
        ForgedCase{"empty_non_end_block", [](Forge &f) { f.raw_block(0, 0, 0, random_bytes(0, 3)); },
                   OMBRA_E_BLOCK_OVERFLOW},
        ForgedCase{"code_beyond_next",
                   [](Forge &f) {
                       Bytes p = compressed_payload({'a', 300, 511, 0}, 9);
                       f.raw_block(9, 1, static_cast<uint32_t>(p.size()), p);
                   },
                   OMBRA_E_EXPAND_CODE},
        ForgedCase{"expands_beyond_the_buffer",
                   [](Forge &f) {
                       Bytes p = compressed_payload(growing(300), 12);
                       f.raw_block(12, 1, static_cast<uint32_t>(p.size()), p);
                   },
                   OMBRA_E_EXPAND_OVERFLOW},
        ForgedCase{"width_13",
                   [](Forge &f) { f.raw_block(13, 1, 20, random_bytes(20, 4)); },
                   OMBRA_E_EXPAND_EMPTY},
        ForgedCase{"compressed_without_digest",
                   [](Forge &f) {
                       Bytes p = compressed_payload({'a', 'b', 511, 0}, 9);
                       f.raw_block(9, 1, static_cast<uint32_t>(p.size()), p);
                   },
                   OMBRA_E_DIGEST}),
    [](const auto &p) { return std::string(p.param.name); });

}  // namespace

namespace {

TEST_F(Runs, TruncatedStegoImagesEndCleanly) {
    const Carrier carrier = put_image("c.bmp", make_colour_bmp(420, 300, 14));
    const Bytes key = test_key(18);
    const Bytes message = random_bytes(25000, 5);
    write_file(tmp.path("m"), message);
    ASSERT_EQ(run_hide(key, tmp.path("m"), {carrier}, out_dir()), 1);
    const Bytes stego = read_file(out_dir() + "c.bmp");
    for (size_t keep : {size_t{0}, size_t{30}, size_t{54}, size_t{60}, size_t{5000}, stego.size() / 2,
                        stego.size() - 1}) {
        write_file(tmp.path("t.bmp"), Bytes(stego.begin(), stego.begin() + static_cast<long>(keep)));
        const int32_t r = run_extract(key, tmp.path("x"), {{tmp.path("t.bmp"), 54, 0}});
        const Bytes got = read_file(tmp.path("x"));
        // Whatever was written is a prefix of the message, in whole blocks.
        EXPECT_TRUE(std::equal(got.begin(), got.end(), message.begin())) << keep;
        EXPECT_TRUE(got.size() % 20480 == 0 || got.size() == message.size()) << keep;
        EXPECT_EQ(r, got.empty() ? OMBRA_E_NOTHING_EXTRACTED : 1) << keep;
    }
}

}  // namespace
