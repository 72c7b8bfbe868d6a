#include "frustrum/header.h"

#include "frustrum/MvFrustrum.h"
#include "frustrum/file_transfer.h"
#include "frustrum/naming.h"

#include <cstdio>
#include <cstring>

namespace mvkm {
namespace {

// The three fixed lines of every header, 80 characters and a line feed each.
// They are constants, so a file opened before the frustrum is started still
// gets a whole header.
#define MVKM_26_STARS "**************************"
constexpr char kBannerLine1[] = "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" MVKM_26_STARS "\n";
// "**KORVANITE ", the 32 ASCII punctuation characters in code order, digits.
constexpr char kBannerLine2[] = "**KORVANITE !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~0123456789" MVKM_26_STARS "\n";
constexpr char kEndOfHeaderLine[] = "**END_OF_HEADER" MVKM_26_STARS MVKM_26_STARS "*************\n";
#undef MVKM_26_STARS

constexpr int kFixedLineBytes = 81;
static_assert(sizeof kBannerLine1 == kFixedLineBytes + 1, "banner line 1 is 80 characters and a line feed");
static_assert(sizeof kBannerLine2 == kFixedLineBytes + 1, "banner line 2 is 80 characters and a line feed");
static_assert(sizeof kEndOfHeaderLine == kFixedLineBytes + 1, "the end line is 80 characters and a line feed");

constexpr char kEndOfHeaderMark[] = "**END_OF_HEADER";
constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" ?>";
// Header lines are read in pieces of at most this many characters.
constexpr int kHeaderLineChars = 287;

const char* const kPart1Lines[] = {
    "**PART1;\n",        "MC=unknown;\n",   "MC_MODEL=unknown;\n",
    "MC_ID=unknown;\n",  "OS=unknown;\n",   "OS_RELEASE=unknown;\n",
    "FRU=rvk_korvanite_customer_support;\n",
    "APPL=Example Application;\n",
    "SITE=unknown;\n",   "USER=unknown;\n",
};

// Header lines go out with the same block write as the kernel's data: a line
// is never cut and needs no buffer of its own.
int writeText(std::FILE* file, const char* text) {
  return fileWrite(file, text, static_cast<int>(std::strlen(text)));
}

// Writes "<label><value>;" and a line feed.
int writeField(std::FILE* file, const char* label, const char* value) {
  int status = writeText(file, label);
  if (status == MV_FR_OK) status = writeText(file, value);
  if (status == MV_FR_OK) status = writeText(file, ";\n");
  return status;
}

// One line per run up to and including a semicolon, written whole however
// long it is; characters after the last semicolon are dropped.
int writeHeaderData(std::FILE* file, const char* data, int length) {
  int start = 0;
  for (int i = 0; i < length; ++i) {
    if (data[i] != ';') continue;
    int status = fileWrite(file, data + start, i + 1 - start);
    if (status == MV_FR_OK) status = fileWrite(file, "\n", 1);
    if (status != MV_FR_OK) return status;
    start = i + 1;
  }
  return MV_FR_OK;
}

int writeTextHeader(const FrustrumStream& s, const char* data, int length) {
  int status = writeText(s.file.get(), kBannerLine1);
  if (status == MV_FR_OK) status = writeText(s.file.get(), kBannerLine2);
  for (const char* line : kPart1Lines) {
    if (status == MV_FR_OK) status = writeText(s.file.get(), line);
  }
  if (status == MV_FR_OK) status = writeField(s.file.get(), "FORMAT=", formatHeaderName(s.format));
  if (status == MV_FR_OK) status = writeField(s.file.get(), "GUISE=", guiseHeaderName(s.guise));
  if (status == MV_FR_OK) status = writeField(s.file.get(), "KEY=", s.key);
  if (status == MV_FR_OK) status = writeField(s.file.get(), "FILE=", s.name);
  if (status == MV_FR_OK) status = writeText(s.file.get(), "DATE=unknown;\n**PART2;\n");
  if (status == MV_FR_OK) status = writeHeaderData(s.file.get(), data, length);
  if (status == MV_FR_OK) status = writeText(s.file.get(), "**PART3;\n");
  if (status == MV_FR_OK) status = writeText(s.file.get(), kEndOfHeaderLine);
  return status;
}

}  // namespace

int writeHeader(const FrustrumStream& stream, const char* headerData, int length) {
  if (stream.guise == MV_GUISE_DEBUG_REPORT) return writeText(stream.file.get(), kXmlDeclaration);
  return writeTextHeader(stream, headerData, length);
}

int skipHeader(const FrustrumStream& stream) {
  for (bool first = true;; first = false) {
    const char* line = nullptr;
    int length = 0;
    const int status = fileReadLine(stream.file.get(), kHeaderLineChars, line, length);
    if (status != MV_FR_OK) return status;
    if (std::strncmp(line, kEndOfHeaderMark, sizeof kEndOfHeaderMark - 1) == 0) return MV_FR_OK;
    if (first && std::strncmp(line, kBannerLine1, kFixedLineBytes) != 0) {
      std::rewind(stream.file.get());
      return MV_FR_OK;
    }
  }
}

}  // namespace mvkm
