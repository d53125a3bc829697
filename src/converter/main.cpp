// The console driver: asks for the two paths, opens the files, converts, and is
// the only place that talks to the user or decides the exit status.
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "files/conversion.h"
#include "files/file_identity.h"

namespace {

constexpr std::size_t path_capacity = 200; // 199 characters and the NUL

// Messages end without a line end, like the two that users already know. Nothing
// on the way to the user allocates memory, so running out of it is reported too.
int fail(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
    return 1;
}

void prompt(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout); // also when stdout is a pipe, where it is fully buffered
}

enum class answer { given, missing, too_long, has_nul };

// Reads one white-space-delimited token, as "%s" would, but never more than the
// buffer holds: a longer token is refused rather than cut into another path.
answer read_answer(char (&path)[path_capacity]) {
    const auto is_space = [](int c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    int c = std::getchar();
    while (c != EOF && is_space(c)) c = std::getchar();
    if (c == EOF) return answer::missing;
    std::size_t length = 0;
    for (; c != EOF && !is_space(c); c = std::getchar()) {
        if (length == path_capacity - 1) return answer::too_long;
        if (c == '\0') return answer::has_nul;
        path[length++] = static_cast<char>(c);
    }
    path[length] = '\0';
    return answer::given;
}

const char* refusal(answer result) {
    switch (result) {
    case answer::missing: return "No path given: standard input ended.";
    case answer::too_long: return "Path too long: a path can have at most 199 characters.";
    case answer::has_nul: return "A path can't contain a NUL character.";
    case answer::given: break;
    }
    return "";
}

} // namespace

int main() {
    char input_path[path_capacity];
    char output_path[path_capacity];

    prompt("Enter input path\n");
    if (const answer result = read_answer(input_path); result != answer::given) return fail(refusal(result));
    prompt("Enter output path\n");
    if (const answer result = read_answer(output_path); result != answer::given) return fail(refusal(result));

    std::FILE* const input = std::fopen(input_path, "r");
    if (input == nullptr && errno == ENOMEM) return fail("Not enough memory to open the input file.");
    if (input == nullptr || converter::is_directory(input)) return fail("Couldn't read input file. Check path.");
    // Opening the output empties it, so a pair that names one file twice would
    // destroy the input before it is read.
    if (converter::is_same_file(input, output_path))
        return fail("The input and output paths name the same file. Choose another output path.");
    // A FIFO opened for reading too never waits for its reader, and what is
    // written into it is lost when the program ends; opened for writing only,
    // it waits for its reader as any writer does.
    std::FILE* const output = std::fopen(output_path, converter::is_fifo(output_path) ? "w" : "w+");
    if (output == nullptr && errno == ENOMEM) return fail("Not enough memory to open the output file.");
    if (output == nullptr) return fail("Couln't write output file. Check path.");
    converter::instance instance;
    converter::message_text message;
    std::uint64_t bytes_written = 0;
    if (!converter::read_stream(input, instance, message)) return fail(message.c_str());
    std::fclose(input);
    if (!converter::write_stream(output, instance, message, bytes_written) || !converter::close_output(output, message))
        return fail(message.c_str());
    return 0;
}
