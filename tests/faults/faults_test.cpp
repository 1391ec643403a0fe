// Faults from outside: a full disk, destinations that are unusable or vanish,
// images changed between the check and the run, and keys with characters
// beyond ASCII. Each must end in a clear status with nothing lost.
// The engine's header first: its image slots are named like a Qt keyword.
#include "internal.h"

#include "driver/workflow_support.h"
#include "util/programtext.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void write_file(const std::string &path, const Bytes &data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
    ASSERT_TRUE(f.good()) << path;
}

Bytes noise(size_t n, uint32_t seed) {
    Bytes b(n);
    for (auto &x : b) {
        seed = seed * 1103515245u + 12345u;
        x = static_cast<uint8_t>(seed >> 16);
    }
    return b;
}

// A noisy uncompressed 24-bit BMP.
Bytes colour_bmp(int32_t w, int32_t h, uint32_t seed) {
    const uint32_t stride = ((3 * static_cast<uint32_t>(w) + 3) / 4) * 4;
    Bytes b = noise(54 + stride * static_cast<uint32_t>(h), seed);
    std::memset(b.data(), 0, 54);
    b[0] = 'B';
    b[1] = 'M';
    ombra::store_le32(&b[2], static_cast<uint32_t>(b.size()));
    ombra::store_le32(&b[10], 54);
    ombra::store_le32(&b[14], 40);
    ombra::store_le32(&b[18], static_cast<uint32_t>(w));
    ombra::store_le32(&b[22], static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    return b;
}

Bytes key_of(uint8_t base) {
    Bytes k(64);
    for (size_t i = 0; i < k.size(); ++i) k[i] = static_cast<uint8_t>(base + i * 13);
    return k;
}

// Registers one image, initialises and runs; inspects the image as it is now.
int32_t run(bool hide, const std::string &image, const std::string &message,
            const std::string &folder, const Bytes &key,
            const std::function<void()> &between = nullptr) {
    BmpFileInfo info{};
    info.file_path = image.c_str();
    if (get_bmp_file_info(&info, 0, 0) != 0) return 100;
    if (pass_bmp_file_info(0, &info) != 0) return 101;
    if (operation_initialization(hide ? 1 : 0, message.c_str(), 1, folder.c_str()) != 0) return 102;
    seed_prngs(key.data());
    if (between) between();  // what changes after the check, before the run
    return hide ? hide_message() : extract_message();
}

// Runs `body` in a child process whose files may grow to `limit` bytes at
// most (a disk that fills); returns the child's status code.
int32_t with_file_limit(rlim_t limit, const std::function<int32_t()> &body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        struct rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(200);
        const int32_t r = body();
        ::_exit(r <= 0 && r > -100 ? -r : 150 + (r > 0 ? 0 : 1));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return 999;
    const int code = WEXITSTATUS(status);
    return code == 150 ? 1 : -code;
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(allocate_buffers(), 1);
        char tmpl[] = "/tmp/velta-faults-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        fs::create_directories(dir_ + "/out");
    }
    void TearDown() override {
        deallocate_buffers();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    std::string out() const { return dir_ + "/out/"; }

    // A stego image holding `message` (at out()/carrier.bmp).
    void make_stego(const Bytes &image, const Bytes &message, const Bytes &key) {
        write_file(path("carrier.bmp"), image);
        write_file(path("message.bin"), message);
        ASSERT_EQ(run(true, path("carrier.bmp"), path("message.bin"), out(), key), 1);
    }

    std::string dir_;
};

// ---- the disk fills ----------------------------------------------------------

class DiskFullWhileHiding : public Faults, public ::testing::WithParamInterface<rlim_t> {};

TEST_P(DiskFullWhileHiding, ReportsTheWriteAndLeavesTheImage) {
    const Bytes image = colour_bmp(120, 90, 3);
    write_file(path("carrier.bmp"), image);
    write_file(path("message.bin"), noise(2000, 4));
    const int32_t r = with_file_limit(GetParam(), [&] {
        return run(true, path("carrier.bmp"), path("message.bin"), out(), key_of(1));
    });
    EXPECT_EQ(r, OMBRA_E_OUTPUT_WRITE);
    EXPECT_EQ(read_file(path("carrier.bmp")), image);
    EXPECT_LE(fs::file_size(out() + "carrier.bmp"), GetParam());
}

// Full before the header, inside the header, inside the message bits, and
// after them (only the untouched rest of the image is left to copy).
INSTANTIATE_TEST_SUITE_P(Limits, DiskFullWhileHiding,
                         ::testing::Values(rlim_t{0}, rlim_t{30}, rlim_t{4000},
                                           rlim_t{30000}));

TEST_F(Faults, StegoImageOnAFullDevice) {
    // The output is named after the image: "full" in the folder /dev/.
    const Bytes image = colour_bmp(64, 64, 5);
    write_file(path("full"), image);
    write_file(path("message.bin"), noise(100, 6));
    EXPECT_EQ(run(true, path("full"), path("message.bin"), "/dev/", key_of(2)),
              OMBRA_E_OUTPUT_WRITE);
    EXPECT_EQ(read_file(path("full")), image);
}

TEST_F(Faults, DiskFullWhileExtractingKeepsTheWholeBlocks) {
    // Two blocks: the first fits under the limit, the second does not.
    const Bytes message = noise(25000, 7);
    make_stego(colour_bmp(400, 400, 8), message, key_of(3));
    const Bytes stego = read_file(out() + "carrier.bmp");
    const int32_t r = with_file_limit(22000, [&] {
        return run(false, out() + "carrier.bmp", path("extracted.bin"), "", key_of(3));
    });
    EXPECT_EQ(r, OMBRA_E_MESSAGE_WRITE);
    const Bytes got = read_file(path("extracted.bin"));
    ASSERT_GE(got.size(), size_t{OMBRA_MESSAGE_BLOCK_BYTES});
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + OMBRA_MESSAGE_BLOCK_BYTES, message.begin()));
    EXPECT_EQ(read_file(out() + "carrier.bmp"), stego);
}

