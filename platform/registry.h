// Registry reads. The desktop has no registry; it answers the few questions the programs ask
// with what the Linux desktop provides. Tests install a registry of their own.
#pragma once

#include <map>
#include <string>

namespace platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

class Registry {
  public:
    virtual ~Registry() = default;
    // Key paths use backslashes; case and a trailing backslash do not matter. An empty value
    // name is the key's default value.
    virtual bool KeyExists(RegistryRoot root, const std::string& key) const = 0;
    virtual bool ReadString(RegistryRoot root, const std::string& key, const std::string& value,
                            std::string& out) const = 0;
};

// A registry holding exactly the values put into it.
class TableRegistry : public Registry {
  public:
    void Put(RegistryRoot root, const std::string& key, const std::string& value,
             const std::string& data);
    void PutKey(RegistryRoot root, const std::string& key); // a key without values
    bool KeyExists(RegistryRoot root, const std::string& key) const override;
    bool ReadString(RegistryRoot root, const std::string& key, const std::string& value,
                    std::string& out) const override;

  private:
    std::map<std::string, std::map<std::string, std::string>> m_keys;
};

// HKLM\SOFTWARE\Microsoft\DirectX "Version" = "4.09.00.0904"; HKCR\.htm = "htmlfile";
// HKCR\htmlfile\shell\open\command = xdg-open "%1".
class DesktopRegistry : public TableRegistry {
  public:
    DesktopRegistry();
};

// The process's registry: the desktop one unless another is installed (null restores it).
Registry& GetRegistry();
void SetRegistry(Registry* registry);

bool RegistryReadString(RegistryRoot root, const std::string& key, const std::string& value,
                        std::string& out);

} // namespace platform
