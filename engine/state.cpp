// The process-wide engine state, its buffers, the operation settings and the
// image slots.
#include "internal.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ombra {

EngineState g_state{};

void release_slots(int32_t count) {
    if (count > OMBRA_MAX_IMAGES) count = OMBRA_MAX_IMAGES;
    for (int32_t i = 0; i < count; ++i) {
        Slot &slot = g_state.slots[i];
        free(slot.path);
        free(slot.lower_path);
        slot = Slot{};
    }
}

int64_t read_full(int fd, void *data, size_t length) {
    uint8_t *p = static_cast<uint8_t *>(data);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::read(fd, p + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool write_full(int fd, const void *data, size_t length) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::write(fd, p + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

const char *name_part(const char *path) {
    const char *name = path;
    for (const char *p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

bool form_output_path(const char *folder, const char *image_path, char *out) {
    const char *name = name_part(image_path);
    size_t folder_length = strlen(folder);
    size_t name_length = strlen(name);
    if (folder_length + name_length > static_cast<size_t>(OMBRA_MAX_OUTPUT_PATH)) return false;
    memcpy(out, folder, folder_length);
    memcpy(out + folder_length, name, name_length + 1);
    return true;
}

bool same_file(const char *a, const char *b) {
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace ombra

using namespace ombra;

extern "C" OMBRA_API int32_t allocate_buffers(void) {
    EngineState &s = g_state;
    if (s.allocated) return 1;
    s.block_buffer = static_cast<uint8_t *>(calloc(kBlockBufferBytes, 1));
    s.work_buffer = static_cast<uint8_t *>(calloc(kBlockBufferBytes, 1));
    s.image_buffer = static_cast<uint8_t *>(calloc(kChunkBytes, 1));
    s.dict_code = static_cast<int32_t *>(calloc(kDictionarySlots, sizeof(int32_t)));
    s.dict_prefix = static_cast<int32_t *>(calloc(kDictionarySlots, sizeof(int32_t)));
    s.dict_suffix = static_cast<uint8_t *>(calloc(kDictionarySlots, 1));
    if (!s.block_buffer || !s.work_buffer || !s.image_buffer || !s.dict_code ||
        !s.dict_prefix || !s.dict_suffix) {
        free(s.block_buffer);
        free(s.work_buffer);
        free(s.image_buffer);
        free(s.dict_code);
        free(s.dict_prefix);
        free(s.dict_suffix);
        s.block_buffer = s.work_buffer = s.image_buffer = s.dict_suffix = nullptr;
        s.dict_code = s.dict_prefix = nullptr;
        return 0;
    }
    s.allocated = true;
    return 1;
}

extern "C" OMBRA_API void deallocate_buffers(void) {
    EngineState &s = g_state;
    if (!s.allocated) return;
    wipe(s.block_buffer, kBlockBufferBytes);
    wipe(s.work_buffer, kBlockBufferBytes);
    wipe(s.image_buffer, kChunkBytes);
    wipe(s.dict_code, kDictionarySlots * sizeof(int32_t));
    wipe(s.dict_prefix, kDictionarySlots * sizeof(int32_t));
    wipe(s.dict_suffix, kDictionarySlots);
    free(s.block_buffer);
    free(s.work_buffer);
    free(s.image_buffer);
    free(s.dict_code);
    free(s.dict_prefix);
    free(s.dict_suffix);
    s.block_buffer = s.work_buffer = s.image_buffer = s.dict_suffix = nullptr;
    s.dict_code = s.dict_prefix = nullptr;
    s.allocated = false;
    release_slots(OMBRA_MAX_IMAGES);
    forget_key_stream();
    wipe(&s.ks, sizeof s.ks);
    s.seeded = false;
}

extern "C" OMBRA_API int32_t pass_bmp_file_info(int32_t index, const BmpFileInfo *info) {
    if (index < 0 || index >= OMBRA_MAX_IMAGES) return OMBRA_PASS_BAD_INDEX;
    if (info == nullptr || info->file_path == nullptr) return OMBRA_PASS_BAD_INDEX;
    size_t length = strlen(info->file_path);
    char *path = static_cast<char *>(malloc(length + 1));
    char *lower = static_cast<char *>(malloc(length + 1));
    if (path == nullptr || lower == nullptr) {
        free(path);
        free(lower);
        return OMBRA_PASS_NO_MEMORY;
    }
    memcpy(path, info->file_path, length + 1);
    for (size_t i = 0; i <= length; ++i) {
        char c = path[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    Slot &slot = g_state.slots[index];
    // A slot registered again gives up its earlier copies.
    free(slot.path);
    free(slot.lower_path);
    slot.path = path;
    slot.lower_path = lower;
    slot.data_offset = info->data_offset;
    slot.is_grayscale = info->is_grayscale;
    return 0;
}

extern "C" OMBRA_API int32_t operation_initialization(int32_t hide, const char *message_path,
                                                      int32_t image_count,
                                                      const char *output_folder) {
    EngineState &s = g_state;
    // Until every check has passed no run may start, neither on the earlier
    // settings nor on half-stored ones.
    s.settings_valid = false;
    if (message_path == nullptr) return OMBRA_INIT_MESSAGE_PATH_LONG;
    size_t length = strlen(message_path);
    if (length > static_cast<size_t>(OMBRA_MAX_PATH)) return OMBRA_INIT_MESSAGE_PATH_LONG;
    memcpy(s.message_path, message_path, length + 1);
    s.hide = hide != 0;
    if (s.hide) {
        if (output_folder == nullptr) return OMBRA_INIT_OUTPUT_FOLDER_LONG;
        size_t folder_length = strlen(output_folder);
        if (folder_length > static_cast<size_t>(OMBRA_MAX_PATH)) {
            return OMBRA_INIT_OUTPUT_FOLDER_LONG;
        }
        memcpy(s.output_folder, output_folder, folder_length + 1);
    } else {
        s.output_folder[0] = '\0';
    }
    if (image_count <= 0 || image_count > OMBRA_MAX_IMAGES) return OMBRA_INIT_BAD_IMAGE_COUNT;
    s.image_count = image_count;
    s.images_opened = 0;
    s.settings_valid = true;
    return 0;
}

namespace ombra {

int32_t pass_header_region(int in_fd, int out_fd, int32_t data_offset, uint8_t *buf) {
    if (data_offset < 0) return OMBRA_E_IMAGE_DAMAGED;
    int32_t left = data_offset;
    while (left > 0) {
        const int32_t piece = left < kChunkBytes ? left : kChunkBytes;
        const int64_t n = read_full(in_fd, buf, static_cast<size_t>(piece));
        if (n < 0) return OMBRA_E_IMAGE_READ;
        if (n < piece) return OMBRA_E_IMAGE_DAMAGED;
        if (out_fd >= 0 && !write_full(out_fd, buf, static_cast<size_t>(piece))) {
            return OMBRA_E_OUTPUT_WRITE;
        }
        left -= piece;
    }
    return 0;
}

}  // namespace ombra
