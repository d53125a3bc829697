#include "files/file_conversion.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "files/compressed_input.h"
#include "files/system_path.h"
#include "instance/byte_source.h"
#include "layouts/json_writer.h"
#include "layouts/output_buffer.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace converter {
namespace fs = std::filesystem;
namespace {

// The temporary file each thread is writing, in a slot of the thread's own, so
// that converting costs no contended lock: only an interrupt takes every slot's
// mutex (and keeps it, so that no file is renamed after it). Slots outlive their
// threads; there is one per thread that ever converted.
struct temporary_slot {
    std::mutex mutex;
    std::vector<fs::path> files; // one per layout being written; empty while the thread writes none
};

std::mutex slots_mutex;
std::deque<temporary_slot>& all_slots() {
    static std::deque<temporary_slot> slots;
    return slots;
}

temporary_slot& own_slot() {
    thread_local temporary_slot* slot = [] {
        std::lock_guard<std::mutex> lock(slots_mutex);
        return &all_slots().emplace_back();
    }();
    return *slot;
}

message_text system_message(const char* what, int error) {
    return message_text(what).append(std::strerror(error)).append(".");
}

// Descriptors rather than streams: a stream adds an allocation, a lock shared by
// all threads and, for the output, a system call, per file.
// Compressed data are read as they are, in binary mode on Windows too.
int open_for_reading(const fs::path& path, bool binary = false) {
#ifdef _WIN32
    return _wopen(system_path(path).c_str(), _O_RDONLY | (binary ? _O_BINARY : _O_TEXT));
#else
    (void)binary;
    return open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
}

int close_descriptor(int descriptor) {
#ifdef _WIN32
    return _close(descriptor);
#else
    return close(descriptor);
#endif
}

std::uint64_t size_of(int descriptor) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(descriptor, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return 0;
#else
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
#endif
    return status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// Creates a new file beside `output` (in its system spelling) for writing in
// text mode (or binary, for compressed data) and names it in `temporary`.
// Returns its descriptor, or -1 with errno set.
int create_temporary(const fs::path& output, fs::path& temporary, bool binary = false) {
    // Built from the path's own characters: a narrow copy of a wide name would
    // lose every character outside the ANSI code page on Windows.
    fs::path hidden_name(".");
    hidden_name += output.filename().native();
    const fs::path::string_type stem = (output.parent_path() / hidden_name).native();
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    static const unsigned long process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t tail[32];
        std::swprintf(tail, 32, L".%lx-%x.tmp", process, counter++);
        temporary = fs::path(stem + tail);
        // Shared for deletion, so that an interrupt can remove it while it is open.
        const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS) continue;
            errno = error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
            return -1;
        }
        const int descriptor =
            _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | (binary ? _O_BINARY : _O_TEXT));
        if (descriptor < 0) {
            CloseHandle(handle);
            DeleteFileW(temporary.c_str());
            errno = EMFILE;
        }
        return descriptor;
    }
#else
    // Opened with the mode of any new file (the umask applies), so that renaming
    // it gives the output the permissions users expect; a name taken already,
    // by a file left from another run say, is skipped.
    (void)binary;
    static const unsigned long process = static_cast<unsigned long>(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tail[48];
        std::snprintf(tail, sizeof tail, ".%lx-%x.tmp", process, counter++);
        temporary = stem + tail;
        const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
#endif
    errno = EEXIST;
    return -1;
}

void discard_temporaries(temporary_slot& slot) {
    std::lock_guard<std::mutex> lock(slot.mutex);
    std::error_code ignored;
    for (const fs::path& file : slot.files) fs::remove(file, ignored);
    slot.files.clear();
}

// Creating a file fails for these for every file of its directory alike.
bool is_directory_wide(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return true;
    default: return false;
    }
}

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
bool reads_again_in(int descriptor, const fs::path& name, const layout_format& layout) {
    if (!seek_to(descriptor, 0)) return false;
    byte_source file = descriptor_source(&descriptor);
    compression kind{};
    std::optional<decompressing_source> decompressed;
    if (compression_of(name, kind)) decompressed.emplace(kind, file);
    instance other;
    trailing_tokens tail;
    return !layout.read(decompressed ? decompressed->source() : file, other, &tail);
}

