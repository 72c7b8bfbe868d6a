#include "frustrum/naming.h"

#include "frustrum/MvFrustrum.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace mvkm {
namespace {

struct GuiseNames {
  int guise;
  const char* headerName;
  const char* shortExtension;
  const char* longExtension;
};

constexpr GuiseNames kGuises[] = {
    {MV_GUISE_ROLLBACK, "rollback", "", ""},
    {MV_GUISE_SNAPSHOT, "snapshot", ".n", ".snp"},
    {MV_GUISE_JOURNAL, "journal", ".j", ".jnl"},
    {MV_GUISE_TRANSMIT, "transmit", ".x", ".xmt"},
    {MV_GUISE_XMT, "unknown", ".xmt", ".xmt"},
    {MV_GUISE_SCHEMA, "schema", ".s", ".sch"},
    {MV_GUISE_TRANSMIT_PARTITION, "transmit_partition", ".p", ".xmp"},
    {MV_GUISE_TRANSMIT_DELTAS, "transmit_deltas", ".d", ".xmd"},
    {MV_GUISE_DEBUG_REPORT, "debug_report", ".xml", ".xml"},
};
constexpr GuiseNames kUnknownGuise = {0, "unknown", "", ""};

struct FormatNames {
  int format;
  const char* headerName;
  const char* shortSuffix;
  const char* longSuffix;
  const char* readMode;
};

constexpr FormatNames kFormats[] = {
    {MV_FORMAT_BINARY, "binary", "_b", "_bin", "rb"},
    {MV_FORMAT_TEXT, "text", "_t", "_txt", "r"},
};
constexpr FormatNames kUnknownFormat = {0, "unknown", "", "", "r"};

const GuiseNames& guiseNames(int guise) {
  for (const GuiseNames& g : kGuises) {
    if (g.guise == guise) return g;
  }
  return kUnknownGuise;
}

const FormatNames& formatNames(int format) {
  for (const FormatNames& f : kFormats) {
    if (f.format == format) return f;
  }
  return kUnknownFormat;
}

// The schema directory given by the library's start (its own buffer), or
// null.
const char* gSchemaDirectory = nullptr;

#if defined(_WIN32)
constexpr char kDirectorySeparator = '\\';
#else
constexpr char kDirectorySeparator = '/';
#endif

}  // namespace

void setSchemaDirectory(const char* dir) { gSchemaDirectory = dir; }

const char* guiseHeaderName(int guise) { return guiseNames(guise).headerName; }

const char* formatHeaderName(int format) { return formatNames(format).headerName; }

const char* formatReadMode(int format) { return formatNames(format).readMode; }

bool suffixWhenWriting(int guise) { return guise != MV_GUISE_XMT && guise != MV_GUISE_DEBUG_REPORT; }

bool suffixWhenReading(int guise) { return guise != MV_GUISE_XMT; }

bool hasKey(const char* key, int keyLength) { return keyLength >= 1 && key[0] != '\0'; }

int copyKey(const char* key, int keyLength, char (&out)[kNameBytes]) {
  if (keyLength > kMaxNameLength) return MV_FR_NAME_TOO_LONG;
  const std::size_t n = strnlen(key, static_cast<std::size_t>(keyLength));
  // A control character (a line feed, say) would break the header's KEY and
  // FILE lines: such a key is refused as a bad name.
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(key[i]);
    if (c < 0x20 || c == 0x7F) return MV_FR_NAME_TOO_LONG;
  }
  std::memcpy(out, key, n);
  out[n] = '\0';
  return MV_FR_OK;
}

void lowerCase(char (&name)[kNameBytes]) {
  for (char* c = name; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
}

void placeInSchemaDirectory(char (&name)[kNameBytes]) {
  const char* dir = gSchemaDirectory;
  // An empty directory is taken as none: joining it would put the schema
  // file at the root of the file system.
  if (!dir || dir[0] == '\0') return;
  const std::size_t dirLength = std::strlen(dir);
  const std::size_t nameLength = std::strlen(name);
  if (dirLength + nameLength + 1 >= static_cast<std::size_t>(kMaxNameLength)) return;
  char joined[kNameBytes];
  std::memcpy(joined, dir, dirLength);
  joined[dirLength] = kDirectorySeparator;
  std::memcpy(joined + dirLength + 1, name, nameLength + 1);
  std::memcpy(name, joined, dirLength + nameLength + 2);
}

int composeFileName(const char* base, int guise, int format, NameForm form, bool withSuffix,
                    char (&out)[kNameBytes]) {
  const GuiseNames& g = guiseNames(guise);
  const FormatNames& f = formatNames(format);
  const bool isShort = form == NameForm::kShort;
  const char* extension = isShort ? g.shortExtension : g.longExtension;
  const char* suffix = withSuffix ? (isShort ? f.shortSuffix : f.longSuffix) : "";
  const int length = std::snprintf(out, sizeof out, "%s%s%s", base, extension, suffix);
  return length < 0 || length > kMaxNameLength ? MV_FR_NAME_TOO_LONG : MV_FR_OK;
}

}  // namespace mvkm