TEST_F(Faults, DiskFullBeforeAnythingIsExtractedIsNothingExtracted) {
    // No block reaches the disk, so the run reports that nothing was extracted.
    make_stego(colour_bmp(120, 90, 9), noise(500, 10), key_of(4));
    EXPECT_EQ(run(false, out() + "carrier.bmp", "/dev/full", "", key_of(4)),
              OMBRA_E_NOTHING_EXTRACTED);
    EXPECT_EQ(with_file_limit(100, [&] {
                  return run(false, out() + "carrier.bmp", path("x.bin"), "", key_of(4));
              }),
              OMBRA_E_NOTHING_EXTRACTED);
}

// ---- destinations that cannot be used ------------------------------------------

TEST_F(Faults, OutputFolderUnderARegularFile) {
    // Refused even to root: a path through a file.
    const Bytes image = colour_bmp(64, 64, 11);
    write_file(path("carrier.bmp"), image);
    write_file(path("message.bin"), noise(100, 12));
    write_file(path("plain"), {1, 2, 3});
    EXPECT_EQ(run(true, path("carrier.bmp"), path("message.bin"), path("plain") + "/", key_of(5)),
              OMBRA_E_OUTPUT_CREATE);
    EXPECT_EQ(read_file(path("carrier.bmp")), image);
    EXPECT_EQ(read_file(path("plain")), (Bytes{1, 2, 3}));
}

TEST_F(Faults, OutputFolderRemovedAfterTheCheck) {
    const Bytes image = colour_bmp(64, 64, 13);
    write_file(path("carrier.bmp"), image);
    write_file(path("message.bin"), noise(100, 14));
    EXPECT_EQ(run(true, path("carrier.bmp"), path("message.bin"), out(), key_of(6),
                  [&] { fs::remove_all(out()); }),
              OMBRA_E_OUTPUT_CREATE);
    EXPECT_EQ(read_file(path("carrier.bmp")), image);
}

TEST_F(Faults, ExtractionTargetUnderAFileOrAVanishedFolder) {
    make_stego(colour_bmp(64, 64, 15), noise(100, 16), key_of(7));
    write_file(path("plain"), {9});
    EXPECT_EQ(run(false, out() + "carrier.bmp", path("plain") + "/m.bin", "", key_of(7)),
              OMBRA_E_MESSAGE_OPEN);
    fs::create_directories(path("gone"));
    EXPECT_EQ(run(false, out() + "carrier.bmp", path("gone") + "/m.bin", "", key_of(7),
                  [&] { fs::remove_all(path("gone")); }),
              OMBRA_E_MESSAGE_OPEN);
}

// ---- the image changes between the check and the run ------------------------------

struct Change {
    const char *name;
    std::function<void(const std::string &)> apply;
    int32_t hide_code;
};

void truncate_to(const std::string &p, uintmax_t n) { fs::resize_file(p, n); }

class ImageChanged : public Faults, public ::testing::WithParamInterface<Change> {};

TEST_P(ImageChanged, HidingGivesAClearCode) {
    write_file(path("carrier.bmp"), colour_bmp(64, 64, 17));
    write_file(path("message.bin"), noise(300, 18));
    const int32_t r = run(true, path("carrier.bmp"), path("message.bin"), out(), key_of(8),
                          [&] { GetParam().apply(path("carrier.bmp")); });
    EXPECT_EQ(r, GetParam().hide_code);
}

