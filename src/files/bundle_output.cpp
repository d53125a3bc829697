#include "files/bundle_output.h"

#include <cerrno>

#include "files/file_access.h"
#include "files/system_path.h"
#include "layouts/output_buffer.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

// A bundle is written in pieces of this size.
constexpr std::size_t held_limit = 1 << 16;

} // namespace

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

} // namespace converter
