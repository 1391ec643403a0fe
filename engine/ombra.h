/* ombra: the embedding engine of Velta.
 *
 * The one public header of libombra. It is the only definition of the
 * BmpFileInfo record, the engine's limits and its status codes; the program
 * includes it and binds the eight functions by name at run time.
 */
#ifndef OMBRA_H
#define OMBRA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(OMBRA_BUILDING)
#    define OMBRA_API __declspec(dllexport)
#  else
#    define OMBRA_API __declspec(dllimport)
#  endif
#else
#  define OMBRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One record per image, owned by the caller. Field 0 is a pointer (so it is
 * pointer-sized); the other sixteen are signed 32-bit values. */
typedef struct BmpFileInfo {
    const char *file_path;      /* caller: 8-bit NUL-terminated path */
    int32_t file_size;          /* engine: file size stated in the header */
    int32_t data_offset;        /* engine: offset of the pixel data */
    int32_t width;              /* engine */
    int32_t height;             /* engine */
    int32_t bits_per_pixel;     /* engine: 1, 4, 8 or 24 */
    int32_t compression;        /* engine: 0 = none */
    int32_t image_size;         /* engine */
    int32_t colors_used;        /* engine */
    int32_t is_grayscale;       /* engine */
    int32_t size_matches;       /* program */
    int32_t is_suitable;        /* program */
    int32_t row_stride;         /* engine */
    int32_t pixel_bytes;        /* engine */
    int32_t unsuitable_reason;  /* program */
    int32_t sequence_index;     /* engine: signature search result */
    int32_t signature_offset;   /* engine: 0-31 */
} BmpFileInfo;

/* Limits. */
enum {
    OMBRA_MAX_IMAGES = 800,
    OMBRA_MAX_BLOCKS = 5120,
    OMBRA_MAX_PATH = 255,          /* message path and output folder */
    OMBRA_MAX_OUTPUT_PATH = 511,   /* output folder + image name */
    OMBRA_KEY_BYTES = 64,
    OMBRA_BLOCK_BUFFER_BYTES = 30720,
    OMBRA_IMAGE_BUFFER_BYTES = 20480,
    OMBRA_MESSAGE_BLOCK_BYTES = 20480,
    OMBRA_DIGEST_BYTES = 16
};

/* Status codes of get_bmp_file_info. */
enum {
    OMBRA_BMP_OK = 0,
    OMBRA_BMP_CANNOT_OPEN = -1,
    OMBRA_BMP_SHORT_READ = -2,
    OMBRA_BMP_NOT_BM = -3,
    OMBRA_BMP_COLOR_TABLE = -4,
    OMBRA_BMP_BAD_BIT_DEPTH = -5,
    OMBRA_BMP_BAD_OFFSET = -6
};

/* Status codes of hide_message and extract_message (>= 1 is success). */
enum {
    OMBRA_E_MESSAGE_OPEN = -1,
    OMBRA_E_MESSAGE_READ = -2,
    OMBRA_E_IMAGE_OPEN = -4,
    OMBRA_E_IMAGE_READ = -5,
    OMBRA_E_IMAGES_USED_UP = -6,
    OMBRA_E_OUTPUT_CREATE = -7,
    OMBRA_E_OUTPUT_WRITE = -8,
    OMBRA_E_OUTPUT_PATH_LONG = -9,
    OMBRA_E_IMAGE_DAMAGED = -10,
    OMBRA_E_BLOCK_OVERFLOW = -12,
    OMBRA_E_MESSAGE_WRITE = -13,
    OMBRA_E_DIGEST = -14,
    OMBRA_E_TOO_MANY_BLOCKS = -15,
    OMBRA_E_NOTHING_EXTRACTED = -16,
    OMBRA_E_EXPAND_OVERFLOW = -21,
    OMBRA_E_EXPAND_CODE = -22,
    OMBRA_E_EXPAND_EMPTY = -23
};

/* Status codes of operation_initialization and pass_bmp_file_info. */
enum {
    OMBRA_INIT_MESSAGE_PATH_LONG = -1,
    OMBRA_INIT_OUTPUT_FOLDER_LONG = -2,
    OMBRA_INIT_BAD_IMAGE_COUNT = -3,
    OMBRA_PASS_BAD_INDEX = -1,
    OMBRA_PASS_NO_MEMORY = -2
};

OMBRA_API int32_t allocate_buffers(void);
OMBRA_API void deallocate_buffers(void);
OMBRA_API int32_t get_bmp_file_info(BmpFileInfo *info, int32_t search_signature,
                                    int32_t not_found_value);
OMBRA_API int32_t pass_bmp_file_info(int32_t index, const BmpFileInfo *info);
OMBRA_API int32_t operation_initialization(int32_t hide, const char *message_path,
                                           int32_t image_count, const char *output_folder);
OMBRA_API void seed_prngs(const unsigned char *key);
OMBRA_API int32_t hide_message(void);
OMBRA_API int32_t extract_message(void);

/* Function types for binding the library by name at run time. */
typedef int32_t (*ombra_allocate_buffers_fn)(void);
typedef void (*ombra_deallocate_buffers_fn)(void);
typedef int32_t (*ombra_get_bmp_file_info_fn)(BmpFileInfo *, int32_t, int32_t);
typedef int32_t (*ombra_pass_bmp_file_info_fn)(int32_t, const BmpFileInfo *);
typedef int32_t (*ombra_operation_initialization_fn)(int32_t, const char *, int32_t,
                                                     const char *);
typedef void (*ombra_seed_prngs_fn)(const unsigned char *);
typedef int32_t (*ombra_hide_message_fn)(void);
typedef int32_t (*ombra_extract_message_fn)(void);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(int32_t) == 4, "BmpFileInfo fields are 32-bit");
static_assert(offsetof(BmpFileInfo, file_size) == sizeof(void *),
              "BmpFileInfo field 0 is one pointer");
static_assert(offsetof(BmpFileInfo, signature_offset) == sizeof(void *) + 15 * 4,
              "BmpFileInfo fields 1-16 are consecutive 32-bit values");
static_assert(sizeof(BmpFileInfo) == sizeof(void *) + 16 * 4,
              "BmpFileInfo is a pointer and sixteen 32-bit fields");
#endif

#endif /* OMBRA_H */
