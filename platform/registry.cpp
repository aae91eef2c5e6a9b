#include "platform/registry.h"

#include <atomic>

namespace platform {

namespace {

std::string Normalize(RegistryRoot root, const std::string& key) {
    std::string out = std::to_string(static_cast<int>(root)) + "\\";
    for (char c : key) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        out += c;
    }
    while (out.size() > 2 && out.back() == '\\')
        out.pop_back();
    return out;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::atomic<Registry*> installed{nullptr};

} // namespace

void TableRegistry::Put(RegistryRoot root, const std::string& key, const std::string& value,
                        const std::string& data) {
    m_keys[Normalize(root, key)][Lower(value)] = data;
}

void TableRegistry::PutKey(RegistryRoot root, const std::string& key) {
    m_keys[Normalize(root, key)];
}

bool TableRegistry::KeyExists(RegistryRoot root, const std::string& key) const {
    return m_keys.count(Normalize(root, key)) != 0;
}

bool TableRegistry::ReadString(RegistryRoot root, const std::string& key, const std::string& value,
                               std::string& out) const {
    auto k = m_keys.find(Normalize(root, key));
    if (k == m_keys.end()) return false;
    auto v = k->second.find(Lower(value));
    if (v == k->second.end()) return false;
    out = v->second;
    return true;
}

DesktopRegistry::DesktopRegistry() {
    Put(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX", "Version", "4.09.00.0904");
    Put(RegistryRoot::ClassesRoot, ".htm", "", "htmlfile");
    Put(RegistryRoot::ClassesRoot, "htmlfile\\shell\\open\\command", "", "xdg-open \"%1\"");
}

Registry& GetRegistry() {
    static DesktopRegistry desktop;
    Registry* r = installed.load();
    return r ? *r : desktop;
}

void SetRegistry(Registry* registry) {
    installed.store(registry);
}

bool RegistryReadString(RegistryRoot root, const std::string& key, const std::string& value,
                        std::string& out) {
    return GetRegistry().ReadString(root, key, value, out);
}

} // namespace platform
