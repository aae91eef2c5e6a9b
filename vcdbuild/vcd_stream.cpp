#include "vcd_stream.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::int64_t StatTime(const struct stat& st) {
    return st.st_mtime != 0 ? static_cast<std::int64_t>(st.st_mtime)
                            : static_cast<std::int64_t>(st.st_ctime);
}

} // namespace

CVcdStream::CVcdStream(CVcdLog& log, const char* path, int mode)
    : mode_(mode == VCD_STREAM_READ || mode == VCD_STREAM_WRITE ? mode : VCD_STREAM_INVALID),
      path_(path ? path : ""), buffer_(new char[kBufferSize]()), log_(log) {
    Check();
}

CVcdStream::~CVcdStream() {
    Close();
}

void CVcdStream::Release(int) {
    Close();
}

int CVcdStream::Check() {
    if (mode_ == VCD_STREAM_INVALID) {
        log_.Error("program error: CVcdStream has been wrongly initialized - aborting!");
        return 0;
    }
    if (path_.empty()) return 1;
    struct stat st;
    if (mode_ == VCD_STREAM_READ) {
        if (::stat(path_.c_str(), &st) != 0) {
            log_.Error("could not stat() file `%s': %s", path_.c_str(), std::strerror(errno));
            return 0;
        }
        fileTime_ = StatTime(st);
    } else if (::stat(path_.c_str(), &st) == 0 && st.st_size > 0) {
        log_.Warn("file '%s' exist already, will get overwritten!", path_.c_str());
    }
    return 1;
}

int CVcdStream::Open() {
    if (isOpen_) return 0;
    if (DoOpen() != 0) {
        log_.Error("could not open %sput stream <%s>", mode_ == VCD_STREAM_READ ? "in" : "out",
                   path_.c_str());
        return 1;
    }
    isOpen_ = true;
    position_ = 0;
    return 0;
}

int CVcdStream::DoOpen() {
    if (mode_ == VCD_STREAM_INVALID) return 1;
    if (path_.empty()) return 0;
    bool writing = mode_ == VCD_STREAM_WRITE;
    // Lock before truncating, so that a file another stream still reads or writes is refused
    // intact rather than emptied.
    int fd = writing ? ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666)
                     : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    // Devices and pipes can be neither truncated nor meaningfully locked; "wb" leaves them be.
    struct stat st;
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && (::flock(fd, (writing ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 ||
                    (writing && ::ftruncate(fd, 0) != 0))) {
        ::close(fd);
        return 1;
    }
    file_ = ::fdopen(fd, writing ? "wb" : "rb");
    if (!file_) {
        ::close(fd);
        return 1;
    }
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
    regularFile_ = regular;
    writebackFrom_ = 0;
    if (regular && !writing) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

int CVcdStream::Close() {
    if (!isOpen_) return 0;
    int result = DoClose();
    isOpen_ = false;
    position_ = 0;
    return result;
}

int CVcdStream::DoClose() {
    if (!file_) return 0;
    int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0) {
        log_.Error("fclose (): %s", std::strerror(errno));
        return 1;
    }
    return 0;
}

std::int64_t CVcdStream::Seek(std::int64_t offset) {
    if (Open() != 0) return 0;
    if (offset != position_) {
        std::int64_t old = position_;
        std::int64_t got = DoSeek(offset);
        if (got != offset) {
            log_.Error("unable to reposition Stream to the new location, %ld",
                       static_cast<long>(offset));
            return 0;
        }
        position_ = got;
        log_.Debug("had to reposition Stream from %ld to %ld!", static_cast<long>(old),
                   static_cast<long>(offset));
    }
    return position_;
}

std::int64_t CVcdStream::DoSeek(std::int64_t offset) {
    if (!file_ || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
        log_.Error("fseek (): %s", file_ ? std::strerror(errno) : "no file");
        return position_;
    }
    return offset;
}

std::int64_t CVcdStream::Read(void* buffer, std::int64_t length) {
    if (Open() != 0) return 0;
    std::int64_t got = DoRead(buffer, length);
    position_ += got;
    return got;
}

std::int64_t CVcdStream::DoRead(void* buffer, std::int64_t length) {
    if (!file_ || length <= 0) return 0;
    std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(length), file_);
    if (static_cast<std::int64_t>(got) == length) return length;
    if (std::feof(file_)) {
        log_.Debug("fread (): EOF encountered");
    } else if (std::ferror(file_)) {
        log_.Error("fread (): %s", std::strerror(errno));
    } else {
        log_.Debug("fread (): short read and no EOF?!?");
    }
    std::clearerr(file_);
    // A short read counts as nothing read: put the file back where the stream believes it is.
    fseeko(file_, static_cast<off_t>(position_), SEEK_SET);
    return 0;
}

std::int64_t CVcdStream::Write(const void* buffer, std::int64_t length) {
    if (Open() != 0) return 0;
    std::int64_t put = DoWrite(buffer, length);
    position_ += put;
    return put;
}

std::int64_t CVcdStream::DoWrite(const void* buffer, std::int64_t length) {
    if (!file_ || length <= 0) return 0;
    std::size_t put = std::fwrite(buffer, 1, static_cast<std::size_t>(length), file_);
    if (static_cast<std::int64_t>(put) != length) log_.Error("fwrite (): %s", std::strerror(errno));
    StartWriteback(position_ + static_cast<std::int64_t>(put));
    return static_cast<std::int64_t>(put);
}

// An image is hundreds of megabytes written once: hand each finished stretch to the disk while
// the build goes on, instead of leaving it all dirty in memory for the final flush.
void CVcdStream::StartWriteback(std::int64_t end) {
    constexpr std::int64_t kStretch = 8 << 20;
    if (!regularFile_) return;
    if (end < writebackFrom_) writebackFrom_ = 0; // the writer went back
    if (end - writebackFrom_ < kStretch) return;
    // Only what stdio has passed to the kernel can be written back.
    std::int64_t done = end - static_cast<std::int64_t>(kBufferSize);
    if (done <= writebackFrom_) return;
    ::sync_file_range(::fileno(file_), writebackFrom_, done - writebackFrom_,
                      SYNC_FILE_RANGE_WRITE);
    writebackFrom_ = done;
}

std::int64_t CVcdStream::GetSize() {
    std::int64_t size = -1;
    if (Open() != 0 || DoStat(&size) != 0) {
        log_.Error("Unable to _STAT file <%s>...", path_.c_str());
        return -1;
    }
    return size;
}

int CVcdStream::DoStat(std::int64_t* size) {
    struct stat st;
    if (!file_) return 1;
    // Buffered output counts too.
    if (mode_ == VCD_STREAM_WRITE) std::fflush(file_);
    if (::fstat(::fileno(file_), &st) != 0) return 1;
    *size = static_cast<std::int64_t>(st.st_size);
    fileTime_ = StatTime(st);
    return 0;
}

int CVcdStream::Printf(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    int put = VPrintf(format, args, nullptr);
    va_end(args);
    return put;
}

int CVcdStream::VPrintf(const char* format, std::va_list args, int* formatted) {
    char text[4096];
    int n = std::vsnprintf(text, sizeof text, format, args);
    if (formatted) *formatted = n;
    if (n < 0 || n > 4095) {
        log_.Error("vsnprintf() returned %d", n);
        return -1;
    }
    std::int64_t put = Write(text, n);
    if (put == 0) return -1;
    return static_cast<int>(put);
}

void CVcdStream::ReplacePath(const char* path) {
    Close();
    path_ = path ? path : "";
    Check();
}
