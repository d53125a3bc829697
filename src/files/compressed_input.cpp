#include "files/compressed_input.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <zlib.h>
#if CONVERTER_HAS_LZMA
#include <lzma.h>
#endif

#include "layouts/formats.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

// What a corrupt or hostile xz header may ask for is refused beyond this:
// `xz -9` needs 65 MiB to decompress, and each job decompresses its own file.
constexpr std::uint64_t xz_memory_limit = 128u << 20;
constexpr std::size_t compressed_chunk = 64 * 1024;

} // namespace

bool compression_of(const fs::path& name, compression& kind) {
    if (has_extension(name, ".gz")) {
        kind = compression::gzip;
        return true;
    }
    if (has_extension(name, ".xz")) {
        kind = compression::xz;
        return true;
    }
    return false;
}

fs::path without_compression(const fs::path& name) {
    compression kind;
    return compression_of(name, kind) ? fs::path(name).replace_extension() : name;
}

bool can_decompress(compression kind) {
#if CONVERTER_HAS_LZMA
    (void)kind;
    return true;
#else
    return kind == compression::gzip;
#endif
}

struct decompressing_source::state {
    z_stream gzip{};
#if CONVERTER_HAS_LZMA
    lzma_stream xz = LZMA_STREAM_INIT;
#endif
    unsigned char input[compressed_chunk];
    bool input_ended = false;
    bool finished = false;
    bool inside_member = false;  // gzip: a member begun and not yet ended
    std::uint64_t members = 0;   // gzip: members ended
    std::uint64_t member_at = 0; // gzip: the compressed byte where the member being read began
    const char* fault = nullptr; // why the data can't be decompressed
    std::string detail;          // the library's own words, when it has any
    std::uint64_t fault_at = 0;  // the compressed byte where it was found
};

decompressing_source::decompressing_source(compression kind, byte_source compressed)
    : state_(new state), kind_(kind), compressed_(compressed) {
    if (kind == compression::gzip) {
        // 16 + 15: gzip's own header and trailer, the largest window.
        if (inflateInit2(&state_->gzip, 16 + 15) != Z_OK) throw std::bad_alloc();
        return;
    }
#if CONVERTER_HAS_LZMA
    if (lzma_stream_decoder(&state_->xz, xz_memory_limit, LZMA_CONCATENATED) != LZMA_OK) throw std::bad_alloc();
#else
    state_->finished = true;
    state_->fault = "this build of the program reads no xz data";
#endif
}

decompressing_source::~decompressing_source() {
    if (kind_ == compression::gzip) inflateEnd(&state_->gzip);
#if CONVERTER_HAS_LZMA
    else
        lzma_end(&state_->xz);
#endif
}

bool decompressing_source::failed(message_text& message) const {
    if (state_->fault == nullptr) return false;
    message = message_text("Can't decompress the input file: ").append(state_->fault);
    if (state_->fault_at != 0) message.append(" at byte ").append_number(static_cast<std::int64_t>(state_->fault_at));
    if (!state_->detail.empty()) message.append(" (").append(state_->detail).append(")");
    message.append(".");
    return true;
}

std::size_t decompressing_source::read(void* context, char* buffer, std::size_t capacity, int& error) {
    auto* self = static_cast<decompressing_source*>(context);
    state& work = *self->state_;
    if (work.finished) {
        if (work.fault != nullptr) error = EIO;
        return 0;
    }
    const std::size_t produced = self->inflate_into(buffer, capacity, error);
    if (produced == 0 && work.fault != nullptr) error = EIO;
    return produced;
}

