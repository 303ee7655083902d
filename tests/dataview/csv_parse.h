// A small RFC 4180 reader for checking what the CSV writers produce: rows of
// fields, quotes undone. Strict: a line must end in CRLF and a quote may
// only open or close a field, so a malformed file fails the test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

using CsvRows = std::vector<std::vector<std::string>>;

inline CsvRows ParseCsv(const std::string& text)
{
    CsvRows rows;
    std::vector<std::string> row;
    std::string field;
    size_t i = 0;
    bool rowOpen = false;
    while (i < text.size()) {
        rowOpen = true;
        if (text[i] == '"' && field.empty()) {
            for (i++;; i++) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unclosed quote";
                    return rows;
                }
                if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"')
                    field += text[i++];
                else if (text[i] == '"')
                    break;
                else
                    field += text[i];
            }
            i++;
            if (i < text.size() && text[i] != ',' && text[i] != '\r') {
                ADD_FAILURE() << "text after a closing quote at " << i;
                return rows;
            }
            continue;
        }
        if (text[i] == ',') {
            row.push_back(field);
            field.clear();
            i++;
        } else if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "CR without LF at " << i;
            row.push_back(field);
            field.clear();
            // An empty line is an empty row, as Python's csv module reads it.
            if (row.size() == 1 && row[0].empty())
                row.clear();
            rows.push_back(row);
            row.clear();
            rowOpen = false;
            i += 2;
        } else {
            EXPECT_NE(text[i], '"') << "quote inside an unquoted field at " << i;
            EXPECT_NE(text[i], '\n') << "LF without CR at " << i;
            field += text[i++];
        }
    }
    EXPECT_FALSE(rowOpen) << "the last line has no line end";
    return rows;
}
