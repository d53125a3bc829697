#include "instance/token_reader.h"

#include <cstdlib>

#if defined(__SSE2__) && !defined(CONVERTER_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

namespace converter {
namespace {

using detail::is_digit;
using detail::is_space;

// A line end is an LF, a CR LF or a lone CR; the byte after `at` is always
// readable (the buffer's data or its sentinel).
bool is_line_end(const char* at) { return *at == '\n' || (*at == '\r' && at[1] != '\n'); }

// Counts the line ends in [begin, end). Every byte of the input passes through
// here once, when it leaves the buffer, so that a failure can be placed without
// reading the input again; sixteen bytes a step keep that off the profile.
std::uint64_t count_line_ends(const char* begin, const char* end) {
    std::uint64_t count = 0;
#if defined(__SSE2__) && !defined(CONVERTER_PORTABLE_SCAN)
    const __m128i line_feed = _mm_set1_epi8('\n');
    const __m128i carriage_return = _mm_set1_epi8('\r');
    // An LF, or a CR whose next byte is not an LF: one lane at most a chunk.
    const auto matches = [line_feed, carriage_return](const char* bytes) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 1));
        return _mm_or_si128(_mm_cmpeq_epi8(chunk, line_feed),
                            _mm_andnot_si128(_mm_cmpeq_epi8(next, line_feed), _mm_cmpeq_epi8(chunk, carriage_return)));
    };
    const auto line_feeds = [line_feed](const char* bytes) {
        return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), line_feed);
    };
    const auto returns = [carriage_return](const char* bytes) {
        return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), carriage_return);
    };
    const auto sum = [](__m128i counters) {
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        return static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) +
               static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    };
    while (end - begin >= 64) {
        // Each byte counter gains at most 4 a step and would overflow after 63
        // steps: sum the counters before that. A run without a CR, the common
        // case, is counted by its LFs alone; one with a CR is counted again.
        const std::ptrdiff_t steps = (end - begin) / 64 < 63 ? (end - begin) / 64 : 63;
        __m128i counters = _mm_setzero_si128();
        __m128i any_return = _mm_setzero_si128();
        const char* at = begin;
        for (std::ptrdiff_t step = 0; step != steps; ++step, at += 64) {
            const __m128i pairs = _mm_add_epi8(line_feeds(at), line_feeds(at + 16));
            counters =
                _mm_sub_epi8(counters, _mm_add_epi8(pairs, _mm_add_epi8(line_feeds(at + 32), line_feeds(at + 48))));
            any_return = _mm_or_si128(any_return, _mm_or_si128(_mm_or_si128(returns(at), returns(at + 16)),
                                                               _mm_or_si128(returns(at + 32), returns(at + 48))));
        }
        if (_mm_movemask_epi8(any_return) != 0) {
            counters = _mm_setzero_si128();
            for (std::ptrdiff_t step = 0; step != steps; ++step, begin += 64) {
                const __m128i pairs = _mm_add_epi8(matches(begin), matches(begin + 16));
                counters =
                    _mm_sub_epi8(counters, _mm_add_epi8(pairs, _mm_add_epi8(matches(begin + 32), matches(begin + 48))));
            }
        }
        begin = at;
        count += sum(counters);
    }
#endif
    for (; begin != end; ++begin) count += is_line_end(begin);
    return count;
}

// The last line end in [begin, end), or nullptr.
const char* last_line_end(const char* begin, const char* end) {
    while (end != begin)
        if (is_line_end(--end)) return end;
    return nullptr;
}

} // namespace

token_reader::token_reader(byte_source source)
    : source_(source), buffer_(static_cast<char*>(std::malloc(buffer_size + slack))), next_(buffer_), end_(buffer_) {
    if (buffer_ != nullptr) std::memset(end_, 0, slack);
}

token_reader::~token_reader() { std::free(buffer_); }

