#include "platform/registry.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;

TEST(DesktopRegistry, AnswersTheQuestionsTheProgramsAsk) {
    platform::DesktopRegistry reg;
    std::string v;
    struct Case {
        RegistryRoot root;
        const char* key;
        const char* value;
        const char* data;
    } cases[] = {
        {RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX\\", "Version", "4.09.00.0904"},
        {RegistryRoot::LocalMachine, "software\\microsoft\\directx", "VERSION", "4.09.00.0904"},
        {RegistryRoot::ClassesRoot, ".htm", "", "htmlfile"},
        {RegistryRoot::ClassesRoot, "htmlfile\\shell\\open\\command", "", "xdg-open \"%1\""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(reg.ReadString(c.root, c.key, c.value, v)) << c.key;
        EXPECT_EQ(v, c.data);
    }
    EXPECT_FALSE(
        reg.ReadString(RegistryRoot::CurrentUser, "SOFTWARE\\Microsoft\\DirectX", "Version", v))
        << "roots are apart";
    EXPECT_FALSE(reg.KeyExists(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft"));
}

TEST(Registry, AnInstalledRegistryAnswersForTheProcess) {
    platform::TableRegistry mine;
    mine.PutKey(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\DirectX");
    platform::SetRegistry(&mine);
    std::string v;
    EXPECT_TRUE(platform::GetRegistry().KeyExists(RegistryRoot::LocalMachine,
                                                  "SOFTWARE\\Microsoft\\DirectX\\"));
    EXPECT_FALSE(platform::RegistryReadString(RegistryRoot::LocalMachine,
                                              "SOFTWARE\\Microsoft\\DirectX", "Version", v));
    platform::SetRegistry(nullptr);
    EXPECT_TRUE(platform::RegistryReadString(RegistryRoot::LocalMachine,
                                             "SOFTWARE\\Microsoft\\DirectX", "Version", v));
}

} // namespace
