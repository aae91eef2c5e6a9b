#include "burner/app/format_duration.h"

#include <cmath>
#include <cstdio>
#include <sys/stat.h>

std::string FormatDuration(double seconds) {
    // Past about 59 000 hours the tenths would overflow an int; clamp rather than wrap.
    double tenths = seconds * 10;
    long long n = std::isfinite(tenths) && tenths > 0 ? static_cast<long long>(tenths) : 0;
    if (n > 2000000000LL) n = 2000000000LL;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%01lld", n / 36000, (n % 36000) / 600,
                  (n % 600) / 10, n % 10);
    return text;
}

std::int64_t GetFileSize64(const std::string& path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::int64_t>(st.st_size);
}
