// The table of layouts: the one place that knows which layouts exist, what
// they are called, how a file in each is recognised, and which reader and
// writer serve each. Everything else asks this table.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "analysis/validation.h"
#include "instance/byte_source.h"
#include "instance/instance.h"
#include "instance/messages.h"
#include "instance/read_failure.h"
#include "layouts/output_buffer.h"

namespace converter {

struct layout_format {
    const char* name;      // as --from and --to take it: "rcp"
    const char* extension; // its files' own, with the dot: ".rcp"
    const char* title;     // in words, for --help and messages: "Patterson's layout"
    // Whether the first bytes of a file (see content_sample_size) are in this
    // layout; nullptr for rcp, the layout of whatever no other one claims.
    bool (*looks_like)(std::string_view start);
    // Reads one instance (see read_instance for the rules every reader keeps);
    // nullptr for a layout that is only written.
    read_failure (*read)(byte_source source, instance& result, trailing_tokens* trailing);
    // Whether the layout can hold `source`, the reason in `why` when not, its
    // activities named as `naming` (the input's layout) names them; nullptr
    // when it holds every instance.
    bool (*can_hold)(const instance& source, const activity_naming& naming, message_text& why);
    // nullptr for a layout that is only read.
    layout_writer write;
    // How its files number their activities, for findings in their terms.
    activity_naming naming;
    // Whether reading what it wrote gives back the very instance (sm and mm:
    // with its resources grouped by kind, as PSPLIB writes them); false for a
    // layout that drops something on the way (dzn: the dummies, which reading
    // adds back, and the order of successors), which then gives back the same
    // bytes when written again.
    bool keeps_every_value;
};

// Every layout, in the order --help lists them.
const layout_format* formats_begin();
const layout_format* formats_end();

// The layout named `name` (as --from and --to take it, without case: "JSON"
// is json), or nullptr.
const layout_format* find_format(std::string_view name);

// Whether `path`'s extension is `extension` (with its dot, in lower case),
// ASCII letters compared without case: "J301_1.SM" has ".sm".
bool has_extension(const std::filesystem::path& path, std::string_view extension);

// The layout, among those that can be read, whose extension `path` has,
// compared without case (".SM" is sm), or nullptr (for ".dot" too: a layout
// written only).
const layout_format* format_of_extension(const std::filesystem::path& path);

// How many of a file's first bytes, or its first lines, tell its layout.
inline constexpr std::size_t content_sample_size = 4096;
inline constexpr std::size_t content_sample_lines = 3;

// The layout of a file that starts with `start`: sm when its first line is of
// `*` or a PRECEDENCE RELATIONS line is among them; sch when it starts with the
// header the sch writer writes (two integers, then 0 and 0, tab-separated,
// alone on the first line) or its first lines hold integers with a `[` among
// them; rcp otherwise, so that whatever is not
// recognised gets the rcp reader's verdict.
// Only the layouts that can be read are told by content.
const layout_format& format_of_content(std::string_view start);

// Whether a file that starts with `start` is in `layout` as content tells it:
// format_of_content's verdict for a layout that can be read, its own
// looks_like for one written only (dot: "digraph" first).
bool is_written_in(const layout_format& layout, std::string_view start);

// The layout converter reads, and the one it writes; the JSON layout, which a
// set's JSON Lines file holds a line of.
const layout_format& rcp_format();
const layout_format& sch_format();
const layout_format& json_format();

} // namespace converter
