// Compressed inputs and several layouts written from one read.
#include <gtest/gtest.h>

#include <lzma.h>
#include <zlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/compressed_input.h"
#include "files/file_check.h"
#include "files/file_conversion.h"
#include "files/output_plan.h"
#include "test_files.h"

namespace converter {
namespace {
namespace fs = std::filesystem;

std::string gzip(const std::string& text) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string xz(const std::string& text) {
    std::string out(lzma_stream_buffer_bound(text.size()), '\0');
    std::size_t size = 0;
    EXPECT_EQ(lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(text.data()),
                                      text.size(), reinterpret_cast<std::uint8_t*>(out.data()), &size, out.size()),
              LZMA_OK);
    out.resize(size);
    return out;
}

// `data` (one xz stream) with the dictionary its first block's header asks
// for set to 4 GiB, the header's check made anew: what a hostile file
// would ask a decoder to allocate.
std::string with_huge_dictionary(std::string data) {
    const std::size_t header = 12;
    const std::size_t header_size = (static_cast<unsigned char>(data[header]) + 1u) * 4u;
    const auto flags = static_cast<unsigned char>(data[header + 1]);
    std::size_t at = header + 2;
    const auto skip_number = [&] {
        while (static_cast<unsigned char>(data[at++]) & 0x80) {
        }
    };
    if (flags & 0x40) skip_number(); // the compressed size
    if (flags & 0x80) skip_number(); // the uncompressed size
    EXPECT_EQ(data[at], 0x21);       // LZMA2, its one property the dictionary size
    data[at + 2] = 40;
    const uLong check =
        crc32(0, reinterpret_cast<const Bytef*>(data.data() + header), static_cast<uInt>(header_size - 4));
    for (std::size_t byte = 0; byte < 4; ++byte)
        data[header + header_size - 4 + byte] = static_cast<char>((check >> (8 * byte)) & 0xff);
    return data;
}

// Reads all of `data` through a decompressor, in reads of `chunk` bytes.
std::string decompressed(compression kind, const std::string& data, std::size_t chunk, message_text& fault) {
    text_cursor cursor{data};
    decompressing_source source(kind, text_source(&cursor));
    std::string out;
    std::vector<char> buffer(chunk);
    int error = 0;
    for (std::size_t count; (count = source.source().read(source.source().context, buffer.data(), chunk, error)) != 0;)
        out.append(buffer.data(), count);
    if (!source.failed(fault)) fault = message_text(error == 0 ? "" : "error without a fault");
    return out;
}

TEST(decompressing_source, gives_the_data_back_or_says_what_is_wrong) {
    std::string text;
    for (int line = 0; line < 20000; ++line) text += std::to_string(line * 7919 % 10007) + " 1 2 3\n";
    const std::string gzipped = gzip(text), xzed = xz(text);
    std::string corrupt_gzip = gzipped, corrupt_xz = xzed;
    corrupt_gzip[gzipped.size() / 2] = static_cast<char>(corrupt_gzip[gzipped.size() / 2] ^ 0x55);
    corrupt_xz[xzed.size() / 2] = static_cast<char>(corrupt_xz[xzed.size() / 2] ^ 0x55);
    const struct {
        const char* name;
        compression kind;
        std::string data;
        std::string expected_text; // what comes out before the end or the fault
        std::string fault;
    } cases[] = {
        {"gzip", compression::gzip, gzipped, text, ""},
        {"gzip members joined", compression::gzip, gzipped + gzip("x\n"), text + "x\n", ""},
        {"xz", compression::xz, xzed, text, ""},
        {"xz streams joined", compression::xz, xzed + xz("x\n"), text + "x\n", ""},
        {"empty gzip", compression::gzip, "", "", "Can't decompress the input file: the file is empty, not gzip data."},
        {"empty xz", compression::xz, "", "", "Can't decompress the input file: the file is empty, not xz data."},
        {"plain text as gzip", compression::gzip, "3 0\n", "",
         "Can't decompress the input file: the file is not gzip data."},
        {"plain text as xz", compression::xz, "3 0\n", "", "Can't decompress the input file: the file is not xz data."},
        {"gzip cut short", compression::gzip, gzipped.substr(0, 100), text,
         "Can't decompress the input file: the gzip data is cut short at byte 100."},
        {"xz cut short", compression::xz, xzed.substr(0, 100), text,
         "Can't decompress the input file: the xz data is cut short at byte 100."},
        {"gzip then other bytes", compression::gzip, gzipped + "junk", text,
         "Can't decompress the input file: the data after a gzip member are not gzip data at byte " +
             std::to_string(gzipped.size()) + "."},
        {"gzip members then other bytes", compression::gzip, gzipped + gzip("x\n") + "junk", text + "x\n",
         "Can't decompress the input file: the data after a gzip member are not gzip data at byte " +
             std::to_string(gzipped.size() + gzip("x\n").size()) + "."},
        {"xz asking for a 4 GiB dictionary", compression::xz, with_huge_dictionary(xz("x\n")), "",
         "Can't decompress the input file: the xz data needs more than 128 MiB of memory to decompress (xz -9 needs "
         "65 MiB) at byte 24."},
    };
    for (const auto& expected : cases) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{4096}, std::size_t{1} << 20}) {
            SCOPED_TRACE(std::string(expected.name) + ", reads of " + std::to_string(chunk));
            message_text fault;
            const std::string out = decompressed(expected.kind, expected.data, chunk, fault);
            EXPECT_EQ(fault.view(), expected.fault);
            // Cut short, the data give a part of the text first.
            if (expected.fault.empty())
                EXPECT_EQ(out, expected.expected_text);
            else
                EXPECT_EQ(out, expected.expected_text.substr(0, out.size()));
        }
    }
    // Corrupt data: a fault (what came before it may be wrong already: gzip's
    // check comes at the member's end).
    for (const auto& [kind, data] :
         {std::pair{compression::gzip, corrupt_gzip}, std::pair{compression::xz, corrupt_xz}}) {
        message_text fault;
        const std::string out = decompressed(kind, data, 4096, fault);
        EXPECT_NE(fault.view().find("is corrupt at byte"), std::string_view::npos) << fault.view();
        EXPECT_LE(out.size(), text.size() + 4096);
    }
}

