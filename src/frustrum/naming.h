// How the frustrum names kernel files: the guise and format tables (header
// names, extensions, suffixes, read modes), the composition of the short and
// long file names and the placement of schema files in the schema directory.
#ifndef MVKM_FRUSTRUM_NAMING_H
#define MVKM_FRUSTRUM_NAMING_H

#include "frustrum/stream_table.h"

namespace mvkm {

enum class NameForm { kShort, kLong };

// The names written in the header's GUISE and FORMAT lines ("unknown" for
// codes without a name).
const char* guiseHeaderName(int guise);
const char* formatHeaderName(int format);
// The fopen mode for reading a file of this format.
const char* formatReadMode(int format);
// Whether the format suffix follows the extension: writing leaves it out
// for guises 5 and 10, reading for guise 5 only.
bool suffixWhenWriting(int guise);
bool suffixWhenReading(int guise);

// True when the call names a key: a positive length and a first character
// that is not NUL (key is not null when keyLength is positive).
bool hasKey(const char* key, int keyLength);
// Copies the key's characters (up to keyLength, stopping at a NUL) into
// `out`: 0, or 1 when keyLength exceeds 255.
int copyKey(const char* key, int keyLength, char (&out)[kNameBytes]);
// Turns the name's characters to lower case.
void lowerCase(char (&name)[kNameBytes]);
// Sets the directory that schema files are placed in: a text that stays
// valid until it is set again (the library's buffer), or null for none.
// Read at every open, so a change to the text takes effect at once.
void setSchemaDirectory(const char* dir);
// Puts the name into the schema directory when one is set and the joined
// name fits; otherwise leaves it unchanged.
void placeInSchemaDirectory(char (&name)[kNameBytes]);
// `base` followed by the guise's extension of the given form and, with
// `withSuffix`, the format's suffix: 0, or 1 when it exceeds 255 characters.
int composeFileName(const char* base, int guise, int format, NameForm form, bool withSuffix,
                    char (&out)[kNameBytes]);

}  // namespace mvkm

#endif
