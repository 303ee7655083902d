// A strict RFC 4180 reader for checking what the CSV writers produce: every
// line must end in CRLF and a quote may only open or close a field, so a
// malformed file fails the test. An empty line is an empty row, as Python's
// csv module reads it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

using CsvRows = std::vector<std::vector<std::string>>;

inline CsvRows ParseCsv(const std::string& text)
{
    CsvRows rows(1);
    std::string field;
    bool quoted = false, open = false;
    for (size_t i = 0; i < text.size(); i++) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            field += text[++i];
        else if (c == '"') {
            EXPECT_TRUE(quoted || (field.empty() && !open)) << "stray quote at " << i;
            quoted = !quoted;
            open = true;
        } else if (!quoted && (c == ',' || c == '\r')) {
            rows.back().push_back(field);
            field.clear();
            open = false;
            if (c == '\r') {
                EXPECT_EQ(text.substr(i, 2), "\r\n") << "CR without LF at " << i;
                if (rows.back() == std::vector<std::string>{""})
                    rows.back().clear();
                rows.emplace_back();
                i++;
            }
        } else {
            EXPECT_TRUE(quoted || c != '\n') << "LF without CR at " << i;
            field += c;
            open = true;
        }
    }
    EXPECT_TRUE(rows.back().empty() && field.empty() && !open) << "the last line has no line end";
    rows.pop_back();
    return rows;
}
