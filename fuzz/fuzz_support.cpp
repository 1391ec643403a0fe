#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzz {

std::vector<uint8_t> fixed_key() {
    std::vector<uint8_t> key(64);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 37 + 11);
    return key;
}

namespace {
std::string g_dir;

void remove_dir() {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}
}  // namespace

std::string scratch(const char *name) {
    if (g_dir.empty()) {
        // tmpfs when there is one: every input is written to a file.
        const char *base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        g_dir = std::string(base) + "/velta-fuzz-" + std::to_string(::getpid());
        std::filesystem::create_directories(g_dir);
        std::atexit(remove_dir);
    }
    return g_dir + "/" + name;
}

bool write_bytes(const std::string &path, const uint8_t *data, size_t size) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> read_bytes(const std::string &path) {
    std::vector<uint8_t> out;
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

void fail(const char *what, long value) {
    std::fprintf(stderr, "invariant broken: %s (%ld)\n", what, value);
    std::abort();
}

}  // namespace fuzz
