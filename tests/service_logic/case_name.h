#pragma once
// Readable names for table cases: CTest shows them instead of a byte dump
// of the case.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// "00 21 DA: row 7" -> "00_21_DA_row_7". Cases whose texts differ only in
// punctuation get the index appended, so names stay unique.
template <class Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char character : std::string(info.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(character)) != 0) {
            name += character;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name + "_" + std::to_string(info.index);
}
