// Instances for the tests, read from text in a layout.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "instance/byte_source.h"
#include "layouts/formats.h"

namespace converter {

// `text` read in the layout named `layout`; a failure fails the test.
inline instance read_as(const char* layout, const std::string& text) {
    instance result;
    text_cursor cursor{text};
    const read_failure failure = find_format(layout)->read(text_source(&cursor), result, nullptr);
    EXPECT_FALSE(failure) << describe(failure).view();
    return result;
}

} // namespace converter