// Near the end of the buffer: reads on until `lookahead` bytes follow the next
// token's start or the input has ended. Returns false if no token is left.
bool token_reader::fill_lookahead() {
    for (;;) {
        if (at_end_) return next_ != end_;
        refill(next_);
        if (!start_checked_) {
            // A UTF-8 byte-order mark, which editors on Windows write, is
            // skipped; the byte after it is column 1.
            if (end_ - buffer_ < 3 && !at_end_) continue;
            start_checked_ = true;
            if (end_ - buffer_ >= 3 && std::memcmp(buffer_, byte_order_mark, 3) == 0) {
                next_ = buffer_ + 3;
                line_start_before_buffer_ = 3;
            }
        }
        while (is_space(*next_)) ++next_;
        if (end_ - next_ >= lookahead) return true;
    }
}

// Keeps the bytes from `keep_from` on, moved to the start of the buffer, and
// reads more after them. Returns false when nothing more could be read.
bool token_reader::refill(const char* keep_from) {
    if (at_end_) return false;
    char* const begin = buffer_;
    // A CR the buffer ends in is a line end only if no LF comes next: kept
    // until the next byte is read.
    if (keep_from == end_ && keep_from != begin && keep_from[-1] == '\r') --keep_from;
    if (const char* line_end = last_line_end(begin, keep_from)) {
        line_ends_before_buffer_ += count_line_ends(begin, line_end + 1);
        line_start_before_buffer_ = offset_of(line_end + 1);
    }
    const auto kept = static_cast<std::size_t>(end_ - keep_from);
    buffer_offset_ += static_cast<std::uint64_t>(keep_from - begin);
    std::memmove(begin, keep_from, kept);
    const std::size_t count = source_.read(source_.context, begin + kept, buffer_size - kept, error_);
    next_ = begin;
    end_ = begin + kept + count;
    std::memset(end_, 0, slack);
    if (count == 0) at_end_ = true;
    return count != 0;
}

void token_reader::place(read_failure& failure, std::uint64_t offset) const {
    failure.offset = offset;
    failure.line_ends_before = line_ends_before_buffer_;
    failure.line_start = line_start_before_buffer_;
    // A token that a refill moved out of the buffer holds no line end, so the
    // bytes counted already are all before it.
    if (offset <= buffer_offset_) return;
    const std::uint64_t in_buffer = offset - buffer_offset_;
    const auto filled = static_cast<std::uint64_t>(end_ - buffer_);
    const char* const at = buffer_ + (in_buffer < filled ? in_buffer : filled);
    if (const char* line_end = last_line_end(buffer_, at)) {
        failure.line_ends_before += count_line_ends(buffer_, line_end + 1);
        failure.line_start = offset_of(line_end + 1);
    }
}

bool token_reader::fail_at_end(read_failure& failure) const {
    failure.what = error_ != 0 ? read_failure::kind::read_error : read_failure::kind::end_of_file;
    failure.system_error = error_;
    place(failure, token_offset_);
    return false;
}

void token_reader::describe_last_token(read_failure& failure) const {
    if (token_start_ == nullptr) {
        place(failure, token_offset_);
        failure.set_found(slow_token_, slow_token_size_, slow_token_cut_);
        return;
    }
    // Tokens of the fast path end inside the buffer, before the sentinel.
    place(failure, offset_of(token_start_));
    std::size_t length = 0;
    while (token_start_ + length != end_ && !is_space(token_start_[length]) && length <= read_failure::found_limit)
        ++length;
    const bool cut = length > read_failure::found_limit;
    failure.set_found(token_start_, cut ? read_failure::found_limit : length, cut);
}

