#include "platform/library_loader.h"

#include "platform/program_folder.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <utility>

namespace platform {

DlLibraryLoader::DlLibraryLoader() : m_folder(GetAppFolder()) {}

DlLibraryLoader::DlLibraryLoader(std::string programFolder) : m_folder(std::move(programFolder)) {
    if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
}

LibraryHandle DlLibraryLoader::Load(const std::string& fileName) {
    if (fileName.empty()) return nullptr;
    if (!m_folder.empty() && fileName.find('/') == std::string::npos) {
        std::string beside = m_folder + fileName;
        struct stat st {};
        if (::stat(beside.c_str(), &st) == 0) {
            if (void* h = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
        }
    }
    return ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* DlLibraryLoader::Symbol(LibraryHandle library, const std::string& name) {
    if (!library || name.empty()) return nullptr;
    return ::dlsym(library, name.c_str());
}

void DlLibraryLoader::Free(LibraryHandle library) {
    if (library) ::dlclose(library);
}

} // namespace platform