// Reads an open input in the layout `from` or, without it, in the one its name's
// extension or else its first bytes tell; fills `message` on failure. Adds the
// bytes read to `bytes_read`. Without `trailing` (a conversion, a measure),
// the whole input must be one instance: one that goes on as another instance
// does (several files joined) fails where the rest begins, so that nothing is
// dropped unsaid; with it (a check) what follows is counted there.
bool read_in_layout(int descriptor, const fs::path& name, const layout_format* from, instance& scratch,
                    message_text& message, trailing_tokens* trailing, std::uint64_t* bytes_read = nullptr,
                    const layout_format** read_as = nullptr, const input_part* part = nullptr) {
    counted_source counted{descriptor_source(&descriptor)};
    byte_source file = bytes_read != nullptr ? byte_source{counted_source::read, &counted} : counted.inner;
    // A line of a set's JSON Lines file holds one instance in the JSON layout,
    // read from memory, decompressed already.
    text_cursor line{part != nullptr ? part->text : std::string_view()};
    if (part != nullptr) {
        file = text_source(&line);
        if (!part->member) from = &json_format();
    }
    // A compressed file is read through its decompressor, and named by what
    // its compression suffix holds.
    compression kind{};
    std::optional<decompressing_source> decompressed;
    if (part == nullptr && compression_of(name, kind)) decompressed.emplace(kind, file);
    const fs::path plain_name = part != nullptr && part->member ? part->name
                                : decompressed                  ? without_compression(name)
                                                                : name;
    lookahead_source input(decompressed ? decompressed->source() : file);
    // Why the layout is the one read, for a failure's message.
    const char* chosen_by = from != nullptr ? "as --from says" : nullptr;
    if (from == nullptr && !plain_name.empty()) {
        from = format_of_extension(plain_name);
        if (from != nullptr) chosen_by = "as its extension says";
    }
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
            reads_again_in(descriptor, name, content))
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
    const auto stem = (part != nullptr ? part->name : plain_name).stem().u8string();
    scratch.source_name.assign(stem.begin(), stem.end());
    return true;
}

// "Can't write the sm layout: <why>." when the layout can't hold the instance,
// its activities named as the input's layout `from` names them.
bool holds(const layout_format& to, const layout_format* from, const instance& scratch, message_text& message) {
    message_text why;
    if (to.can_hold == nullptr || to.can_hold(scratch, from != nullptr ? from->naming : activity_naming{}, why))
        return true;
    message = message_text("Can't write the ").append(to.name).append(" layout: ").append(why.view()).append(".");
    return false;
}

int standard_output_descriptor() {
#ifdef _WIN32
    return _fileno(stdout);
#else
    return STDOUT_FILENO;
#endif
}

// A bundle is written in pieces of this size.
constexpr std::size_t held_limit = 1 << 16;

int standard_input_descriptor() {
#ifdef _WIN32
    return _fileno(stdin);
#else
    return STDIN_FILENO;
#endif
}

std::uint64_t standard_input_size() { return size_of(standard_input_descriptor()); }

// Reads the input file (or the one line of it that `part` holds) into
// `scratch`; fills `result` on failure.
bool read_file(const fs::path& input, instance& scratch, file_result& result, trailing_tokens* trailing,
               const layout_format* from, const input_part& part) {
    if (part.line != 0) {
        result.bytes_in = part.bytes;
        result.failed =
            !read_in_layout(-1, input, from, scratch, result.message, trailing, nullptr, &result.layout, &part);
        return !result.failed;
    }
    compression kind;
    const int descriptor = open_for_reading(input, compression_of(input, kind));
    if (descriptor < 0) {
        result.failed = true;
        result.message = errno == ENOMEM ? message_text("Not enough memory to open the input file.")
                                         : system_message("Can't open the input file: ", errno);
        return false;
    }
    result.bytes_in = size_of(descriptor);
    const bool read =
        read_in_layout(descriptor, input, from, scratch, result.message, trailing, nullptr, &result.layout);
    close_descriptor(descriptor);
    result.failed = !read;
    return read;
}

void validate_into(const instance& scratch, std::size_t finding_limit, const trailing_tokens& trailing,
                   file_result& result) {
    try {
        result.report = validate(scratch, finding_limit, &trailing,
                                 result.layout != nullptr ? result.layout->naming : activity_naming{});
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text("Not enough memory to validate the instance.");
    }
}

void measure_into(const instance& scratch, file_result& result) {
    try {
        result.stats = compute_stats(scratch);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text("Not enough memory to measure the instance.");
    }
}