// Fills `buffer` with what the data give, taking compressed bytes as needed;
// 0 at the end of the data or on a fault.
std::size_t decompressing_source::inflate_into(char* buffer, std::size_t capacity, int& error) {
    state& work = *state_;
    // What was decompressed before a fault is handed on; the next read fails.
    const auto fail = [&](const char* fault, std::size_t pending, const char* detail) {
        work.fault = fault;
        work.fault_at = compressed_bytes_ - pending;
        if (detail != nullptr) work.detail = detail;
        work.finished = true;
    };
    for (;;) {
        std::size_t pending = kind_ == compression::gzip ? work.gzip.avail_in : 0;
#if CONVERTER_HAS_LZMA
        if (kind_ == compression::xz) pending = work.xz.avail_in;
#endif
        if (pending == 0 && !work.input_ended) {
            const std::size_t count =
                compressed_.read(compressed_.context, reinterpret_cast<char*>(work.input), sizeof work.input, error);
            if (count == 0 && error != 0) {
                work.finished = true;
                return 0;
            }
            if (compressed_bytes_ == 0 && count == 0) {
                fail(kind_ == compression::gzip ? "the file is empty, not gzip data" : "the file is empty, not xz data",
                     0, nullptr);
                return 0;
            }
            static const unsigned char gzip_magic[] = {0x1f, 0x8b};
            static const unsigned char xz_magic[] = {0xfd, '7', 'z', 'X', 'Z', 0};
            const bool gzip_data = kind_ == compression::gzip;
            const std::size_t magic_size = gzip_data ? sizeof gzip_magic : sizeof xz_magic;
            if (compressed_bytes_ == 0 &&
                (count < magic_size || std::memcmp(work.input, gzip_data ? gzip_magic : xz_magic, magic_size) != 0)) {
                // Said plainly rather than as the library's first complaint.
                fail(gzip_data ? "the file is not gzip data" : "the file is not xz data", 0, nullptr);
                return 0;
            }
            compressed_bytes_ += count;
            work.input_ended = count == 0;
            pending = count;
            if (kind_ == compression::gzip) {
                work.gzip.next_in = work.input;
                work.gzip.avail_in = static_cast<uInt>(count);
            }
#if CONVERTER_HAS_LZMA
            if (kind_ == compression::xz) {
                work.xz.next_in = work.input;
                work.xz.avail_in = count;
            }
#endif
        }
        if (kind_ == compression::gzip) {
            if (pending == 0 && work.input_ended) {
                work.finished = true;
                // The end of the file between members is the end of the data.
                if (work.inside_member) fail("the gzip data is cut short", 0, nullptr);
                return 0;
            }
            work.inside_member = true;
            work.gzip.next_out = reinterpret_cast<Bytef*>(buffer);
            work.gzip.avail_out = static_cast<uInt>(capacity);
            const int status = inflate(&work.gzip, Z_NO_FLUSH);
            const std::size_t produced = capacity - work.gzip.avail_out;
            if (status == Z_STREAM_END) {
                // Another member may follow, as `cat a.gz b.gz` gives.
                work.inside_member = false;
                ++work.members;
                work.member_at = compressed_bytes_ - work.gzip.avail_in;
                inflateReset(&work.gzip);
            } else if (status == Z_MEM_ERROR) {
                error = ENOMEM;
                work.finished = true;
                return produced;
            } else if (status != Z_OK && status != Z_BUF_ERROR) {
                // What follows a member and is no gzip header (a gzip header is
                // at least 10 bytes) is named as xz's trailing data are, at
                // the member's end.
                if (work.members != 0 && work.gzip.total_in < 10) {
                    fail("the data after a gzip member are not gzip data",
                         static_cast<std::size_t>(compressed_bytes_ - work.member_at), nullptr);
                    return produced;
                }
                fail("the gzip data is corrupt", work.gzip.avail_in, work.gzip.msg);
                return produced;
            }
            if (produced != 0) return produced;
            continue;
        }
#if CONVERTER_HAS_LZMA
        work.xz.next_out = reinterpret_cast<std::uint8_t*>(buffer);
        work.xz.avail_out = capacity;
        const lzma_ret status = lzma_code(&work.xz, work.input_ended ? LZMA_FINISH : LZMA_RUN);
        const std::size_t produced = capacity - work.xz.avail_out;
        switch (status) {
        case LZMA_OK: break;
        case LZMA_STREAM_END: work.finished = true; return produced;
        case LZMA_MEM_ERROR:
            error = ENOMEM;
            work.finished = true;
            return produced;
        case LZMA_MEMLIMIT_ERROR:
            fail("the xz data needs more than 128 MiB of memory to decompress (xz -9 needs 65 MiB)", work.xz.avail_in,
                 nullptr);
            return produced;
        case LZMA_FORMAT_ERROR:
            // The first stream's header is the file's start: no place to name.
            if (compressed_bytes_ - work.xz.avail_in <= 12)
                fail("the file is not xz data", static_cast<std::size_t>(compressed_bytes_), nullptr);
            else
                fail("the data after an xz stream are not xz data", work.xz.avail_in, nullptr);
            return produced;
        case LZMA_OPTIONS_ERROR:
            fail("the xz data use options this program can't read", work.xz.avail_in, nullptr);
            return produced;
        case LZMA_BUF_ERROR:
            if (produced != 0) return produced;
            fail("the xz data is cut short", 0, nullptr);
            return 0;
        default: fail("the xz data is corrupt", work.xz.avail_in, nullptr); return produced;
        }
        if (produced != 0) return produced;
#else
        (void)fail;
        return 0;
#endif
    }
}

