#pragma once
// What the two CSV formats share: the separator from the user's locale,
// lines of at most 254 characters, and names made fit for one cell.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace corvinta {

// The list separator a spreadsheet in the user's locale expects: ";" where
// the decimal separator is ",", else ",". Read from the environment's
// locale without changing the process locale.
char UserListSeparator();

// Reads lines as the CSV importers need them: the line ending (LF or CR LF)
// is dropped, and so is the byte-order mark some spreadsheets put before
// the first line; a line longer than kMaxLine characters fails the reader
// for good, and so every later read.
class CCsvLineReader {
public:
    static constexpr size_t kMaxLine = 254;

    explicit CCsvLineReader(std::FILE* file) : file_(file) {}
    // False at the end of the file or once the reader has failed.
    bool Next(std::string& line);
    bool Failed() const { return failed_; }

private:
    std::FILE* file_;
    bool failed_ = false;
    bool first_ = true;
};

// A label as one cell: trimmed of white space, line breaks made spaces.
std::string CellName(std::string_view label);

void RemoveAll(std::string& text, char c);
std::vector<std::string> SplitFields(std::string_view line, char separator);

} // namespace corvinta
