// A temporary folder of the user's own (mode 0700, under $TMPDIR or /tmp), so that no other user
// can put or swap a file in it; removed with everything in it when the object goes away.
#pragma once

#include <string>

namespace platform {

class PrivateTempFolder {
  public:
    explicit PrivateTempFolder(const char* prefix = "pellam");
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    bool Ok() const { return !m_path.empty(); }
    // With a trailing '/'; empty when the folder could not be made.
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

} // namespace platform
