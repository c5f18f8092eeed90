// tidelin-convert as a filter: standard input converted to standard output with the
// conversion's chunk rules. Standard output carries only the data; entries and
// "Операция завершена." go to standard error.
#pragma once

#include "tidelin/direction.h"
#include "tidelin/stream.h"

namespace tidelin::tool {

// Converts standard input to standard output (with `skipBinary`, a binary input comes out
// unchanged, never half converted). 0 when the input was converted or passed through as
// binary; 1 when reading, writing or the temporary file failed (said on standard error).
int RunFilter(Direction direction, bool skipBinary);

// Says on standard error what failed in a stream.
void ReportStreamError(const StreamError& error);

}  // namespace tidelin::tool
