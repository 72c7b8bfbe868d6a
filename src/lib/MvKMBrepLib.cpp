#include "lib/MvKMBrepLib.h"

#include "element/MvKMBrep.h"
#include "frustrum/naming.h"
#include "host/MvHeap.h"
#include "lib/build_identity.h"

#include <cstdlib>
#include <cstring>
#include <new>

int MvKMBrepLib::_refCount = 0;
char* MvKMBrepLib::_kmSchemaPath = nullptr;
MvBuildInfo MvKMBrepLib::_tBuildInfo = {};

namespace {

constexpr std::size_t kSchemaPathBytes = 512;

// The schema directory named by the environment: MV_KORV_SUPPORT_PATH, else
// K_SCHEMA, else "/". A variable set to an empty text counts as set.
const char* schemaDirectoryFromEnvironment() {
  if (const char* v = std::getenv("MV_KORV_SUPPORT_PATH")) return v;
  if (const char* v = std::getenv("K_SCHEMA")) return v;
  return "/";
}

}  // namespace

void MvKMBrepLib::init() {
  if (++_refCount > 1) return;
  MvLib::init();

  // After more fini than init calls the count can still be below 1 here
  // while the library is up: keep the existing path and lock instead of
  // leaking them.
  if (!_kmSchemaPath) {
    const char* dir = schemaDirectoryFromEnvironment();
    // A directory that does not fit the 512-byte buffer is cut to 511
    // characters: schema files are then not found there (the frustrum leaves
    // names that would be too long unprefixed), but nothing overflows.
    _kmSchemaPath = new (std::nothrow) char[kSchemaPathBytes];
    if (_kmSchemaPath) {
      std::strncpy(_kmSchemaPath, dir, kSchemaPathBytes - 1);
      _kmSchemaPath[kSchemaPathBytes - 1] = '\0';
    }
  }
  mvkm::setSchemaDirectory(_kmSchemaPath);
  if (!MvKMBrep::s_pKorvaniteMutex) MvKMBrep::s_pKorvaniteMutex = new (std::nothrow) MvMutex();
  MvKMBrep::constructType();
}

void MvKMBrepLib::fini() {
  if (--_refCount > 0) return;
  MvKMBrep::destructType();
  if (MvKMBrep::s_pKorvaniteMutex) {
    delete MvKMBrep::s_pKorvaniteMutex;
    MvKMBrep::s_pKorvaniteMutex = nullptr;
  }
  mvkm::setSchemaDirectory(nullptr);
  if (_kmSchemaPath) {
    delete[] _kmSchemaPath;
    _kmSchemaPath = nullptr;
  }
  MvLib::fini();
}

const char* MvKMBrepLib::version() { return mvkm::stampedVersion(); }

const char* MvKMBrepLib::build() { return mvkm::stampedBuild(); }

MvBuildInfo::MvBuildStatus MvKMBrepLib::status() {
  return static_cast<MvBuildInfo::MvBuildStatus>(static_cast<signed char>(mvkm::stampedStatus()));
}

char* MvKMBrepLib::getKmSchemaPath() { return _kmSchemaPath; }
