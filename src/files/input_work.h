// What the work on one input shares, whatever the job: the layouts read and
// written, the line or member of a file an input may be, and the result
// reported.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/instance_stats.h"
#include "analysis/validation.h"
#include "files/compressed_input.h"
#include "instance/messages.h"
#include "layouts/formats.h"

namespace converter {

// The layouts a file is read in and written in.
struct layout_choice {
    // nullptr: each input's by its extension (see format_of_extension), else by
    // its content (format_of_content).
    const layout_format* from = nullptr;
    const layout_format* to = &sch_format(); // must have a writer
    // Further layouts each input is written in as well, from the same read
    // (--to dzn,json); each must have a writer.
    std::vector<const layout_format*> also_to;

    std::size_t written_count() const { return 1 + also_to.size(); }
    // The `index`th layout written: `to`, then `also_to` in order.
    const layout_format& written(std::size_t index) const { return index == 0 ? *to : *also_to[index - 1]; }
};

// A line or member of a file read as a whole input: a line of a JSON Lines file (see
// json_lines.h), read from `text` in the JSON layout whatever --from says,
// its bytes_in the line's with its line end, a failure placed in the whole
// file.
// Or a member of an archive (`member`), read from `text` in the layout its
// own name's extension (or --from, or its content) says, a failure placed
// within the member.
struct input_part {
    std::uint64_t line = 0;   // counted from 1; 0: the whole file
    std::uint64_t offset = 0; // of the line's first byte in the file
    std::uint64_t bytes = 0;
    std::string_view text;      // the line
    std::filesystem::path name; // the instance's own name, which the line gives; a member's path
    bool member = false;
};

// One input as it is read, resolved once, when the plan is made: where its
// bytes come from, how they are decompressed, the layout they are read in
// and why, and the name its extension and stem are taken from.
struct input_source {
    // The file the bytes are in, or the one holding `part`; empty for
    // standard input.
    std::filesystem::path path;
    input_part part; // line 0: the whole file
    // Decompressed as read, as the name's suffix says (never a part, whose
    // bytes are plain already).
    bool compressed = false;
    compression kind = compression::gzip;
    // The name without its compression suffix (a line's held name, a
    // member's path in its archive): its extension tells the layout, its
    // stem names the instance.
    std::filesystem::path plain_name;
    const layout_format* layout = nullptr;       // nullptr: told by the first bytes
    const char* chosen_by = nullptr;             // with `layout`: "as --from says", "as its extension says"
    const layout_format* named_layout = nullptr; // the one the extension names, whatever --from says
};

// A file named `path` (empty: standard input), read in `from` or else as its
// extension says.
input_source resolve_source(const std::filesystem::path& path, const layout_format* from = nullptr);
// Line `line` of the JSON Lines file `path`: in the JSON layout whatever
// --from says.
input_source line_source(const std::filesystem::path& path, const input_part& line);
// Member `member` of the archive `path`: in `from` or else as its own name's
// extension says.
input_source member_source(const std::filesystem::path& path, const input_part& member, const layout_format* from);

struct file_result {
    bool failed = false;
    bool skipped = false;        // not converted: its output is current (set by the caller)
    message_text message;        // why it failed, worded as converter words the same cause
    std::uint64_t bytes_in = 0;  // the input's size when it was opened and is a regular file, whatever the result
    std::uint64_t bytes_out = 0; // the size of the output kept (as it is on disk: CR LF on Windows); 0 on failure
    // When the output file could not even be created for a reason that holds
    // for its whole directory (no permission, a read-only or full file system,
    // a missing directory): the system's errno, the directory being the output's
    // parent. 0 otherwise.
    int directory_error = 0;
    std::filesystem::path failed_directory = {}; // with directory_error: the output's parent (set by the caller)
    // convert_standard_streams only: the errno of a failed write of standard
    // output, 0 otherwise.
    int output_error = 0;
    const layout_format* layout = nullptr; // the layout the input was read in, once known
    validation_report report;              // check_file only
    std::string bundle_line;               // bundle_file only: the instance as one line of JSON Lines
    instance_stats stats;                  // measure_file only
};

} // namespace converter
