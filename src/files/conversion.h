// The steps of one conversion that both programs take once their files are open:
// read the whole instance, then write it, each failure worded as the user sees it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "instance/instance.h"
#include "instance/messages.h"

namespace converter {

// Reads one instance from `input` into `result`, switching the stream to
// unbuffered first (the reader has a buffer of its own). On failure returns false
// and puts the message in `message`: the invalid-input message with its line and
// column, the memory message, or the read error with the system's reason.
bool read_stream(std::FILE* input, instance& result, message_text& message);

// Writes `source` to `output` in the converted layout and flushes it, switching
// the stream to unbuffered first; adds the bytes written to `bytes_written`. On
// failure returns false with the memory message or "Writing the output file
// failed: <reason>." in `message`; the output is then short. Does not close it.
bool write_stream(std::FILE* output, const instance& source, message_text& message, std::uint64_t& bytes_written);

// Closes `output`, which write_stream wrote, and reports a failure of the last
// write as write_stream does.
bool close_output(std::FILE* output, message_text& message);

} // namespace converter
