#include "vcd_image.h"

#include <cstdio>
#include <strings.h>

bool CVcdImage::PutText(const char* format, ...) {
    char text[4096];
    std::va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0 || n > 4095) {
        log_.Error("vsnprintf() returned %d", n);
        return false;
    }
    return n > 0 && Write(text, n) == n;
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