TEST(compression_of, reads_the_last_extension_without_case) {
    compression kind;
    EXPECT_TRUE(compression_of("j301_1.sm.gz", kind));
    EXPECT_EQ(kind, compression::gzip);
    EXPECT_TRUE(compression_of("set/J301_1.SM.XZ", kind));
    EXPECT_EQ(kind, compression::xz);
    EXPECT_FALSE(compression_of("j301_1.sm", kind));
    EXPECT_FALSE(compression_of("gz", kind));
    EXPECT_EQ(without_compression("set/j301_1.sm.gz"), fs::path("set/j301_1.sm"));
    EXPECT_EQ(without_compression("set/j301_1.sm"), fs::path("set/j301_1.sm"));
}

class in_directory : public in_temporary_directory {
protected:
    void write(const fs::path& name, const std::string& data) { write_text(root_ / name, data); }
};

const std::string reference = "4 1\n4\n0 0 2 2 3\n5 1 1 4\n6 2 1 4\n0 0 0\n";

using compressed_file_test = in_directory;

TEST_F(compressed_file_test, converts_as_the_plain_file_does_and_names_outputs_by_the_plain_name) {
    write("a.rcp", reference);
    write("a.rcp.gz", gzip(reference));
    write("b.rcp.xz", xz(reference));
    instance scratch;
    layout_choice to_json;
    to_json.to = find_format("json");
    ASSERT_FALSE(
        convert_file(resolve_source(root_ / "a.rcp", to_json.from), root_ / "plain.json", scratch, to_json).failed);
    for (const char* name : {"a.rcp.gz", "b.rcp.xz"}) {
        SCOPED_TRACE(name);
        const file_result result =
            convert_file(resolve_source(root_ / name, to_json.from), root_ / "out.json", scratch, to_json);
        ASSERT_FALSE(result.failed) << result.message.view();
        EXPECT_EQ(result.layout, find_format("rcp"));
        EXPECT_EQ(result.bytes_in, fs::file_size(root_ / name));
        EXPECT_EQ(file_text(root_ / "out.json"), file_text(root_ / "plain.json"));
    }
    // An error in the data is placed in the decompressed text.
    write("bad.rcp.gz", gzip("3 1\n4\n0 0 x\n"));
    const file_result bad = check_file(resolve_source(root_ / "bad.rcp.gz"), scratch, 20);
    EXPECT_EQ(bad.message.view().substr(0, 30), "Invalid input at line 3, colum");

    // j.sm.gz is written as j.sm would be.
    std::vector<input_file> inputs{{root_ / "j.sm.gz", "j.sm.gz", {}}, {root_ / "p.rcp.xz", "p.rcp.xz", {}}};
    for (input_file& input : inputs) input.source = resolve_source(input.path);
    plan_options beside{root_ / "out", fs::path(".dzn")};
    beside.more_suffixes = {".json"};
    const output_plan plan = plan_outputs(inputs, beside);
    EXPECT_EQ(plan.outputs, (std::vector<fs::path>{root_ / "out/j.dzn", root_ / "out/j.json", root_ / "out/p.dzn",
                                                   root_ / "out/p.json"}));
    plan_options sch_default{root_ / "out", std::nullopt};
    sch_default.written_extension = fs::path(".sch");
    EXPECT_EQ(plan_outputs(inputs, sch_default).outputs,
              (std::vector<fs::path>{root_ / "out/j.sch", root_ / "out/p.rcp"}));
}

