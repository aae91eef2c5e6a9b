#include "vcd_image.h"

#include <cstdio>
#include <strings.h>

bool CVcdImage::PutText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    int length = 0;
    int put = VPrintf(format, args, &length);
    va_end(args);
    return length > 0 && put == length;
}

bool CVcdImage::WriteAt(std::int64_t offset, const void* data, std::int64_t length) {
    if (offset < 0) return false;
    // Seek returns 0 both for failure and for offset 0; a failed open also fails the write.
    if (Seek(offset) != offset) return false;
    return Write(data, length) == length;
}

bool VcdKeyIs(const char* key, const char* name) {
    return key != nullptr && ::strcasecmp(key, name) == 0;
}
