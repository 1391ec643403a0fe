// The exported interface: its symbols, the call order and the argument checks.
#include "support.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

using namespace enginetest;

namespace {

std::string library_path() {
    // Tests run from the folder that also holds libombra.so.
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "libombra.so").string();
}

const std::set<std::string> kExports = {
    "allocate_buffers", "deallocate_buffers",       "get_bmp_file_info", "pass_bmp_file_info",
    "operation_initialization", "seed_prngs", "hide_message", "extract_message"};

TEST(Exports, ExactlyTheEightFunctions) {
    const std::string cmd = "nm -D --defined-only '" + library_path() + "' 2>/dev/null";
    FILE *pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> defined;
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        char addr[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", addr, type, name) == 3) defined.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0) << cmd;
    EXPECT_EQ(defined, kExports);
}

TEST(Exports, LibraryLoadsByNameAndWorks) {
    void *lib = dlopen(library_path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const std::string &name : kExports) EXPECT_NE(dlsym(lib, name.c_str()), nullptr) << name;
    EXPECT_EQ(dlsym(lib, "_ZN5ombra7g_stateE"), nullptr);  // internals stay hidden
    EXPECT_EQ(dlsym(lib, "_ZN5ombra3md5EPKhmPh"), nullptr);
    auto alloc = reinterpret_cast<ombra_allocate_buffers_fn>(dlsym(lib, "allocate_buffers"));
    auto info_fn = reinterpret_cast<ombra_get_bmp_file_info_fn>(dlsym(lib, "get_bmp_file_info"));
    auto dealloc = reinterpret_cast<ombra_deallocate_buffers_fn>(dlsym(lib, "deallocate_buffers"));
    ASSERT_TRUE(alloc && info_fn && dealloc);
    BmpFileInfo info{};
    info.file_path = "/nonexistent/image.bmp";
    EXPECT_EQ(info_fn(&info, 0, 800), OMBRA_BMP_CANNOT_OPEN);
    EXPECT_EQ(alloc(), 1);
    TempDir tmp;
    BmpSpec spec;
    write_file(tmp.path("a.bmp"), make_bmp(spec));
    const std::string path = tmp.path("a.bmp");
    info.file_path = path.c_str();
    EXPECT_EQ(info_fn(&info, 0, 800), 0);
    EXPECT_EQ(info.width, 16);
    dealloc();
    dealloc();
    dlclose(lib);
}

TEST(State, CallsWithoutBuffersFailCleanly) {
    deallocate_buffers();
    BmpFileInfo info{};
    info.file_path = "/dev/null";
    EXPECT_EQ(get_bmp_file_info(&info, 0, 800), OMBRA_BMP_CANNOT_OPEN);
    EXPECT_EQ(operation_initialization(1, "/dev/null", 1, "/tmp/"), 0);
    Bytes key = test_key(1);
    seed_prngs(key.data());
    EXPECT_EQ(hide_message(), OMBRA_E_MESSAGE_OPEN);
    EXPECT_EQ(operation_initialization(0, "/dev/null", 1, ""), 0);
    EXPECT_EQ(extract_message(), OMBRA_E_MESSAGE_OPEN);
    deallocate_buffers();  // twice: nothing happens
}

TEST_F(EngineTest, SlotIndexLimits) {
    BmpFileInfo info{};
    info.file_path = "/Some/Path.BMP";
    EXPECT_EQ(pass_bmp_file_info(799, &info), 0);
    EXPECT_EQ(pass_bmp_file_info(800, &info), OMBRA_PASS_BAD_INDEX);
    EXPECT_EQ(pass_bmp_file_info(-1, &info), OMBRA_PASS_BAD_INDEX);
    EXPECT_EQ(pass_bmp_file_info(0, nullptr), OMBRA_PASS_BAD_INDEX);
    EXPECT_EQ(pass_bmp_file_info(0, &info), 0);
    EXPECT_EQ(pass_bmp_file_info(0, &info), 0);  // again: the earlier copy is given up
    // The given path is kept for opening, the lower-cased one for naming.
    EXPECT_STREQ(ombra::g_state.slots[0].path, "/Some/Path.BMP");
    EXPECT_STREQ(ombra::g_state.slots[0].lower_path, "/some/path.bmp");
}

struct InitCase {
    const char *name;
    int32_t hide;
    size_t message_length;
    int32_t count;
    size_t folder_length;
    int32_t status;
};

class Initialization : public EngineTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(Initialization, ChecksLengthsAndCount) {
    const InitCase &c = GetParam();
    ASSERT_EQ(operation_initialization(1, "kept", 3, "/kept/"), 0);
    const std::string message(c.message_length, 'm'), folder(c.folder_length, 'f');
    EXPECT_EQ(operation_initialization(c.hide, message.c_str(), c.count, folder.c_str()), c.status);
    if (c.status == OMBRA_INIT_MESSAGE_PATH_LONG) {
        EXPECT_STREQ(ombra::g_state.message_path, "kept");  // nothing stored
    }
    EXPECT_EQ(ombra::g_state.settings_valid, c.status == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Initialization,
    ::testing::Values(InitCase{"message_255", 1, 255, 1, 10, 0},
                      InitCase{"message_256", 1, 256, 1, 10, OMBRA_INIT_MESSAGE_PATH_LONG},
                      InitCase{"folder_255", 1, 10, 1, 255, 0},
                      InitCase{"folder_256", 1, 10, 1, 256, OMBRA_INIT_OUTPUT_FOLDER_LONG},
                      InitCase{"extract_ignores_folder", 0, 10, 1, 300, 0},
                      InitCase{"count_zero", 1, 10, 0, 10, OMBRA_INIT_BAD_IMAGE_COUNT},
                      InitCase{"count_negative", 0, 10, -5, 10, OMBRA_INIT_BAD_IMAGE_COUNT},
                      InitCase{"count_800", 1, 10, 800, 10, 0},
                      InitCase{"count_801", 1, 10, 801, 10, OMBRA_INIT_BAD_IMAGE_COUNT}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(Paths, OutputNameFromTheLastSeparator) {
    char out[OMBRA_MAX_OUTPUT_PATH + 1];
    ASSERT_TRUE(ombra::form_output_path("/out/", "/a/b/c.bmp", out));
    EXPECT_STREQ(out, "/out/c.bmp");
    ASSERT_TRUE(ombra::form_output_path("/out/", "c:\\x\\y.bmp", out));
    EXPECT_STREQ(out, "/out/y.bmp");
    ASSERT_TRUE(ombra::form_output_path("/out/", "plain.bmp", out));
    EXPECT_STREQ(out, "/out/plain.bmp");
    // Folder and name together may not exceed 511 characters (-9 in a run).
    const std::string folder(255, 'f'), name(256, 'n');
    EXPECT_TRUE(ombra::form_output_path(folder.c_str(), ("/x/" + name).c_str(), out));
    EXPECT_FALSE(ombra::form_output_path(folder.c_str(), ("/x/" + name + "n").c_str(), out));
}

}  // namespace
