// A set bundled into one JSON Lines file (converter-batch --bundle) taken apart
// again: each line an input of its own. The lines are read in turn, as a
// stream, so that memory follows the jobs and not the file's length; before
// the run the file is indexed once, keeping only what the plan of outputs
// needs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/compressed_input.h"
#include "files/input_list.h"
#include "instance/messages.h"

namespace converter {

// Whether `name` ends in ".jsonl" (without case), after a compression suffix
// if it has one (set.jsonl.gz).
bool is_json_lines(const std::filesystem::path& name);

// One line of a JSON Lines file that holds more than white space.
struct json_line {
    std::uint64_t number = 0; // from 1
    std::uint64_t offset = 0; // of its first byte, in the file's plain (decompressed) bytes
    std::uint64_t bytes = 0;  // its bytes with its line end
    std::string text;         // without its LF (a CR before it is the line's white space)
    // The value of a "name" key that opens the line's object, as --bundle
    // writes it, decoded to UTF-8; empty without one.
    std::string name;
    // Where its output goes under an output directory, or beside the file
    // whatever directory the file was found in: the name when it is a
    // relative path without "..", its last part when it is absolute or goes
    // up, and "<stem>_<line>.json" (the file's stem without .jsonl and its
    // compression suffix) when there is none. A name that is not well-formed
    // UTF-8, holds a control character (a NUL, a line end) or whose last part
    // (or, for a name kept whole, any part) is empty or starts with a dot
    // (".", "a/..", ".git/x") is no file's: the line is
    // named as one without a name, and `name_unusable` is set (the name stays
    // the instance's own, as --bundle keeps it).
    std::filesystem::path relative;
    bool name_unusable = false;
};

// Fills `line.name`, `line.relative` and `line.name_unusable` from
// `line.text` and `line.number`, for a line of the file `bundle`, as the
// reader below does. Throws std::bad_alloc when memory runs out.
void name_line(const std::filesystem::path& bundle, json_line& line);

// The lines of one JSON Lines file in order, decompressed as its name says.
class json_lines_reader {
public:
    json_lines_reader() = default;
    ~json_lines_reader();
    json_lines_reader(const json_lines_reader&) = delete;
    json_lines_reader& operator=(const json_lines_reader&) = delete;

    // False with errno in `error` when the file can't be opened.
    bool open(const std::filesystem::path& path, int& error);
    // The next line that holds more than white space into `line`; false at
    // the end of the file, or when it can't be read further: failed() then
    // says why. Throws std::bad_alloc when memory runs out.
    bool next(json_line& line);
    // After next() gave false: whether reading failed, with "Can't read the
    // input file: <reason>." or the decompressor's message in `message`.
    bool failed(message_text& message) const;

private:
    bool fill();

    std::filesystem::path path_;
    int descriptor_ = -1;
    std::unique_ptr<decompressing_source> decompressed_;
    byte_source source_{};
    std::string buffer_;
    std::size_t start_ = 0, end_ = 0; // the bytes of buffer_ not yet taken
    bool ended_ = false;
    int error_ = 0;
    std::uint64_t offset_ = 0, line_ = 0;
};

// What the plan of outputs needs of a JSON Lines file before the run.
struct bundle_index {
    std::uint64_t instances = 0; // lines that hold more than white space
    struct named_line {
        std::uint64_t number;
        std::filesystem::path relative;
    };
    std::vector<named_line> named; // lines whose output goes under their name, in order
    // Lines without a name, or with one that can't be a file's: bit n - 1 set
    // for line n. Their outputs follow from their numbers.
    std::vector<std::uint64_t> unnamed;
    std::vector<std::uint64_t> unusable; // lines whose name can't be a file's
    // An archive's index (see archive_inputs.h) rather than a JSON Lines
    // file's: `named` holds its members that are inputs, by their entry's
    // number, and `refused` those that are inputs only to be named as not read.
    bool archive = false;
    std::vector<std::uint64_t> refused;

    bool is_unnamed(std::uint64_t line) const {
        const std::uint64_t bit = line - 1;
        return line != 0 && bit / 64 < unnamed.size() && ((unnamed[bit / 64] >> (bit % 64)) & 1) != 0;
    }
};

// "<stem>_<line>.json" for line `line` of the file `bundle`.
std::filesystem::path unnamed_relative(const std::filesystem::path& bundle, std::uint64_t line);

// Reads each entry of `inputs` that is a JSON Lines file (and carries no error)
// once and sets its `bundle`; a file that can't be opened gets `error`. A
// file that fails on the way (a read error, data that don't decompress) is
// indexed as far as it reads: the run then reports the failure where it
// comes. Throws std::bad_alloc when memory runs out.
void index_json_lines(std::vector<input_file>& inputs);

} // namespace converter
