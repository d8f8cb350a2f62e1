// A small JSON reader and writer (RFC 8259) for the exports of other password managers and
// the messages of the browser extension. Strings are UTF-8 as in the text; every string a
// value holds is wiped when the value goes, since exports and messages carry passwords.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kh::json {

enum class Type { Null, Bool, Number, String, Array, Object };

class Value {
  public:
    using Array = std::vector<Value>;
    // Members in the order of the text; a repeated name keeps both (find takes the first).
    using Object = std::vector<std::pair<std::string, Value>>;

    Value() = default; // null
    static Value boolean(bool b);
    static Value number(double n);
    static Value string(std::string_view utf8);
    static Value array(Array items = {});
    static Value object(Object members = {});

    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isString() const { return type_ == Type::String; }
    bool isObject() const { return type_ == Type::Object; }
    bool isArray() const { return type_ == Type::Array; }

    // Typed access; none (or an empty list) when the value is of another type.
    std::optional<bool> asBool() const;
    std::optional<double> asNumber() const;
    const std::string* asString() const;
    const Array* asArray() const;
    const Object* asObject() const;
    Array* asArray();
    Object* asObject();

    // An object's member, or null when there is none or this is no object.
    const Value* find(std::string_view name) const;
    // A member's string, or none when it is missing or not a string.
    const std::string* stringAt(std::string_view name) const;

    // Adds a member to an object (a null value becomes an empty object first).
    Value& set(std::string_view name, Value value);
    // Appends to an array (a null value becomes an empty array first).
    Value& push(Value value);

  private:
    void release() noexcept;

    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::unique_ptr<Array> array_;
    std::unique_ptr<Object> object_;
};

struct ParseError {
    std::size_t offset = 0; // byte offset where the text went wrong
    std::string message;    // English, for logs and tool output
};

// Parses one JSON text (leading and trailing white space allowed, a UTF-8 byte-order mark
// too). Strict: no comments, no trailing commas, no control characters inside strings,
// escapes checked (\uXXXX surrogates must pair), only well-formed UTF-8, nesting at most
// `maxDepth` arrays and objects. None with the error filled in on any fault.
std::optional<Value> parse(std::string_view text, ParseError* error = nullptr, int maxDepth = 64);

// The compact text of a value. Strings are escaped as JSON requires (control characters as
// \uXXXX, and '<', '>' and '&' too, so the text is safe to embed in a page); numbers that are
// whole are written without a fraction.
std::string serialize(const Value& value);

} // namespace kh::json
