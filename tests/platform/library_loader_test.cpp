#include "platform/library_loader.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <unistd.h>

namespace {

// The math library stands in for the multiplexer: any library with a known entry will do.
std::string MathLibrary() {
    void* h = ::dlopen("libm.so.6", RTLD_NOW);
    if (!h) return {};
    Dl_info info{};
    void* cosine = ::dlsym(h, "cos");
    std::string path = cosine && ::dladdr(cosine, &info) && info.dli_fname ? info.dli_fname : "";
    ::dlclose(h);
    return path;
}

TEST(DlLibraryLoader, LoadsFromTheProgramFolderFirst) {
    std::string libm = MathLibrary();
    if (libm.empty()) GTEST_SKIP() << "no libm.so.6 to load";
    platform::PrivateTempFolder folder;
    ASSERT_TRUE(folder.Ok());
    ASSERT_EQ(::symlink(libm.c_str(), (folder.Path() + "libmjpgTools.so").c_str()), 0);

    platform::DlLibraryLoader beside(folder.Path());
    platform::LibraryHandle h = beside.Load("libmjpgTools.so");
    ASSERT_NE(h, nullptr);
    auto cosine = reinterpret_cast<double (*)(double)>(beside.Symbol(h, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(beside.Symbol(h, "mplex"), nullptr);
    beside.Free(h);

    // Elsewhere the name goes to the library search path, where it is not.
    platform::PrivateTempFolder empty;
    platform::DlLibraryLoader other(empty.Path());
    EXPECT_EQ(other.Load("libmjpgTools.so"), nullptr);
    platform::LibraryHandle m = other.Load("libm.so.6");
    EXPECT_NE(m, nullptr);
    other.Free(m);
}

TEST(DlLibraryLoader, AFileThatIsNoLibraryFailsCleanly) {
    platform::PrivateTempFolder folder;
    ASSERT_TRUE(folder.Ok());
    std::ofstream(folder.Path() + "libmjpgTools.so") << "not an ELF file";
    platform::DlLibraryLoader loader(folder.Path());
    EXPECT_EQ(loader.Load("libmjpgTools.so"), nullptr);
    EXPECT_EQ(loader.Symbol(nullptr, "mplex"), nullptr);
    loader.Free(nullptr);
}

} // namespace
