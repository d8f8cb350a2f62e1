#include "json.h"

#include "secure_memory.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace kh::json {

Value Value::boolean(bool b) {
    Value v;
    v.type_ = Type::Bool;
    v.bool_ = b;
    return v;
}

Value Value::number(double n) {
    Value v;
    v.type_ = Type::Number;
    v.number_ = n;
    return v;
}

Value Value::string(std::string_view utf8) {
    Value v;
    v.type_ = Type::String;
    v.string_.assign(utf8.data(), utf8.size());
    return v;
}

Value Value::array(Array items) {
    Value v;
    v.type_ = Type::Array;
    v.array_ = std::make_unique<Array>(std::move(items));
    return v;
}

Value Value::object(Object members) {
    Value v;
    v.type_ = Type::Object;
    v.object_ = std::make_unique<Object>(std::move(members));
    return v;
}

Value::Value(const Value& other)
    : type_(other.type_), bool_(other.bool_), number_(other.number_), string_(other.string_) {
    if (other.array_) array_ = std::make_unique<Array>(*other.array_);
    if (other.object_) object_ = std::make_unique<Object>(*other.object_);
}

Value::Value(Value&& other) noexcept
    : type_(other.type_), bool_(other.bool_), number_(other.number_),
      string_(std::move(other.string_)), array_(std::move(other.array_)),
      object_(std::move(other.object_)) {
    other.release();
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        release();
        type_ = other.type_;
        bool_ = other.bool_;
        number_ = other.number_;
        string_ = std::move(other.string_);
        array_ = std::move(other.array_);
        object_ = std::move(other.object_);
        other.release();
    }
    return *this;
}

Value::~Value() {
    release();
}

void Value::release() noexcept {
    wipeString(string_);
    array_.reset();
    if (object_) {
        for (auto& member : *object_)
            wipeString(member.first);
        object_.reset();
    }
    type_ = Type::Null;
    bool_ = false;
    number_ = 0;
}

std::optional<bool> Value::asBool() const {
    if (type_ != Type::Bool) return std::nullopt;
    return bool_;
}

std::optional<double> Value::asNumber() const {
    if (type_ != Type::Number) return std::nullopt;
    return number_;
}

const std::string* Value::asString() const {
    return type_ == Type::String ? &string_ : nullptr;
}

const Value::Array* Value::asArray() const {
    return type_ == Type::Array ? array_.get() : nullptr;
}

const Value::Object* Value::asObject() const {
    return type_ == Type::Object ? object_.get() : nullptr;
}

Value::Array* Value::asArray() {
    return type_ == Type::Array ? array_.get() : nullptr;
}

Value::Object* Value::asObject() {
    return type_ == Type::Object ? object_.get() : nullptr;
}

const Value* Value::find(std::string_view name) const {
    if (const Object* members = asObject()) {
        for (const auto& [key, value] : *members)
            if (key == name) return &value;
    }
    return nullptr;
}

const std::string* Value::stringAt(std::string_view name) const {
    const Value* member = find(name);
    return member ? member->asString() : nullptr;
}

Value& Value::set(std::string_view name, Value value) {
    if (type_ == Type::Null) *this = object();
    if (Object* members = asObject()) members->emplace_back(std::string(name), std::move(value));
    return *this;
}

Value& Value::push(Value value) {
    if (type_ == Type::Null) *this = array();
    if (Array* items = asArray()) items->push_back(std::move(value));
    return *this;
}

namespace {

class Parser {
  public:
    Parser(std::string_view text, int maxDepth) : text_(text), maxDepth_(maxDepth) {}

    std::optional<Value> document(ParseError* error) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        Value value;
        bool ok = skipSpace() && parseValue(value, 0);
        if (ok) {
            skipSpace();
            if (pos_ != text_.size()) ok = fail("unexpected text after the value");
        }
        if (!ok) {
            if (error) *error = error_;
            return std::nullopt;
        }
        return value;
    }

  private:
    bool fail(const char* message) {
        if (error_.message.empty()) {
            error_.offset = pos_;
            error_.message = message;
        }
        return false;
    }

