#include "files/instance_reading.h"

#include <cerrno>
#include <optional>

#include "files/compressed_input.h"
#include "files/file_access.h"
#include "files/file_conversion.h"
#include "instance/byte_source.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter {
namespace fs = std::filesystem;
namespace {

// What a source hands on, counted: the size of an input that is a pipe.
struct counted_source {
    byte_source inner;
    std::uint64_t bytes = 0;
    static std::size_t read(void* context, char* buffer, std::size_t capacity, int& error) {
        auto* self = static_cast<counted_source*>(context);
        const std::size_t count = self->inner.read(self->inner.context, buffer, capacity, error);
        self->bytes += count;
        return count;
    }
};

bool seek_to(int descriptor, std::uint64_t offset) {
#ifdef _WIN32
    return _lseeki64(descriptor, static_cast<__int64>(offset), SEEK_SET) >= 0;
#else
    return lseek(descriptor, static_cast<off_t>(offset), SEEK_SET) >= 0;
#endif
}

// Whether the input open as `descriptor` (from the start of its file, or of
// `part`) reads in `layout`: for a hint, after a read in another layout
// failed. False when it can't be read again from there (a pipe).
bool reads_again_in(int descriptor, const input_source& source, const layout_format& layout) {
    if (!seek_to(descriptor, 0)) return false;
    byte_source file = descriptor_source(&descriptor);
    std::optional<decompressing_source> decompressed;
    if (source.compressed) decompressed.emplace(source.kind, file);
    instance other;
    trailing_tokens tail;
    return !layout.read(decompressed ? decompressed->source() : file, other, &tail);
}

// Reads an open input (or the line or member `source` holds) in its layout or, without
// one, in the one its first bytes tell; fills `message` on failure. Adds the
// bytes read to `bytes_read`. Without `trailing` (a conversion, a measure),
// the whole input must be one instance: one that goes on as another instance
// does (several files joined) fails where the rest begins, so that nothing is
// dropped unsaid; with it (a check) what follows is counted there.
bool read_in_layout(int descriptor, const input_source& source, instance& scratch, message_text& message,
                    trailing_tokens* trailing, std::uint64_t* bytes_read, const layout_format** read_as) {
    counted_source counted{descriptor_source(&descriptor)};
    byte_source file = bytes_read != nullptr ? byte_source{counted_source::read, &counted} : counted.inner;
    // A line of a JSON Lines file or an archive's member is read from memory,
    // decompressed already.
    const input_part* const part = source.part.line != 0 ? &source.part : nullptr;
    text_cursor line{source.part.text};
    if (part != nullptr) file = text_source(&line);
    std::optional<decompressing_source> decompressed;
    if (part == nullptr && source.compressed) decompressed.emplace(source.kind, file);
    lookahead_source input(decompressed ? decompressed->source() : file);
    const layout_format* from = source.layout;
    const char* const chosen_by = source.chosen_by;
    // The first bytes stay readable after the read, for a failure's message.
    const std::string_view start = input.peek(content_sample_size, content_sample_lines);
    if (from == nullptr) from = &format_of_content(start);
    if (read_as != nullptr) *read_as = from;
    trailing_tokens tail;
    const read_failure failure = from->read(input.source(), scratch, trailing != nullptr ? trailing : &tail);
    if (bytes_read != nullptr) *bytes_read += counted.bytes;
    if (failure) {
        if (decompressed && decompressed->failed(message)) return false;
        if (part != nullptr && !part->member && failure.has_offset()) {
            // Placed in the whole file, not in the line.
            read_failure placed = failure;
            placed.line_ends_before += part->line - 1;
            placed.offset += part->offset;
            placed.line_start += part->offset;
            message = describe(placed);
            return false;
        }
        message = describe(failure);
        // Nothing at all is said so, rather than as a value missing.
        if (failure.what == read_failure::kind::end_of_file && failure.offset == 0) {
            const message_text said = message;
            message = message_text(said.view().substr(0, said.view().size() - 1));
            message.append(": the file is empty.");
            return false;
        }
        // A file in another layout than its name (or --from) says: say so,
        // and how to read it. rcp, what content tells when nothing else
        // fits, is no sign of another layout; nor is a layout of the same
        // reader (sm and mm). The hint is given only when the other reader
        // reads the file, so it never sends the user from one refusal to another.
        const layout_format& content = chosen_by != nullptr ? format_of_content(start) : *from;
        if (part == nullptr && &content != from && &content != &rcp_format() && content.read != from->read &&
            reads_again_in(descriptor, source, content))
            message.append(" Read as ")
                .append(from->name)
                .append(", ")
                .append(chosen_by)
                .append("; its content looks like ")
                .append(content.name)
                .append(": use --from ")
                .append(content.name)
                .append(".");
        return false;
    }
    // A reader may stop before the data's end (a check counts what follows
    // only so far): what it left must still decompress.
    if (decompressed && decompressed->failed(message)) return false;
    if (trailing == nullptr && part == nullptr && tail.count != 0 && tail.another_instance) {
        read_failure rest = tail.first;
        rest.expected = {{}, 0, 0, "the end of the file after the last activity"};
        rest.reason = "the start of another instance: one instance per file";
        message = describe(rest);
        return false;
    }
    // A line is named by what it holds, not by the file's stem.
    const auto stem = source.plain_name.stem().u8string();
    scratch.source_name.assign(stem.begin(), stem.end());
    return true;
}

} // namespace

