#include "instance/messages.h"

#include <cstring>

namespace converter {

message_text& message_text::append(std::string_view text) {
    const std::size_t room = capacity - size_;
    const std::size_t count = text.size() < room ? text.size() : room;
    if (count != 0) std::memcpy(text_ + size_, text.data(), count);
    size_ += count;
    text_[size_] = '\0';
    return *this;
}

message_text& message_text::append_number(std::int64_t number) {
    char digits[24];
    char* cursor = digits + sizeof digits;
    // Negated in unsigned arithmetic, where the most negative value has a magnitude.
    std::uint64_t magnitude = number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    do {
        *--cursor = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) *--cursor = '-';
    return append({cursor, static_cast<std::size_t>(digits + sizeof digits - cursor)});
}

message_text& message_text::append_quoted(std::string_view bytes, bool cut) {
    static const char hex[] = "0123456789abcdef";
    append("\"");
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            const char escaped[] = {'\\', c};
            append({escaped, 2});
        } else if (byte < 0x20 || byte >= 0x7f) {
            const char escaped[] = {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
            append({escaped, 4});
        } else {
            append({&c, 1});
        }
    }
    if (cut) append("...");
    return append("\"");
}

namespace {

void append_phrase(message_text& message, const expected_value& expected) {
    for (const char* text = expected.phrase; *text != '\0';) {
        if (text[0] == '{' && (text[1] == 'a' || text[1] == 'n') && text[2] == '}') {
            message.append_number(text[1] == 'a' ? expected.activity : expected.number);
            text += 3;
            continue;
        }
        // "{|row|rows}": the word that `number` takes.
        if (text[0] == '{' && text[1] == '|') {
            const char* const singular = text + 2;
            const char* const bar = std::strchr(singular, '|');
            const char* const close = bar != nullptr ? std::strchr(bar, '}') : nullptr;
            if (close != nullptr) {
                if (expected.number == 1)
                    message.append({singular, static_cast<std::size_t>(bar - singular)});
                else
                    message.append({bar + 1, static_cast<std::size_t>(close - bar - 1)});
                text = close + 1;
                continue;
            }
        }
        const char* end = text + 1;
        while (*end != '\0' && *end != '{') ++end;
        message.append({text, static_cast<std::size_t>(end - text)});
        text = end;
    }
}

void append_expected(message_text& message, const expected_value& expected) {
    using value_kind = expected_value::kind;
    if (expected.phrase != nullptr) {
        append_phrase(message, expected);
        return;
    }
    switch (expected.what) {
    case value_kind::activity_count: message.append("the activity count"); return;
    case value_kind::resource_count: message.append("the resource count"); return;
    case value_kind::capacity: message.append("the capacity of resource ").append_number(expected.number); return;
    case value_kind::duration: message.append("the duration of activity ").append_number(expected.activity); return;
    case value_kind::demand:
        message.append("the demand of activity ")
            .append_number(expected.activity)
            .append(" for resource ")
            .append_number(expected.number);
        return;
    case value_kind::successor_count:
        message.append("the successor count of activity ").append_number(expected.activity);
        return;
    case value_kind::successor:
        message.append("successor ")
            .append_number(expected.number)
            .append(" of activity ")
            .append_number(expected.activity);
        return;
    }
}

} // namespace

message_text describe(const read_failure& failure) {
    using kind = read_failure::kind;
    message_text message;
    switch (failure.what) {
    case kind::none: return message;
    case kind::out_of_memory: return message_text(out_of_memory_message);
    case kind::read_error:
        return message.append("Reading the input file failed: ")
            .append(std::strerror(failure.system_error))
            .append(".");
    default: break;
    }
    const text_position position = failure.position();
    message.append("Invalid input at line ")
        .append_number(static_cast<std::int64_t>(position.line))
        .append(", column ")
        .append_number(static_cast<std::int64_t>(position.column))
        .append(": expected ");
    append_expected(message, failure.expected);
    message.append(", found ");
    switch (failure.what) {
    case kind::end_of_file: message.append("the end of the file"); break;
    case kind::end_of_line: message.append("the end of the line"); break;
    case kind::unexpected:
        message.append_quoted(failure.found_text(), failure.found_cut);
        if (failure.reason != nullptr) message.append(", ").append(failure.reason);
        break;
    case kind::not_an_integer:
        message.append_quoted(failure.found_text(), failure.found_cut).append(", which is not an integer");
        break;
    case kind::out_of_range:
        message.append_quoted(failure.found_text(), failure.found_cut)
            .append(", which is outside the signed 32-bit range");
        break;
    case kind::successor_out_of_range:
        message.append_quoted(failure.found_text(), failure.found_cut)
            .append(", whose 0-based number is outside the signed 32-bit range");
        break;
    case kind::too_many_successors:
        message.append_quoted(failure.found_text(), failure.found_cut)
            .append(", which brings the successor total to ")
            .append_number(failure.successor_total)
            .append(", more than ")
            .append_number(failure.successor_limit)
            .append(" (the activity count squared)");
        break;
    default: break;
    }
    return message.append(".");
}

message_text describe_write_error(int system_error) {
    return message_text("Writing the output file failed: ").append(std::strerror(system_error)).append(".");
}

} // namespace converter