TEST_P(ImageChanged, ExtractionFindsNothing) {
    make_stego(colour_bmp(64, 64, 19), noise(300, 20), key_of(9));
    EXPECT_EQ(run(false, out() + "carrier.bmp", path("m.bin"), "", key_of(9),
                  [&] { GetParam().apply(out() + "carrier.bmp"); }),
              OMBRA_E_NOTHING_EXTRACTED);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ImageChanged,
    ::testing::Values(
        Change{"Removed", [](const std::string &p) { fs::remove(p); }, OMBRA_E_IMAGE_OPEN},
        Change{"Emptied", [](const std::string &p) { truncate_to(p, 0); }, OMBRA_E_IMAGE_DAMAGED},
        Change{"CutInTheHeader", [](const std::string &p) { truncate_to(p, 20); },
               OMBRA_E_IMAGE_DAMAGED},
        Change{"CutAfterTheHeader", [](const std::string &p) { truncate_to(p, 54 + 40); },
               OMBRA_E_IMAGES_USED_UP},
        Change{"ReplacedByAFolder",
               [](const std::string &p) {
                   fs::remove(p);
                   fs::create_directories(p);
               },
               OMBRA_E_IMAGE_READ}),
    [](const ::testing::TestParamInfo<Change> &i) { return std::string(i.param.name); });

// ---- keys beyond ASCII --------------------------------------------------------------

TEST_F(Faults, KeyWithAccentsAndControlCharactersRoundTrips) {
    // 64 characters: accented letters (in and beyond Latin-1, the euro sign),
    // tabs, a carriage return and other control characters.
    const QString typed = QString::fromUtf8(
        "Çà\tété\r\x01ôüÿñ€ŠœŽ–ß Øå\x1f"
        "Grüße aus Köln, déjà vu\x7f naïve façade fiancé señor ")
                              .left(64);
    ASSERT_EQ(typed.size(), 64);
    const QByteArray key = velta::wf::EngineKey(typed);
    ASSERT_EQ(key.size(), 64);
    const Bytes k(key.begin(), key.end());

    const Bytes message = noise(3000, 21);
    make_stego(colour_bmp(200, 200, 22), message, k);
    // Derived again from the same text, as the extraction would.
    const QByteArray again = velta::wf::EngineKey(typed);
    ASSERT_EQ(run(false, out() + "carrier.bmp", path("back.bin"), "",
                  Bytes(again.begin(), again.end())),
              1);
    EXPECT_EQ(read_file(path("back.bin")), message);

    // One accent changed: a different key, so nothing comes out.
    QString other = typed;
    other.replace(QChar(0x00E9), QChar(0x00E8));
    const QByteArray wrong = velta::wf::EngineKey(other);
    ASSERT_NE(wrong, key);
    EXPECT_EQ(run(false, out() + "carrier.bmp", path("wrong.bin"), "",
                  Bytes(wrong.begin(), wrong.end())),
              OMBRA_E_NOTHING_EXTRACTED);
}

// ---- the program text file ------------------------------------------------------

struct TextFileCase {
    const char *name;
    const char *content;  // nullptr: no file at all
    int32_t code;
    const char *message;
};

class ProgramTextFile : public Faults, public ::testing::WithParamInterface<TextFileCase> {};

TEST_P(ProgramTextFile, RefusedWithItsMessageAndAnEmptyTable) {
    const TextFileCase &c = GetParam();
    const QString file = QString::fromStdString(path("velta.dat"));
    if (c.content != nullptr) {
        const std::string text(c.content);
        write_file(path("velta.dat"), Bytes(text.begin(), text.end()));
    }
    ASSERT_EQ(velta::LoadProgramTextFile(file), c.code);
    QString expected = QString::fromUtf8(c.message);
    if (c.code == velta::kPtCannotOpen) expected += file;
    EXPECT_EQ(velta::ProgramTextLoadMessage(c.code, file), expected);
    EXPECT_EQ(velta::ProgramText(1), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Defects, ProgramTextFile,
    ::testing::Values(
        TextFileCase{"Missing", nullptr, velta::kPtCannotOpen,
                     "Cannot open file containing program text.\r\n"},
        TextFileCase{"Empty", "", velta::kPtFileEmpty, "File is empty."},
        TextFileCase{"Duplicate", "1=Velta\n2=two\n1=again\n", velta::kPtDuplicateBase - 3,
                     "Duplicate in program text at line 3."},
        TextFileCase{"OverLongLine",
                     "1=Velta\n# a comment\n"
                     "2=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n",
                     velta::kPtTooLongBase - 3, "String too long at line 3."}),
    [](const ::testing::TestParamInfo<TextFileCase> &i) { return std::string(i.param.name); });

}  // namespace
