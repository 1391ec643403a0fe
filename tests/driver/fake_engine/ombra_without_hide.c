/* An engine library that lacks hide_message: the binding must refuse it. */
#include "ombra.h"

int32_t allocate_buffers(void) { return 1; }
void deallocate_buffers(void) {}
int32_t get_bmp_file_info(BmpFileInfo *info, int32_t search_signature, int32_t not_found_value)
{
    (void)info; (void)search_signature; (void)not_found_value;
    return 0;
}
int32_t pass_bmp_file_info(int32_t index, const BmpFileInfo *info) { (void)index; (void)info; return 0; }
int32_t operation_initialization(int32_t hide, const char *message_path, int32_t image_count,
                                 const char *output_folder)
{
    (void)hide; (void)message_path; (void)image_count; (void)output_folder;
    return 0;
}
void seed_prngs(const unsigned char *key) { (void)key; }
int32_t extract_message(void) { return 1; }
