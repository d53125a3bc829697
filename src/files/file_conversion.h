// The work converter-batch does for one input it converts: into temporary
// files that replace the outputs only when complete.
#pragma once

#include <filesystem>

#include "files/input_work.h"
#include "instance/instance.h"

namespace converter {

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
// `layouts.from` is not looked at: `input` says the layout it is read in.
file_result convert_file(const input_source& input, const std::filesystem::path* outputs, instance& scratch,
                         const layout_choice& layouts);
// The same for a single layout.
inline file_result convert_file(const input_source& input, const std::filesystem::path& output, instance& scratch,
                                const layout_choice& layouts = {}) {
    return convert_file(input, &output, scratch, layouts);
}

// Whether `output` is a regular file at least as new (last write time) as
// `input` whose first bytes are in `layout` (see is_written_in), so that
// converting again can be skipped. False when either can't be examined. Never
// throws.
bool output_is_current(const std::filesystem::path& input, const std::filesystem::path& output,
                       const layout_format& layout);

// The same for standard input (its layout told by its content unless `from`
// names it), converting to standard output in `layouts.to` alone: nothing is written unless the
// whole instance has been read. A failed write of standard output gives
// "Writing standard output failed: <reason>." and `output_error`.
file_result convert_standard_streams(instance& scratch, const layout_choice& layouts = {});

// Whether `to` can hold `scratch` as read in `from`; false with "Can't write
// the sm layout: <why>." in `message`, the activities named as `from` names
// them.
bool holds(const layout_format& to, const layout_format* from, const instance& scratch, message_text& message);

} // namespace converter