    bool skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
        return true;
    }

    bool literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return fail("invalid literal");
        pos_ += word.size();
        return true;
    }

    bool parseValue(Value& out, int depth) {
        if (pos_ >= text_.size()) return fail("unexpected end of text");
        switch (text_[pos_]) {
        case '{':
            return parseObject(out, depth + 1);
        case '[':
            return parseArray(out, depth + 1);
        case '"': {
            std::string s;
            const bool ok = parseString(s);
            if (ok) out = Value::string(s);
            wipeString(s);
            return ok;
        }
        case 't':
            if (!literal("true")) return false;
            out = Value::boolean(true);
            return true;
        case 'f':
            if (!literal("false")) return false;
            out = Value::boolean(false);
            return true;
        case 'n':
            if (!literal("null")) return false;
            out = Value();
            return true;
        default:
            return parseNumber(out);
        }
    }

    bool parseObject(Value& out, int depth) {
        if (depth > maxDepth_) return fail("nested too deeply");
        ++pos_; // '{'
        out = Value::object();
        Value::Object& members = *out.asObject();
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"') return fail("expected a member name");
            std::string name;
            if (!parseString(name)) return false;
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != ':') return fail("expected ':'");
            ++pos_;
            skipSpace();
            Value value;
            if (!parseValue(value, depth)) return false;
            members.emplace_back(std::move(name), std::move(value));
            skipSpace();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool parseArray(Value& out, int depth) {
        if (depth > maxDepth_) return fail("nested too deeply");
        ++pos_; // '['
        out = Value::array();
        Value::Array& items = *out.asArray();
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipSpace();
            Value value;
            if (!parseValue(value, depth)) return false;
            items.push_back(std::move(value));
            skipSpace();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    bool hex4(std::uint32_t& out) {
        if (pos_ + 4 > text_.size()) return fail("short \\u escape");
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_ + i];
            std::uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return fail("bad \\u escape");
            out = out * 16 + digit;
        }
        pos_ += 4;
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }

    // Length of the well-formed UTF-8 sequence at pos_, or 0.
    std::size_t utf8Length() const {
        const auto lead = static_cast<unsigned char>(text_[pos_]);
        std::size_t extra;
        std::uint32_t cp;
        std::uint32_t minimum;
        if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        else
            return 0;
        if (pos_ + extra >= text_.size()) return 0;
        for (std::size_t i = 1; i <= extra; ++i) {
            const auto next = static_cast<unsigned char>(text_[pos_ + i]);
            if ((next & 0xC0) != 0x80) return 0;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        return extra + 1;
    }

    // The bytes up to the closing quote: the decoded text is never longer, so the output is
    // allocated once and no buffer given up while it grows keeps part of a secret.
    std::size_t encodedLength() const {
        std::size_t i = pos_;
        while (i < text_.size() && text_[i] != '"')
            i += text_[i] == '\\' ? 2 : 1;
        return std::min(i, text_.size()) - pos_;
    }

    bool parseString(std::string& out) {
        ++pos_; // opening quote
        out.reserve(encodedLength());
        for (;;) {
            if (pos_ >= text_.size()) return fail("unterminated string");
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c < 0x20) return fail("control character in a string");
            if (c == '\\') {
                if (++pos_ >= text_.size()) return fail("unterminated string");
                const char e = text_[pos_++];
                switch (e) {
                case '"':
                case '\\':
                case '/':
                    out.push_back(e);
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u': {
                    std::uint32_t cp = 0;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("lone low surrogate");
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        std::uint32_t low = 0;
                        if (text_.substr(pos_, 2) != "\\u") return fail("lone high surrogate");
                        pos_ += 2;
                        if (!hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF) return fail("lone high surrogate");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    --pos_;
                    return fail("bad escape");
                }
                continue;
            }
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
                ++pos_;
                continue;
            }
            const std::size_t n = utf8Length();
            if (n == 0) return fail("malformed UTF-8");
            out.append(text_.substr(pos_, n));
            pos_ += n;
        }
    }

    bool parseNumber(Value& out) {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
                ++pos_;
            return pos_ - from;
        };
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '0') {
            ++pos_;
        } else if (digits() == 0) {
            pos_ = start;
            return fail("unexpected character");
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (digits() == 0) return fail("digits expected after '.'");
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (digits() == 0) return fail("digits expected in the exponent");
        }
        // from_chars: independent of the locale, which may want a decimal comma.
        double value = 0;
        const char* first = text_.data() + start;
        const char* last = text_.data() + pos_;
        const auto [end, code] = std::from_chars(first, last, value);
        if (code == std::errc::result_out_of_range) return fail("number out of range");
        if (code != std::errc() || end != last) return fail("bad number");
        out = Value::number(value);
        return true;
    }

    std::string_view text_;
    int maxDepth_;
    std::size_t pos_ = 0;
    ParseError error_;
};

// Counts what writeValue would append: serialize sizes its result first, since the text may
// hold passwords and a buffer given up while growing would keep a copy of part of one.
struct Measure {
    std::size_t size = 0;
    void push_back(char) { ++size; }
    Measure& operator+=(std::string_view s) {
        size += s.size();
        return *this;
    }
    void append(const char* first, const char* last) {
        size += static_cast<std::size_t>(last - first);
    }
};

template <class Out> void writeString(Out& out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == '<' || c == '>' || c == '&') {
                out += "\\u00";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
}

template <class Out> void writeValue(Out& out, const Value& value) {
    switch (value.type()) {
    case Type::Null:
        out += "null";
        break;
    case Type::Bool:
        out += *value.asBool() ? "true" : "false";
        break;
    case Type::Number: {
        const double n = *value.asNumber();
        if (!std::isfinite(n)) {
            out += "null"; // JSON has no form for them
        } else if (n == std::floor(n) && std::fabs(n) < 9.007199254740992e15) {
            out += std::to_string(static_cast<long long>(n));
        } else {
            char buffer[32];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
            out.append(buffer, result.ptr);
        }
        break;
    }
    case Type::String:
        writeString(out, *value.asString());
        break;
    case Type::Array: {
        out.push_back('[');
        bool first = true;
        for (const Value& item : *value.asArray()) {
            if (!first) out.push_back(',');
            first = false;
            writeValue(out, item);
        }
        out.push_back(']');
        break;
    }
    case Type::Object: {
        out.push_back('{');
        bool first = true;
        for (const auto& [name, item] : *value.asObject()) {
            if (!first) out.push_back(',');
            first = false;
            writeString(out, name);
            out.push_back(':');
            writeValue(out, item);
        }
        out.push_back('}');
        break;
    }
    }
}

} // namespace

std::optional<Value> parse(std::string_view text, ParseError* error, int maxDepth) {
    return Parser(text, maxDepth).document(error);
}

std::string serialize(const Value& value) {
    Measure measure;
    writeValue(measure, value);
    std::string out;
    out.reserve(measure.size);
    writeValue(out, value);
    return out;
}

} // namespace kh::json
