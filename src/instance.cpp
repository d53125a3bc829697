#include "instance.h"

#include "token_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter {

int_store::int_store(int_store&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

int_store& int_store::operator=(int_store&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

int_store::~int_store() { std::free(data_); }

void int_store::release() {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
}

bool int_store::reserve(std::size_t count) {
    if (count <= capacity_) return true;
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(std::int32_t)) return false;
    // realloc lets the C library extend a large block in place (mremap on Linux),
    // so growing the biggest store never needs the old and the new copy at once.
    void* grown = std::realloc(data_, count * sizeof(std::int32_t));
    if (grown == nullptr) return false;
    data_ = static_cast<std::int32_t*>(grown);
    capacity_ = count;
    return true;
}

bool int_store::grow_for(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() - size_) return false;
    const std::size_t needed = size_ + count;
    const std::size_t doubled = capacity_ < 512 ? 1024 : capacity_ * 2;
    return (doubled > needed && reserve(doubled)) || reserve(needed);
}

namespace {

using value_kind = expected_value::kind;

read_failure out_of_memory() {
    read_failure failure;
    failure.what = read_failure::kind::out_of_memory;
    return failure;
}

// Reads a run of `count` values into `store`, each minus `minus`. Returns how
// many it stored, fewer than `count` where next_values() stopped, or -1 when
// memory ran out. Values are stored in batches of at most 4096, so that a count
// the file claims but does not hold obtains no memory for itself.
std::int64_t read_run(token_reader& tokens, int_store& store, std::int64_t count, std::int32_t minus,
                      read_failure& failure) {
    std::int64_t stored_total = 0;
    while (stored_total < count) {
        const std::size_t batch = count - stored_total < 4096 ? static_cast<std::size_t>(count - stored_total) : 4096;
        std::int32_t* const slots = store.room(batch);
        if (slots == nullptr) return -1;
        const std::size_t stored = tokens.next_values(slots, batch, minus, failure);
        store.added(stored);
        stored_total += static_cast<std::int64_t>(stored);
        if (stored != batch) break;
    }
    return stored_total;
}

// Nothing is reserved for the counts the header claims: a header may claim far
// more than the file holds. The stores grow geometrically with realloc, which
// extends large blocks in place, so growing costs no copying.
read_failure read_from(token_reader& tokens, instance& result) {
    result = instance{};
    if (!tokens.ready()) return out_of_memory();
    read_failure failure;
    std::int32_t value = 0;
    // Called only on the way out, so the hot loops build no description.
    const auto expected = [&failure](value_kind what, std::int64_t activity = 0, std::int64_t number = 0) {
        failure.expected = {what, activity, number};
        return failure;
    };

    if (!tokens.next(value, failure)) return expected(value_kind::activity_count);
    const std::int32_t activity_count = result.activity_count = value;
    if (!tokens.next(value, failure)) return expected(value_kind::resource_count);
    const std::int32_t resource_count = result.resource_count = value;
    const std::int64_t resources = resource_count > 0 ? resource_count : 0;

    for (std::int64_t resource = 1; resource <= resources; ++resource) {
        if (!tokens.next(value, failure)) return expected(value_kind::capacity, 0, resource);
        if (!result.capacities.push_back(value)) return out_of_memory();
    }

    const std::int64_t successor_limit = static_cast<std::int64_t>(activity_count) * activity_count;
    std::int64_t successor_total = 0;
    for (std::int64_t activity = 1; activity <= activity_count; ++activity) {
        if (!tokens.next(value, failure)) return expected(value_kind::duration, activity);
        if (!result.durations.push_back(value)) return out_of_memory();
        const std::int64_t demands_read = read_run(tokens, result.demands, resources, 0, failure);
        if (demands_read < 0) return out_of_memory();
        if (demands_read != resources) return expected(value_kind::demand, activity, demands_read + 1);
        if (!tokens.next(value, failure)) return expected(value_kind::successor_count, activity);
        if (!result.successor_counts.push_back(value)) return out_of_memory();
        const std::int32_t successor_count = value;
        if (successor_count <= 0) continue;
        if (successor_total + successor_count > successor_limit) {
            failure.what = read_failure::kind::too_many_successors;
            tokens.describe_last_token(failure);
            failure.successor_total = successor_total + successor_count;
            failure.successor_limit = successor_limit;
            return expected(value_kind::successor_count, activity);
        }
        successor_total += successor_count;
        // Stored 0-based; only the most negative number has no 0-based form.
        const std::int64_t successors_read = read_run(tokens, result.successors, successor_count, 1, failure);
        if (successors_read < 0) return out_of_memory();
        if (successors_read != successor_count) {
            if (!failure) {
                failure.what = read_failure::kind::successor_out_of_range;
                tokens.describe_last_token(failure);
            }
            return expected(value_kind::successor, activity, successors_read + 1);
        }
    }
    return read_failure{};
}

// Reads a descriptor directly: a read returns what has arrived, so a pipe that
// stays open never holds back a verdict the bytes already allow, and the end of
// a file costs one empty read.
std::size_t read_descriptor(int descriptor, char* buffer, std::size_t capacity, int& error) {
    for (;;) {
#ifdef _WIN32
        // In text mode, as the file was opened, _read turns CR LF into LF.
        const int count = _read(descriptor, buffer, static_cast<unsigned>(capacity));
#else
        const ssize_t count = read(descriptor, buffer, capacity);
#endif
        if (count >= 0) return static_cast<std::size_t>(count);
        if (errno != EINTR) {
            error = errno != 0 ? errno : EIO;
            return 0;
        }
    }
}

std::size_t read_from_descriptor(void* context, char* buffer, std::size_t capacity, int& error) {
    return read_descriptor(*static_cast<int*>(context), buffer, capacity, error);
}

// Streams without a descriptor (memory streams) are read through fread.
std::size_t read_file(void* context, char* buffer, std::size_t capacity, int& error) {
    auto* file = static_cast<std::FILE*>(context);
#ifdef _WIN32
    const int descriptor = _fileno(file);
#else
    const int descriptor = fileno(file);
#endif
    if (descriptor >= 0) return read_descriptor(descriptor, buffer, capacity, error);
    const std::size_t count = std::fread(buffer, 1, capacity, file);
    if (count == 0 && std::ferror(file)) error = errno != 0 ? errno : EIO;
    return count;
}

struct text_cursor {
    std::string_view text;
};

std::size_t read_text(void* context, char* buffer, std::size_t capacity, int&) {
    auto* cursor = static_cast<text_cursor*>(context);
    const std::size_t count = cursor->text.size() < capacity ? cursor->text.size() : capacity;
    if (count == 0) return 0; // an empty view may have no data pointer at all
    std::memcpy(buffer, cursor->text.data(), count);
    cursor->text.remove_prefix(count);
    return count;
}

read_failure read_whole(token_reader& tokens, instance& result, trailing_tokens* trailing) {
    read_failure failure = read_from(tokens, result);
    if (!failure && trailing != nullptr) {
        *trailing = trailing_tokens{};
        tokens.count_remaining(trailing->count, trailing->first_line, failure);
    }
    return failure;
}

} // namespace

read_failure read_instance(std::FILE* input, instance& result, trailing_tokens* trailing) {
    token_reader tokens({read_file, input});
    return read_whole(tokens, result, trailing);
}

read_failure read_instance_from_descriptor(int input, instance& result, trailing_tokens* trailing) {
    token_reader tokens({read_from_descriptor, &input});
    return read_whole(tokens, result, trailing);
}

read_failure read_instance(std::string_view input, instance& result, trailing_tokens* trailing) {
    text_cursor cursor{input};
    token_reader tokens({read_text, &cursor});
    return read_whole(tokens, result, trailing);
}

} // namespace converter
