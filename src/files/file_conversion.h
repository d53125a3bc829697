// The work converter-batch does for one file: convert it into a temporary file
// that replaces the output only when complete, or read and validate it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/instance_stats.h"
#include "analysis/validation.h"
#include "files/compressed_input.h"
#include "instance/instance.h"
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

// A part of a file read as a whole input: a line of a JSON Lines file (see
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

// Converts `input` to `outputs`, one path per layout `layouts` writes (see
// layout_choice::written), each in an existing directory. Each output is
// written to a new temporary file beside it (named "." + its name + a random
// tail, so that listings skip it); only once every layout is written, flushed
// and closed are they renamed over the outputs: a failure leaves no temporary
// file and the existing outputs untouched (but for a rename failing after
// others succeeded, which the message then names). The new outputs get the
// permissions a newly created file gets. The input is opened in text mode and
// the outputs written in text mode, as converter does (CR LF on Windows).
// An instance one of the layouts can't hold fails with "Can't write the sm
// layout: <reason>." and nothing is written; so does an input that goes on
// after its last activity as another instance starts (several joined into one
// file), with the invalid-input message at the place where the rest begins.
// `scratch` holds the instance meanwhile, so that one worker reuses its
// memory. Never throws.
file_result convert_file(const std::filesystem::path& input, const std::filesystem::path* outputs, instance& scratch,
                         const layout_choice& layouts, const input_part& part = {});
// The same for a single layout.
inline file_result convert_file(const std::filesystem::path& input, const std::filesystem::path& output,
                                instance& scratch, const layout_choice& layouts = {}) {
    return convert_file(input, &output, scratch, layouts);
}

// Whether `output` is a regular file at least as new (last write time) as
// `input` whose first bytes are in `layout` (see is_written_in), so that
// converting again can be skipped. False when either can't be examined. Never
// throws.
bool output_is_current(const std::filesystem::path& input, const std::filesystem::path& output,
                       const layout_format& layout);

// Reads `input` with the same reader, counting what follows the instance, and
// when it reads, validates it, keeping the first `finding_limit` findings.
// Never throws.
file_result check_file(const std::filesystem::path& input, instance& scratch, std::size_t finding_limit,
                       const layout_format* from = nullptr, const input_part& part = {});

// Reads `input` with the same reader into `scratch`, its layout in `layout`.
// Never throws.
file_result read_instance_file(const std::filesystem::path& input, instance& scratch,
                               const layout_format* from = nullptr);

// Reads `input` with the same reader and, when it reads, computes its measures.
// Never throws.
file_result measure_file(const std::filesystem::path& input, instance& scratch, const layout_format* from = nullptr,
                         const input_part& part = {});

// The same for standard input (its layout told by its content unless `from`
// names it), converting to standard output in `layouts.to` alone: nothing is written unless the
// whole instance has been read. A failed write of standard output gives
// "Writing standard output failed: <reason>." and `output_error`.
file_result convert_standard_streams(instance& scratch, const layout_choice& layouts = {});
file_result check_standard_input(instance& scratch, std::size_t finding_limit, const layout_format* from = nullptr);
file_result measure_standard_input(instance& scratch, const layout_format* from = nullptr);

// Reads `input` with the same reader and, when it reads and the JSON layout
// can hold it, puts it in `bundle_line` as write_json_line writes it, named
// `name`. Never throws.
file_result bundle_file(const std::filesystem::path& input, instance& scratch, std::string_view name,
                        const layout_format* from = nullptr, const input_part& part = {});

// The JSON Lines file of a whole run (--bundle), written as the lines come: into
// a temporary file beside `path` that finish() renames over it, so that a failed
// or interrupted run leaves no file and an existing one untouched; or, for "-",
// straight to standard output. In text mode, as every output (CR LF on Windows),
// but for a file named .gz or .xz, which is written compressed (gzip or xz, as
// those programs write by default) and in binary mode, with LF line ends.
class bundle_output {
public:
    bundle_output() = default;
    bundle_output(const bundle_output&) = delete;
    bundle_output& operator=(const bundle_output&) = delete;
    // Removes the temporary file unless finish() renamed it.
    ~bundle_output();

    // False with "Can't create the output file: <reason>." in `message`.
    bool open(const std::filesystem::path& path, message_text& message);
    // Takes one line (its line end included); false once a write has failed.
    bool append(std::string_view line);
    // Writes out what is held, closes and renames; false with "Writing the
    // output file failed: <reason>." or "Can't replace the output file:
    // <reason>." in `message`, and no file left.
    bool finish(message_text& message);
    // The bytes handed to the file so far (before CR LF on Windows; once
    // compressed for a compressed file).
    std::uint64_t bytes() const { return bytes_; }

private:
    bool write_held(bool last = false);

    std::filesystem::path path_;
    int descriptor_ = -1;
    bool standard_output_ = false;
    int error_ = 0;
    std::uint64_t bytes_ = 0;
    std::string held_;
    std::unique_ptr<compressor> compressor_; // for a .gz or .xz file
    std::string compressed_;
};

// For an interrupt: removes every temporary file that a conversion still holds
// and keeps any conversion from renaming one afterwards (conversions that get
// that far wait for good). Call it only on the way out of the process. Safe to
// call from any thread, not from a signal handler.
void remove_temporary_files_for_exit();

} // namespace converter