// Writes `scratch` in `layout` to a new temporary file beside `output`, named
// last in `slot`; fills `result` on failure (the file then stays in `slot`,
// for the caller to discard).
bool write_temporary(const fs::path& output, const layout_format& layout, const instance& scratch, temporary_slot& slot,
                     file_result& result) {
    const fs::path system_output = system_path(output);
    int descriptor = -1;
    {
        // Held from the file's creation to its registration, so that an
        // interrupt finds every file that exists.
        std::lock_guard<std::mutex> lock(slot.mutex);
        slot.files.emplace_back();
        descriptor = create_temporary(system_output, slot.files.back());
        if (descriptor < 0) slot.files.pop_back();
    }
    if (descriptor < 0) {
        const int error = errno;
        result.message = system_message("Can't create the output file: ", error);
        if (is_directory_wide(error)) result.directory_error = error;
        return false;
    }
    const write_failure write = write_layout_to_descriptor(descriptor, layout.write, scratch);
    const bool written = !write;
    if (write.out_of_memory)
        result.message = message_text(out_of_memory_message);
    else if (write)
        result.message = describe_write_error(write.system_error);
    // What reached the file: on Windows, text mode adds a CR to each line end.
    const std::uint64_t size = written ? size_of(descriptor) : 0;
    // A file system may report a failed write only when the file is closed.
    const bool closed = close_descriptor(descriptor) == 0;
    if (written && !closed) result.message = describe_write_error(errno != 0 ? errno : EIO);
    if (!written || !closed) return false;
    result.bytes_out += size != 0 ? size : write.bytes_written;
    return true;
}

} // namespace

file_result convert_file(const fs::path& input, const fs::path* outputs, instance& scratch,
                         const layout_choice& layouts, const input_part& part) {
    file_result result;
    try {
        if (!read_file(input, scratch, result, nullptr, layouts.from, part)) return result;
        const std::size_t count = layouts.written_count();
        for (std::size_t index = 0; index < count; ++index)
            if (!holds(layouts.written(index), result.layout, scratch, result.message)) {
                result.failed = true;
                return result;
            }
        temporary_slot& slot = own_slot();
        for (std::size_t index = 0; index < count; ++index)
            if (!write_temporary(outputs[index], layouts.written(index), scratch, slot, result)) {
                discard_temporaries(slot);
                result.failed = true;
                result.bytes_out = 0;
                return result;
            }
        std::lock_guard<std::mutex> lock(slot.mutex);
        for (std::size_t index = 0; index < count; ++index) {
            std::error_code error;
            fs::rename(slot.files[index], system_path(outputs[index]), error);
            if (!error) continue;
            std::error_code ignored;
            for (std::size_t rest = index; rest < count; ++rest) fs::remove(slot.files[rest], ignored);
            result.failed = true;
            result.bytes_out = 0;
            result.message = message_text("Can't replace the output file: ").append(error.message()).append(".");
            if (index != 0)
                result.message.append(" The ")
                    .append(layouts.written(0).name)
                    .append(index == 1 ? " output was" : " and other outputs were")
                    .append(" written.");
            break;
        }
        slot.files.clear();
    } catch (const std::bad_alloc&) {
        discard_temporaries(own_slot());
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    }
    return result;
}

// Reads `input` and hands the instance to `then`; memory running out on the way
// (a path's system spelling allocates) is a failure like any other.
template <typename step>
file_result read_file_then(const fs::path& input, instance& scratch, trailing_tokens* trailing,
                           const layout_format* from, const input_part& part, step then) {
    file_result result;
    try {
        if (read_file(input, scratch, result, trailing, from, part)) then(result);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    }
    return result;
}

