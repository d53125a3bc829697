// A set bundled into one JSON Lines file (converter-batch --bundle) taken apart
// again: each line an input of its own.
#pragma once

#include <vector>

#include "files/input_list.h"

namespace converter {

// Whether `name` ends in ".jsonl" (without case).
bool is_json_lines(const std::filesystem::path& name);

// Replaces each entry of `inputs` that is a JSON Lines file (and carries no
// error) with one entry per line holding more than white space, in line order,
// each with its `line`, `line_offset` and `line_length` (its LF left out; a CR before it is the line's white space).
// Its `line_name` is the value of a "name" key that opens the line's object,
// as --bundle writes it (empty without one). Its `relative`, where its output
// goes under an output directory or beside the file, whatever directory the
// file was found in, is that name when it is a relative path without "..",
// its last part when it is absolute or goes up, and "<stem>_<line>.json" (the
// file's stem) when there is none. A name that is not well-formed UTF-8, holds
// a control character (a NUL, a line end) or whose last part is empty or
// starts with a dot (".", "a/..") is no file's: the line is named as one
// without a name, and `line_name_unusable` is set (the name stays the
// instance's own, as --bundle keeps it). A file that can't be read stays one entry,
// with `error` set. Throws std::bad_alloc when memory runs out.
void expand_json_lines(std::vector<input_file>& inputs);

} // namespace converter
