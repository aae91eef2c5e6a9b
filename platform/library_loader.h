// Loading a shared library by name and finding its entry points, behind an interface so that
// tests decide what loads.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

class LibraryLoader {
  public:
    virtual ~LibraryLoader() = default;
    // Null when it cannot be loaded.
    virtual LibraryHandle Load(const std::string& fileName) = 0;
    virtual void* Symbol(LibraryHandle library, const std::string& name) = 0;
    virtual void Free(LibraryHandle library) = 0;
};

// dlopen from the program's folder first, then by the library search path.
class DlLibraryLoader : public LibraryLoader {
  public:
    DlLibraryLoader();
    explicit DlLibraryLoader(std::string programFolder);
    LibraryHandle Load(const std::string& fileName) override;
    void* Symbol(LibraryHandle library, const std::string& name) override;
    void Free(LibraryHandle library) override;

  private:
    std::string m_folder;
};

} // namespace platform
