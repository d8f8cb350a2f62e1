#include "json.h"

#include <gtest/gtest.h>

#include <string>

namespace kh::json {
namespace {

TEST(Json, ReadsEveryKindOfValue) {
    const std::optional<Value> v =
        parse("\xEF\xBB\xBF { \"s\": \"a\\\"b\\\\c\\/\\n\\u00e9\\ud83d\\udd11\", \"n\": -12.5e1,"
              " \"z\": 0, \"t\": true, \"f\": false, \"x\": null, \"a\": [1, [], {}],"
              " \"u\": \"\xC3\xBC\" } \r\n");
    ASSERT_TRUE(v);
    EXPECT_EQ(*v->stringAt("s"), "a\"b\\c/\n\xC3\xA9\xF0\x9F\x94\x91");
    EXPECT_EQ(*v->find("n")->asNumber(), -125.0);
    EXPECT_EQ(*v->find("z")->asNumber(), 0.0);
    EXPECT_EQ(*v->find("t")->asBool(), true);
    EXPECT_EQ(*v->find("f")->asBool(), false);
    EXPECT_TRUE(v->find("x")->isNull());
    ASSERT_TRUE(v->find("a")->asArray());
    EXPECT_EQ(v->find("a")->asArray()->size(), 3u);
    EXPECT_EQ(*v->stringAt("u"), "\xC3\xBC");
    EXPECT_EQ(v->find("missing"), nullptr);
    EXPECT_EQ(v->stringAt("n"), nullptr); // not a string
}

TEST(Json, RefusesWhatIsNotStrictJson) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "end"},
        {"{\"a\":1,}", "member name"},
        {"[1,]", "unexpected"},
        {"{'a':1}", "member name"},
        {"{\"a\" 1}", "':'"},
        {"[1 2]", "','"},
        {"\"tab\there\"", "control"},
        {"\"\\x\"", "escape"},
        {"\"\\u12\"", "escape"},
        {"\"\\ud800\"", "surrogate"},
        {"\"\\udc00\"", "surrogate"},
        {"\"\\ud800\\u0041\"", "surrogate"},
        {"\"bad \xFF utf8\"", "UTF-8"},
        {"\"overlong \xC0\xAF\"", "UTF-8"},
        {"\"cut \xE2\x82\"", "UTF-8"},
        {"\"unterminated", "unterminated"},
        {"01", "after the value"},
        {"1.", "'.'"},
        {"1e", "exponent"},
        {"-", "unexpected"},
        {"1e999", "range"},
        {"tru", "literal"},
        {"{} {}", "after the value"},
        {"/* c */ 1", "unexpected"},
    };
    for (const auto& [text, message] : cases) {
        ParseError error;
        EXPECT_FALSE(parse(text, &error)) << text;
        EXPECT_NE(error.message.find(message), std::string::npos) << text << ": " << error.message;
    }
}

TEST(Json, NestingIsLimited) {
    const std::string deep = std::string(65, '[') + std::string(65, ']');
    const std::string allowed = std::string(64, '[') + std::string(64, ']');
    EXPECT_FALSE(parse(deep));
    EXPECT_TRUE(parse(allowed));
    // Far deeper than the stack would take: refused, not a crash.
    EXPECT_FALSE(parse(std::string(1000000, '[')));
}

TEST(Json, WritesWhatItReadsBack) {
    Value v;
    v.set("action", Value::string("get"))
        .set("text", Value::string("q\"\\\n\t\x01</script>&\xC3\xA9"))
        .set("count", Value::number(3))
        .set("half", Value::number(0.5))
        .set("ok", Value::boolean(true))
        .set("none", Value())
        .set("list", Value::array({Value::number(-1), Value::string("")}));
    const std::string text = serialize(v);
    EXPECT_EQ(text, "{\"action\":\"get\",\"text\":\"q\\\"\\\\\\n\\t\\u0001\\u003c/script\\u003e"
                    "\\u0026\xC3\xA9\",\"count\":3,\"half\":0.5,\"ok\":true,\"none\":null,"
                    "\"list\":[-1,\"\"]}");
    const std::optional<Value> back = parse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(serialize(*back), text);
}

TEST(Json, CopiesAndMovesKeepTheirOwnData) {
    Value a = Value::object();
    a.set("k", Value::string("secret"));
    Value b = a;
    Value c = std::move(a);
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(*b.stringAt("k"), "secret");
    EXPECT_EQ(*c.stringAt("k"), "secret");
    b = c;
    EXPECT_EQ(*b.stringAt("k"), "secret");
}

} // namespace
} // namespace kh::json