bool token_reader::next_word(std::string_view& word, bool& cut, read_failure& failure) {
    while (is_space(*next_)) ++next_;
    token_start_ = nullptr;
    if (end_ - next_ < lookahead && !fill_lookahead()) {
        token_offset_ = offset();
        return fail_at_end(failure);
    }
    token_offset_ = offset_of(next_);
    slow_token_size_ = 0;
    slow_token_cut_ = false;
    for (;;) {
        for (; next_ != end_ && !is_space(*next_); ++next_) {
            if (slow_token_size_ == read_failure::found_limit) {
                slow_token_cut_ = true;
                break;
            }
            slow_token_[slow_token_size_++] = *next_;
        }
        if (slow_token_cut_ || next_ != end_ || !refill(next_)) break;
    }
    if (!slow_token_cut_ && next_ == end_ && error_ != 0) return fail_at_end(failure);
    word = {slow_token_, slow_token_size_};
    cut = slow_token_cut_;
    return true;
}

void token_reader::count_remaining(trailing_tokens& trailing, read_failure& failure) {
    bool in_token = false;
    bool in_first = false;
    char first[read_failure::found_limit];
    std::size_t first_size = 0;
    bool first_cut = false;
    do {
        for (; next_ != end_; ++next_) {
            if (is_space(*next_)) {
                in_token = in_first = false;
                continue;
            }
            if (!in_token) {
                in_token = true;
                if (trailing.count++ == 0) {
                    in_first = true;
                    place(trailing.first, offset_of(next_));
                    trailing.first_line = trailing.first.position().line;
                }
            }
            if (!in_first) continue;
            if (first_size < sizeof first)
                first[first_size++] = *next_;
            else
                first_cut = true;
        }
    } while (refill(next_));
    if (trailing.count != 0) {
        trailing.first.what = read_failure::kind::unexpected;
        trailing.first.set_found(first, first_size, first_cut);
        std::size_t digits = first_size != 0 && (first[0] == '-' || first[0] == '+') ? 1 : 0;
        const std::size_t sign = digits;
        while (digits < first_size && is_digit(first[digits])) ++digits;
        trailing.another_instance = digits == first_size && first_size > sign;
    }
    if (error_ != 0) {
        token_start_ = nullptr;
        token_offset_ = offset();
        fail_at_end(failure);
    }
}

// Handles every token the fast path does not: long ones (leading zeros),
// malformed ones and out-of-range ones, across any number of refills. A token is
// judged as soon as the verdict is sure and the quoted text is complete: at its
// end, or past the quoted bytes once it is malformed or has eleven significant
// digits. Only a token that may still turn out valid is read on.
bool token_reader::next_slowly(std::int32_t& value, read_failure& failure) {
    // The refills below may move the token's start out of the buffer.
    token_offset_ = offset_of(token_start_);
    token_start_ = nullptr;
    slow_token_size_ = 0;
    slow_token_cut_ = false;
    std::uint64_t length = 0;
    std::uint64_t digit_count = 0;
    std::uint64_t significant_digits = 0;
    std::uint64_t magnitude = 0;
    bool negative = false;
    bool malformed = false;
    bool decided = false;
    for (;;) {
        for (; next_ != end_ && !is_space(*next_); ++next_, ++length) {
            if (length >= read_failure::found_limit) {
                slow_token_cut_ = true;
                if (malformed || significant_digits > 10) {
                    decided = true;
                    break;
                }
            } else {
                slow_token_[slow_token_size_++] = *next_;
            }
            const char c = *next_;
            if (length == 0 && (c == '-' || c == '+')) {
                negative = c == '-';
            } else if (is_digit(c)) {
                ++digit_count;
                if (significant_digits != 0 || c != '0') {
                    // Eleven significant digits are already out of range.
                    if (significant_digits < 11) magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
                    ++significant_digits;
                }
            } else {
                malformed = true;
            }
        }
        if (decided || next_ != end_ || !refill(next_)) break;
    }
    if (!decided && next_ == end_ && error_ != 0) return fail_at_end(failure);
    if (malformed || digit_count == 0) {
        failure.what = read_failure::kind::not_an_integer;
    } else if (significant_digits > 10 ||
               magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0)) {
        failure.what = read_failure::kind::out_of_range;
    } else {
        value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                                   : static_cast<std::int64_t>(magnitude));
        return true;
    }
    describe_last_token(failure);
    return false;
}

} // namespace converter