using several_layouts_test = in_directory;

TEST_F(several_layouts_test, writes_every_layout_or_none) {
    write("a.rcp", reference);
    instance scratch;
    layout_choice one;
    std::vector<std::string> alone;
    for (const char* name : {"dzn", "json", "sm"}) {
        one.to = find_format(name);
        ASSERT_FALSE(convert_file(resolve_source(root_ / "a.rcp", one.from), root_ / (std::string("alone.") + name),
                                  scratch, one)
                         .failed);
        alone.push_back(file_text(root_ / (std::string("alone.") + name)));
    }
    layout_choice three;
    three.to = find_format("dzn");
    three.also_to = {find_format("json"), find_format("sm")};
    const fs::path outputs[] = {root_ / "a.dzn", root_ / "a.json", root_ / "a.sm"};
    const file_result result = convert_file(resolve_source(root_ / "a.rcp", three.from), outputs, scratch, three);
    ASSERT_FALSE(result.failed) << result.message.view();
    std::uint64_t total = 0;
    for (std::size_t index = 0; index < 3; ++index) {
        EXPECT_EQ(file_text(outputs[index]), alone[index]);
        total += fs::file_size(outputs[index]);
    }
    EXPECT_EQ(result.bytes_out, total);

    // A layout that can't hold the instance: nothing is written, in any layout.
    write("wrong.rcp", "3 0\n0 1 2\n0 1 7\n0 0\n");
    layout_choice json_then_dzn;
    json_then_dzn.to = find_format("json");
    json_then_dzn.also_to = {find_format("dzn")};
    const fs::path wrong[] = {root_ / "wrong.json", root_ / "wrong.dzn"};
    const file_result refused =
        convert_file(resolve_source(root_ / "wrong.rcp", json_then_dzn.from), wrong, scratch, json_then_dzn);
    EXPECT_EQ(refused.message.view(),
              "Can't write the dzn layout: activity 2 has successor 7, which is not a task of the model.");
    for (const fs::path& output : wrong) EXPECT_FALSE(fs::exists(output)) << output;

    // An output that can't be replaced: none of the others is, and no temporary file stays.
    fs::create_directories(root_ / "b.sm");
    write("b.rcp", reference);
    const fs::path blocked[] = {root_ / "b.dzn", root_ / "b.json", root_ / "b.sm"};
    write("b.dzn", "old");
    const file_result failed = convert_file(resolve_source(root_ / "b.rcp", three.from), blocked, scratch, three);
    EXPECT_TRUE(failed.failed);
    EXPECT_EQ(failed.bytes_out, 0u);
    std::size_t temporary = 0;
    for (const auto& entry : fs::directory_iterator(root_)) temporary += entry.path().filename().string()[0] == '.';
    EXPECT_EQ(temporary, 0u);
}

} // namespace
} // namespace converter
