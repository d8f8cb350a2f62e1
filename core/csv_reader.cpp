#include "csv_reader.h"

namespace kh {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Line ends in a stretch of text: CR LF, LF and a lone CR count one each.
std::size_t countLineEnds(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++count;
    }
    return count;
}

} // namespace

CsvReader::CsvReader(std::string_view text) : text_(text) {
    if (text_.starts_with(kByteOrderMark)) pos_ = kByteOrderMark.size();
}

bool CsvReader::takeLineEnd() {
    if (pos_ >= text_.size()) return false;
    if (text_[pos_] == '\r') {
        ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    } else if (text_[pos_] == '\n') {
        ++pos_;
    } else {
        return false;
    }
    ++line_;
    return true;
}

bool CsvReader::next(CsvRecord& record) {
    record.fields.clear();
    while (takeLineEnd()) {
    }
    if (pos_ >= text_.size()) return false;
    record.line = line_;

    for (;;) {
        SecretString& field = record.fields.emplace_back();
        if (pos_ < text_.size() && text_[pos_] == '"') {
            const std::size_t openedOn = line_;
            ++pos_;
            for (;;) {
                const std::size_t quote = text_.find('"', pos_);
                if (quote == std::string_view::npos) {
                    const std::string_view rest = text_.substr(pos_);
                    field.append(rest);
                    line_ += countLineEnds(rest);
                    pos_ = text_.size();
                    unterminatedLine_ = openedOn;
                    return true;
                }
                const std::string_view part = text_.substr(pos_, quote - pos_);
                field.append(part);
                line_ += countLineEnds(part);
                pos_ = quote + 1;
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    field.push_back('"');
                    ++pos_;
                    continue;
                }
                break;
            }
        }
        // An unquoted field, or what follows a closing quote up to the next separator.
        const std::size_t end = text_.find_first_of(",\r\n", pos_);
        const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
        field.append(text_.substr(pos_, stop - pos_));
        pos_ = stop;
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        takeLineEnd();
        return true;
    }
}

CsvTable readCsv(std::string_view text) {
    CsvTable table;
    CsvReader reader(text);
    CsvRecord record;
    while (reader.next(record))
        table.records.push_back(std::move(record));
    table.unterminatedLine = reader.unterminatedLine();
    return table;
}

} // namespace kh
