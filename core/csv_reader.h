// A CSV reader for the exports of other password managers: RFC 4180 (quoted fields, doubled
// quotes, line breaks inside quotes) plus what real exports contain (a UTF-8 byte-order mark,
// LF or CR LF or CR line ends, a last line without a line end). Fields are bytes as in the
// file; exports carry passwords, so every field wipes itself when it goes.
#pragma once

#include "secure_memory.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace kh {

struct CsvRecord {
    std::size_t line = 0; // the line of the file the record begins on, from 1
    std::vector<SecretString> fields;
};

// Reads records one at a time from a text that must outlive the reader. Malformed input is
// read in a fixed way rather than refused: a quote inside an unquoted field is a plain
// character, text after a closing quote is appended to the field, and a quoted field still
// open at the end of the text takes the rest of it (unterminatedQuote() then says so,
// since every record after that opening quote has run into one field).
class CsvReader {
  public:
    explicit CsvReader(std::string_view text);

    // The next record; false at the end of the text. Empty lines are no records.
    bool next(CsvRecord& record);

    bool unterminatedQuote() const { return unterminatedLine_ != 0; }
    // The line where the quoted field that never closed begins; 0 when there is none.
    std::size_t unterminatedLine() const { return unterminatedLine_; }

  private:
    // Consumes one line end (CR LF, LF or CR) at pos_, if there is one.
    bool takeLineEnd();

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t unterminatedLine_ = 0;
};

// Every record of a text, for callers that want them all at once.
struct CsvTable {
    std::vector<CsvRecord> records;
    std::size_t unterminatedLine = 0; // as CsvReader::unterminatedLine
};
CsvTable readCsv(std::string_view text);

} // namespace kh