struct compressor::state {
    z_stream gzip{};
#if CONVERTER_HAS_LZMA
    lzma_stream xz = LZMA_STREAM_INIT;
#endif
};

compressor::compressor(compression kind) : state_(new state), kind_(kind) {
    if (kind == compression::gzip) {
        if (deflateInit2(&state_->gzip, 6, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
        return;
    }
#if CONVERTER_HAS_LZMA
    if (lzma_easy_encoder(&state_->xz, 6, LZMA_CHECK_CRC64) != LZMA_OK) throw std::bad_alloc();
#endif
}

compressor::~compressor() {
    if (kind_ == compression::gzip) deflateEnd(&state_->gzip);
#if CONVERTER_HAS_LZMA
    else
        lzma_end(&state_->xz);
#endif
}

bool compressor::compress(const char* data, std::size_t size, bool finish, std::string& out) {
    constexpr std::size_t piece = 64 * 1024;
    if (kind_ == compression::gzip) {
        z_stream& stream = state_->gzip;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream.avail_in = static_cast<uInt>(size);
        for (;;) {
            const std::size_t before = out.size();
            out.resize(before + piece);
            stream.next_out = reinterpret_cast<Bytef*>(&out[before]);
            stream.avail_out = static_cast<uInt>(piece);
            const int status = deflate(&stream, finish ? Z_FINISH : Z_NO_FLUSH);
            out.resize(before + piece - stream.avail_out);
            if (status == Z_STREAM_END) return true;
            if (status != Z_OK && status != Z_BUF_ERROR) return false;
            if (stream.avail_in == 0 && !finish && stream.avail_out != 0) return true;
        }
    }
#if CONVERTER_HAS_LZMA
    lzma_stream& stream = state_->xz;
    stream.next_in = reinterpret_cast<const std::uint8_t*>(data);
    stream.avail_in = size;
    for (;;) {
        const std::size_t before = out.size();
        out.resize(before + piece);
        stream.next_out = reinterpret_cast<std::uint8_t*>(&out[before]);
        stream.avail_out = piece;
        const lzma_ret status = lzma_code(&stream, finish ? LZMA_FINISH : LZMA_RUN);
        out.resize(before + piece - stream.avail_out);
        if (status == LZMA_STREAM_END) return true;
        if (status != LZMA_OK) return false;
        if (stream.avail_in == 0 && !finish && stream.avail_out != 0) return true;
    }
#else
    (void)data;
    (void)size;
    (void)finish;
    (void)out;
    return false;
#endif
}

} // namespace converter
