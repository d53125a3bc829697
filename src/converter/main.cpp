// The console driver: asks for the two paths (or takes them as arguments), opens
// the files, converts, and is the only place that talks to the user or decides
// the exit status.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "files/conversion.h"
#include "files/file_identity.h"
#include "layouts/formats.h"

#ifndef CONVERTER_VERSION
#define CONVERTER_VERSION "unknown"
#endif

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

constexpr char usage[] =
    "Usage: converter [INPUT OUTPUT]\n"
    "Converts one project-scheduling instance from Patterson's layout (whitespace-separated integers) into\n"
    "the tab-separated layout. Without arguments it asks for the two paths; with them it converts at once.\n"
    "A failure prints one message on standard output and exits with status 1. converter-batch converts,\n"
    "checks and measures whole sets, in more layouts.\n";

// After an invalid-input message: a file that looks like another layout gets
// the way to read it, when its first bytes can be read again.
void name_the_layout(std::FILE* input, converter::message_text& message) {
    if (std::strncmp(message.c_str(), "Invalid input", 13) != 0 || std::fseek(input, 0, SEEK_SET) != 0) return;
    char start[converter::content_sample_size];
    const std::size_t size = std::fread(start, 1, sizeof start, input);
    const converter::layout_format& layout = converter::format_of_content({start, size});
    if (&layout == &converter::rcp_format()) return;
    message.append(" It looks like ")
        .append(layout.title)
        .append(" (")
        .append(layout.name)
        .append("): converter reads Patterson's layout; converter-batch --from ")
        .append(layout.name)
        .append(" reads this one.");
}

int convert(const char* input_path, const char* output_path) {
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
    if (!converter::read_stream(input, instance, message)) {
        name_the_layout(input, message);
        return fail(message.c_str());
    }
    std::fclose(input);
    if (!converter::write_stream(output, instance, message, bytes_written) || !converter::close_output(output, message))
        return fail(message.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("converter " CONVERTER_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 1;
    }
    if (argc == 3) return convert(argv[1], argv[2]);
    if (argc != 1) {
        std::fputs("converter: give both paths, INPUT and OUTPUT, or none to be asked for them.\n", stderr);
        std::fputs(usage, stderr);
        return 2;
    }
    char input_path[path_capacity];
    char output_path[path_capacity];

    prompt("Enter input path\n");
    if (const answer result = read_answer(input_path); result != answer::given) return fail(refusal(result));
    prompt("Enter output path\n");
    if (const answer result = read_answer(output_path); result != answer::given) return fail(refusal(result));
    return convert(input_path, output_path);
}