namespace {

// The layout `source` is read in, from `from` or else its plain name's
// extension, and why.
void choose_layout(input_source& source, const layout_format* from) {
    if (!source.plain_name.empty()) source.named_layout = format_of_extension(source.plain_name);
    if (from != nullptr) {
        source.layout = from;
        source.chosen_by = "as --from says";
    } else if (source.named_layout != nullptr) {
        source.layout = source.named_layout;
        source.chosen_by = "as its extension says";
    }
}

} // namespace

input_source resolve_source(const fs::path& path, const layout_format* from) {
    input_source source;
    source.path = path;
    source.compressed = !path.empty() && compression_of(path, source.kind);
    source.plain_name = source.compressed ? without_compression(path) : path;
    choose_layout(source, from);
    return source;
}

input_source line_source(const fs::path& path, const input_part& line) {
    input_source source;
    source.path = path;
    source.part = line;
    source.plain_name = line.name;
    source.layout = &json_format();
    source.chosen_by = "as --from says";
    return source;
}

// A member's bytes are taken as they are: a compression suffix of its name
// tells no layout.
input_source member_source(const fs::path& path, const input_part& member, const layout_format* from) {
    input_source source;
    source.path = path;
    source.part = member;
    source.part.member = true;
    source.plain_name = member.name;
    choose_layout(source, from);
    return source;
}

bool read_file(const input_source& source, instance& scratch, file_result& result, trailing_tokens* trailing) {
    if (source.part.line != 0) {
        result.bytes_in = source.part.bytes;
        result.failed = !read_in_layout(-1, source, scratch, result.message, trailing, nullptr, &result.layout);
        return !result.failed;
    }
    const int descriptor = open_for_reading(source.path, source.compressed);
    if (descriptor < 0) {
        result.failed = true;
        result.message = errno == ENOMEM ? message_text("Not enough memory to open the input file.")
                                         : system_message("Can't open the input file: ", errno);
        return false;
    }
    result.bytes_in = size_of(descriptor);
    const bool read = read_in_layout(descriptor, source, scratch, result.message, trailing, nullptr, &result.layout);
    close_descriptor(descriptor);
    result.failed = !read;
    return read;
}

bool read_standard_input(const layout_format* from, instance& scratch, file_result& result, trailing_tokens* trailing) {
    result.bytes_in = standard_input_size();
    std::uint64_t bytes_read = 0;
    const bool read = read_in_layout(standard_input_descriptor(), resolve_source({}, from), scratch, result.message,
                                     trailing, result.bytes_in == 0 ? &bytes_read : nullptr, &result.layout);
    if (result.bytes_in == 0) result.bytes_in = bytes_read;
    result.failed = !read;
    return read;
}

} // namespace converter
