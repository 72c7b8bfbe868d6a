#include "support/fake_kernel_callbacks.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

void setEnv(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value ? value : "");
#else
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
#endif
}

// Sets or removes the two schema variables for a scope.
class SchemaEnvironment {
 public:
  SchemaEnvironment(const char* support, const char* schema) {
    save("MV_KORV_SUPPORT_PATH", _support, _hadSupport);
    save("K_SCHEMA", _schema, _hadSchema);
    setEnv("MV_KORV_SUPPORT_PATH", support);
    setEnv("K_SCHEMA", schema);
  }
  ~SchemaEnvironment() {
    setEnv("MV_KORV_SUPPORT_PATH", _hadSupport ? _support.c_str() : nullptr);
    setEnv("K_SCHEMA", _hadSchema ? _schema.c_str() : nullptr);
  }

 private:
  static void save(const char* name, std::string& value, bool& had) {
    const char* v = std::getenv(name);
    had = v != nullptr;
    if (v) value = v;
  }
  std::string _support, _schema;
  bool _hadSupport = false, _hadSchema = false;
};

// The file the library was loaded from; empty if it cannot be told.
std::string libraryFile() {
#if defined(_WIN32)
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&MvKMBrepLib::version), &module))
    return "";
  char name[MAX_PATH] = {};
  return std::string(name, GetModuleFileNameA(module, name, MAX_PATH));
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&MvKMBrepLib::version), &info) == 0) return "";
  return info.dli_fname;
#endif
}

std::string schemaPathAfterInit() {
  MvKMBrepLib::init();
  std::string path = MvKMBrepLib::getKmSchemaPath();
  MvKMBrepLib::fini();
  return path;
}

TEST(Lifecycle, InitAndFiniAreCounted) {
  EXPECT_EQ(MvKMBrepLib::getKmSchemaPath(), nullptr);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
  MvKMBrepLib::init();
  MvKMBrepLib::init();
  MvKMBrepLib::fini();
  EXPECT_NE(MvKMBrepLib::getKmSchemaPath(), nullptr);
  EXPECT_NE(MvKMBrep::s_pKorvaniteMutex, nullptr);
  EXPECT_NE(MvKMBrep::classTypePtr(), nullptr);
  EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), nullptr);
  MvKMBrepLib::fini();
  EXPECT_EQ(MvKMBrepLib::getKmSchemaPath(), nullptr);
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
  EXPECT_EQ(MvKMBrep::classTypePtr(), nullptr);

  // An extra fini drives the count below zero; the next init brings it to
  // zero and still initialises fully, and the fini after it tears down.
  MvKMBrepLib::fini();
  MvKMBrepLib::init();
  EXPECT_NE(MvKMBrep::s_pKorvaniteMutex, nullptr);
  MvMutex* lock = MvKMBrep::s_pKorvaniteMutex;
  MvKMBrepLib::init();  // count 1: already up, the lock is kept
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, lock);
  MvKMBrepLib::fini();
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
  MvKMBrepLib::init();  // back to a count of 1
  MvKMBrepLib::fini();
  EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, nullptr);
}

TEST(Lifecycle, SchemaDirectoryComesFromTheEnvironment) {
  {
    SchemaEnvironment env(nullptr, nullptr);
    EXPECT_EQ(schemaPathAfterInit(), "/");
  }
  {
    SchemaEnvironment env("/opt/support", "/opt/schema");
    EXPECT_EQ(schemaPathAfterInit(), "/opt/support");
  }
  {
    SchemaEnvironment env(nullptr, "/opt/schema/");
    EXPECT_EQ(schemaPathAfterInit(), "/opt/schema/");
  }
#if !defined(_WIN32)
  {
    // Set to an empty text counts as set.
    SchemaEnvironment env("", "/opt/schema");
    EXPECT_EQ(schemaPathAfterInit(), "");
  }
#endif
  {
    // A directory too long for the 512-byte buffer is cut, never overflowed.
    const std::string longDir(700, 'd');
    SchemaEnvironment env(longDir.c_str(), nullptr);
    EXPECT_EQ(schemaPathAfterInit(), std::string(511, 'd'));
  }
}

TEST(Lifecycle, BuildIdentityIsStampedInTheLibrary) {
  EXPECT_STREQ(MvKMBrepLib::version(), "6.1.1.0");
  EXPECT_STREQ(MvKMBrepLib::build(), "51026");
  EXPECT_EQ(MvKMBrepLib::status(), 82);
  EXPECT_EQ(MvKMBrepLib::status(), MvBuildInfo::MvBuildRelease);
  const std::string library = libraryFile();
  ASSERT_FALSE(library.empty());
  std::ifstream file(library, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string version = std::string("_______QOB_VERSION_MARKER_______6.1.1.0") + '\0';
  const std::string build = std::string("________QOB_BUILD_MARKER________51026") + '\0';
  const std::string status = std::string("_______QOB_STATUS_MARKER________R") + '\0';
  EXPECT_NE(bytes.find(version), std::string::npos);
  EXPECT_NE(bytes.find(build), std::string::npos);
  EXPECT_NE(bytes.find(status), std::string::npos);
}

}  // namespace