bool output_is_current(const fs::path& input, const fs::path& output, const layout_format& layout) {
    try {
        std::error_code error;
        const fs::path system_output = system_path(output);
        if (!fs::is_regular_file(system_output, error)) return false;
        const fs::file_time_type output_time = fs::last_write_time(system_output, error);
        if (error) return false;
        const fs::file_time_type input_time = fs::last_write_time(system_path(input), error);
        if (error || output_time < input_time) return false;
        int descriptor = open_for_reading(output);
        if (descriptor < 0) return false;
        lookahead_source start(descriptor_source(&descriptor));
        const bool in_layout = is_written_in(layout, start.peek(content_sample_size, content_sample_lines));
        close_descriptor(descriptor);
        return in_layout;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

file_result check_file(const fs::path& input, instance& scratch, std::size_t finding_limit, const layout_format* from,
                       const input_part& part) {
    trailing_tokens trailing;
    return read_file_then(input, scratch, &trailing, from, part,
                          [&](file_result& result) { validate_into(scratch, finding_limit, trailing, result); });
}

file_result read_instance_file(const fs::path& input, instance& scratch, const layout_format* from) {
    return read_file_then(input, scratch, nullptr, from, input_part{}, [](file_result&) {});
}

file_result measure_file(const fs::path& input, instance& scratch, const layout_format* from, const input_part& part) {
    return read_file_then(input, scratch, nullptr, from, part,
                          [&](file_result& result) { measure_into(scratch, result); });
}

// Standard input into `scratch`; its size, or what was read of a pipe, into
// bytes_in.
bool read_standard_input(const layout_format* from, instance& scratch, file_result& result, trailing_tokens* trailing) {
    result.bytes_in = standard_input_size();
    std::uint64_t bytes_read = 0;
    const bool read = read_in_layout(standard_input_descriptor(), {}, from, scratch, result.message, trailing,
                                     result.bytes_in == 0 ? &bytes_read : nullptr, &result.layout);
    if (result.bytes_in == 0) result.bytes_in = bytes_read;
    result.failed = !read;
    return read;
}

file_result measure_standard_input(instance& scratch, const layout_format* from) {
    file_result result;
    if (read_standard_input(from, scratch, result, nullptr)) measure_into(scratch, result);
    return result;
}

file_result convert_standard_streams(instance& scratch, const layout_choice& layouts) {
    file_result result;
    result.failed = !read_standard_input(layouts.from, scratch, result, nullptr) ||
                    !holds(*layouts.to, result.layout, scratch, result.message);
    if (result.failed) return result;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const write_failure written = write_layout(stdout, layouts.to->write, scratch);
    result.bytes_out = written.bytes_written;
    if (written.out_of_memory) {
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    } else if (written) {
        result.failed = true;
        result.output_error = written.system_error;
        result.message = system_message("Writing standard output failed: ", written.system_error);
    }
    return result;
}

file_result check_standard_input(instance& scratch, std::size_t finding_limit, const layout_format* from) {
    file_result result;
    trailing_tokens trailing;
    if (read_standard_input(from, scratch, result, &trailing)) validate_into(scratch, finding_limit, trailing, result);
    return result;
}

file_result bundle_file(const fs::path& input, instance& scratch, std::string_view name, const layout_format* from,
                        const input_part& part) {
    return read_file_then(input, scratch, nullptr, from, part, [&](file_result& result) {
        if (!holds(json_format(), result.layout, scratch, result.message)) {
            result.failed = true;
            return;
        }
        output_buffer buffer(append_to_string, &result.bundle_line);
        if (!buffer.ready()) throw std::bad_alloc();
        write_json_line(buffer, scratch, name);
        buffer.flush();
    });
}

bundle_output::~bundle_output() {
    if (descriptor_ >= 0 && !standard_output_) {
        close_descriptor(descriptor_);
        discard_temporaries(own_slot());
    }
}

bool bundle_output::open(const fs::path& path, message_text& message) {
    path_ = path;
    held_.reserve(held_limit);
    if (path == "-") {
        standard_output_ = true;
        descriptor_ = standard_output_descriptor();
        return true;
    }
    compression kind;
    if (compression_of(path, kind)) {
        if (!can_decompress(kind)) {
            message = message_text("Can't create the output file: this build of the program writes no xz data.");
            return false;
        }
        compressor_ = std::make_unique<compressor>(kind);
    }
    temporary_slot& slot = own_slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.files.emplace_back();
    descriptor_ = create_temporary(system_path(path), slot.files.back(), compressor_ != nullptr);
    if (descriptor_ >= 0) return true;
    message = system_message("Can't create the output file: ", errno);
    slot.files.pop_back();
    return false;
}

bool bundle_output::write_held(bool last) {
    const std::string* written = &held_;
    if (compressor_ != nullptr && error_ == 0) {
        compressed_.clear();
        if (!compressor_->compress(held_.data(), held_.size(), last, compressed_)) error_ = ENOMEM;
        written = &compressed_;
    }
    if (error_ == 0) error_ = write_all(descriptor_, written->data(), written->size());
    if (error_ == 0) bytes_ += written->size();
    held_.clear();
    return error_ == 0;
}

bool bundle_output::append(std::string_view line) {
    if (error_ != 0) return false;
    held_ += line;
    return held_.size() < held_limit || write_held();
}

bool bundle_output::finish(message_text& message) {
    const bool written = write_held(true);
    if (standard_output_) {
        if (!written) message = system_message("Writing standard output failed: ", error_);
        return written;
    }
    temporary_slot& slot = own_slot();
    const bool closed = close_descriptor(descriptor_) == 0;
    descriptor_ = -1;
    if (!written || !closed) {
        message = describe_write_error(!written ? error_ : errno != 0 ? errno : EIO);
        discard_temporaries(slot);
        return false;
    }
    std::lock_guard<std::mutex> lock(slot.mutex);
    std::error_code error;
    fs::rename(slot.files.back(), system_path(path_), error);
    if (error) {
        std::error_code ignored;
        fs::remove(slot.files.back(), ignored);
        message = message_text("Can't replace the output file: ").append(error.message()).append(".");
    }
    slot.files.pop_back();
    return !error;
}

void remove_temporary_files_for_exit() {
    // Never unlocked: no conversion may create or rename a file after this.
    slots_mutex.lock();
    std::error_code ignored;
    for (temporary_slot& slot : all_slots()) {
        slot.mutex.lock();
        for (const fs::path& file : slot.files) fs::remove(file, ignored);
    }
}

} // namespace converter
