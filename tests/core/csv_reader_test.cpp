#include "csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh {
namespace {

using Fields = std::vector<std::string>;

struct Row {
    std::size_t line;
    Fields fields;
};

std::vector<Row> rowsOf(const CsvTable& table) {
    std::vector<Row> rows;
    for (const CsvRecord& record : table.records) {
        Row& row = rows.emplace_back();
        row.line = record.line;
        for (const SecretString& field : record.fields)
            row.fields.emplace_back(field.view());
    }
    return rows;
}

struct CsvCase {
    const char* what;
    std::string text;
    std::vector<Row> rows;
    std::size_t unterminatedLine = 0;
};

TEST(CsvReader, ReadsWhatExportsContain) {
    const CsvCase cases[] = {
        {"LF, no line end after the last line", "a,b\nc,d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"CR LF", "a,b\r\nc,d\r\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"lone CR", "a\rb\r", {{1, {"a"}}, {2, {"b"}}}},
        {"byte-order mark", "\xEF\xBB\xBF\"Group\",x\n", {{1, {"Group", "x"}}}},
        {"a mark later is text", "a,\xEF\xBB\xBF\n", {{1, {"a", "\xEF\xBB\xBF"}}}},
        {"empty lines anywhere", "\n\r\na\n\n\r\nb\r\n\n", {{3, {"a"}}, {6, {"b"}}}},
        {"empty fields and a trailing comma", ",a,,\n", {{1, {"", "a", "", ""}}}},
        {"quoted: comma, doubled quote, empty",
         "\"a,b\",\"say \"\"hi\"\"\",\"\"\n",
         {{1, {"a,b", "say \"hi\"", ""}}}},
        {"line breaks inside quotes move the line count",
         "\"one\ntwo\r\nthree\rfour\",x\nnext\n",
         {{1, {"one\ntwo\r\nthree\rfour", "x"}}, {5, {"next"}}}},
        {"a lone quoted empty field is a record", "\"\"\n", {{1, {""}}}},
        {"blanks are kept", " a , b \n", {{1, {" a ", " b "}}}},
        {"stray quote inside an unquoted field is text", "ab\"c,d\"\n", {{1, {"ab\"c", "d\""}}}},
        {"text after a closing quote is appended", "\"ab\"cd,e\n", {{1, {"abcd", "e"}}}},
        {"quoted field at the very end", "a,\"b\"", {{1, {"a", "b"}}}},
        {"only a byte-order mark", "\xEF\xBB\xBF", {}},
        {"NUL bytes are data", std::string("a\0b,c\n", 6), {{1, {std::string("a\0b", 3), "c"}}}},
        {"unterminated quote takes the rest",
         "h\n\"a\nb,c\nd",
         {{1, {"h"}}, {2, {"a\nb,c\nd"}}},
         2},
        {"unterminated right after a doubled quote", "x,\"a\"\"", {{1, {"x", "a\""}}}, 1},
    };
    for (const CsvCase& c : cases) {
        const CsvTable table = readCsv(c.text);
        const std::vector<Row> rows = rowsOf(table);
        ASSERT_EQ(rows.size(), c.rows.size()) << c.what;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].line, c.rows[i].line) << c.what << " record " << i;
            EXPECT_EQ(rows[i].fields, c.rows[i].fields) << c.what << " record " << i;
        }
        EXPECT_EQ(table.unterminatedLine, c.unterminatedLine) << c.what;
    }
}

TEST(CsvReader, PullReaderStopsAndStaysStopped) {
    CsvReader reader("a\n\"b");
    CsvRecord record;
    ASSERT_TRUE(reader.next(record));
    EXPECT_FALSE(reader.unterminatedQuote());
    ASSERT_TRUE(reader.next(record));
    ASSERT_EQ(record.fields.size(), 1u);
    EXPECT_EQ(record.fields[0].view(), "b");
    EXPECT_TRUE(reader.unterminatedQuote());
    EXPECT_FALSE(reader.next(record));
    EXPECT_FALSE(reader.next(record));
    EXPECT_TRUE(record.fields.empty());
}

} // namespace
} // namespace kh
