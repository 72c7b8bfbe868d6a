#include "support/fake_kernel_callbacks.h"
#include "support/test_files.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The schema path init takes with the two variables set (null: removed);
// the variables are put back afterwards.
std::string schemaPathWith(const char* support, const char* schema) {
  const char* const names[] = {"MV_KORV_SUPPORT_PATH", "K_SCHEMA"};
  const char* const values[] = {support, schema};
  std::optional<std::string> saved[2];
  for (int i = 0; i < 2; ++i) {
    if (const char* v = std::getenv(names[i])) saved[i] = v;
    testfiles::setEnv(names[i], values[i]);
  }
  MvKMBrepLib::init();
  std::string path = MvKMBrepLib::getKmSchemaPath();
  MvKMBrepLib::fini();
  for (int i = 0; i < 2; ++i) testfiles::setEnv(names[i], saved[i] ? saved[i]->c_str() : nullptr);
  return path;
}

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

// An extra fini drives the count below zero; the next init brings it to zero and still initialises fully, and the
// fini after it tears down.
TEST(Lifecycle, InitAndFiniAreCounted) {
  // Calls (+ init, - fini), then whether the schema path, the kernel lock and the element's type record exist.
  const std::pair<const char*, bool> steps[] = {{"", false}, {"++-", true}, {"-", false}, {"-+", true},
                                                {"+", true}, {"-", false},  {"+-", false}};
  MvMutex* lock = nullptr;
  for (const auto& [calls, up] : steps) {
    SCOPED_TRACE(calls);
    for (const char* c = calls; *c; ++c) *c == '+' ? MvKMBrepLib::init() : MvKMBrepLib::fini();
    EXPECT_EQ(MvKMBrepLib::getKmSchemaPath() != nullptr, up);
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex != nullptr, up);
    EXPECT_EQ(MvKMBrep::classTypePtr() != nullptr, up);
    EXPECT_EQ(MvKMBrepOnFly::classTypePtr(), nullptr);  // the host registers the holder
    if (!up || !lock) lock = MvKMBrep::s_pKorvaniteMutex;  // kept while the library stays up
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex, lock);
  }
}

TEST(Lifecycle, SchemaDirectoryComesFromTheEnvironment) {
  const std::string longDir(700, 'd');
  const struct {
    const char* support;
    const char* schema;
    std::string expected;
  } cases[] = {
      {nullptr, nullptr, "/"},
      {"/opt/support", "/opt/schema", "/opt/support"},
      {nullptr, "/opt/schema/", "/opt/schema/"},
#if !defined(_WIN32)
      {"", "/opt/schema", ""},  // set to an empty text counts as set
#endif
      {longDir.c_str(), nullptr, std::string(511, 'd')},  // cut to the 512-byte buffer, never overflowed
  };
  for (const auto& c : cases) EXPECT_EQ(schemaPathWith(c.support, c.schema), c.expected);
}

// The queries read the values stamped behind their markers in the library file.
TEST(Lifecycle, BuildIdentityIsStampedInTheLibrary) {
  EXPECT_EQ(MvKMBrepLib::status(), 82);  // 'R', a release build
  const std::string library = libraryFile();
  ASSERT_FALSE(library.empty());
  const std::string bytes = testfiles::readAll(library);
  for (const std::string& stamp : {"_______QOB_VERSION_MARKER_______" + std::string(MvKMBrepLib::version()),
                                   "________QOB_BUILD_MARKER________" + std::string(MvKMBrepLib::build()),
                                   std::string("_______QOB_STATUS_MARKER________R")})
    EXPECT_NE(bytes.find(stamp + '\0'), std::string::npos) << stamp;
}

}  // namespace
