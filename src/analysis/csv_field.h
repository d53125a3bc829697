// A field of a CSV table as RFC 4180 writes one, for the tables on standard
// output that pandas and spreadsheets load.
#pragma once

#include <string>
#include <string_view>

namespace converter {

// Appends `text` as it is, or quoted (with its quotes doubled) when it holds a
// comma, a quote or a line end.
inline void append_csv_field(std::string& row, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        row += text;
        return;
    }
    row += '"';
    for (const char c : text) {
        if (c == '"') row += '"';
        row += c;
    }
    row += '"';
}

} // namespace converter
