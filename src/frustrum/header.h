// The kernel's text header at the start of a file written in file mode, the
// XML declaration that replaces it for debug reports, and skipping the
// header when a file is read.
#ifndef MVKM_FRUSTRUM_HEADER_H
#define MVKM_FRUSTRUM_HEADER_H

#include "frustrum/stream_table.h"

namespace mvkm {

// Writes the header of a new file: the XML declaration for guise 10, else
// the text header carrying headerData (length characters; every run up to
// and including a semicolon becomes one line, a trailing run without one is
// dropped). 0, or 12 when a write fails.
int writeHeader(const FrustrumStream& stream, const char* headerData, int length);
// Positions the file after its header: after the end-of-header line, or at
// its start when the first line is not banner line 1. 0, or 4 when the file
// ends before the end-of-header line, 13 on a read error, 99 when the line
// buffer cannot be allocated.
int skipHeader(const FrustrumStream& stream);

}  // namespace mvkm

#endif
