// A lock by name that one process at a time may hold, for as long as the object lives (the
// kernel drops it when the process ends, also on a crash).
#pragma once

#include <string>

namespace platform {

class InstanceLock {
  public:
    // Tries once, without waiting. The lock file lives in $XDG_RUNTIME_DIR, or when that is unset
    // in a folder of the user's own under the temporary folder ($TMPDIR or /tmp).
    explicit InstanceLock(const std::string& name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool Acquired() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

  private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace platform
