// Reading one input into an instance: a file (decompressed as its name
// says), a line of a JSON Lines file or an archive's member from memory, or
// standard input, in the layout --from, its name's extension or else its
// content says.
#pragma once

#include <filesystem>
#include <new>

#include "files/input_work.h"
#include "instance/instance.h"

namespace converter {

// Reads the input (or the line or member of its file that it is) into `scratch`;
// fills `result` on failure: its message worded as converter words the same
// cause, and a hint when the content looks like another layout than the one
// chosen. Without `trailing` the whole input must be one instance; with it
// (a check) what follows is counted there.
bool read_file(const input_source& source, instance& scratch, file_result& result, trailing_tokens* trailing);

// Standard input into `scratch`; its size, or what was read of a pipe, into
// bytes_in.
bool read_standard_input(const layout_format* from, instance& scratch, file_result& result, trailing_tokens* trailing);

// Reads `input` and hands the instance to `then`; memory running out on the way
// (a path's system spelling allocates) is a failure like any other.
template <typename step>
file_result read_file_then(const input_source& source, instance& scratch, trailing_tokens* trailing, step then) {
    file_result result;
    try {
        if (read_file(source, scratch, result, trailing)) then(result);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    }
    return result;
}

} // namespace converter
