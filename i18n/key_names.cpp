#include "key_names.h"

#include "message_table.h"

#include <cstdio>

namespace kh {
namespace {

struct NamedKey {
    std::uint8_t key;
    Msg name;
};

constexpr NamedKey kNamedKeys[] = {
    {0x08, Msg::keybackspace},   {0x09, Msg::keytab},        {0x0D, Msg::keyenter},
    {0x13, Msg::keypause},       {0x14, Msg::keycapslock},   {0x1B, Msg::keyesc},
    {0x20, Msg::keyspace},       {0x21, Msg::keypageup},     {0x22, Msg::keypagedown},
    {0x23, Msg::keyend},         {0x24, Msg::keyhome},       {0x25, Msg::keyleft},
    {0x26, Msg::keyup},          {0x27, Msg::keyright},      {0x28, Msg::keydown},
    {0x2C, Msg::keyprintscreen}, {0x2D, Msg::keyinsert},     {0x2E, Msg::keydelete},
    {0x90, Msg::keynumlock},     {0x91, Msg::keyscrolllock},
};

// Keys that show a sign, the same in every language.
struct SignKey {
    std::uint8_t key;
    const char* sign;
};

constexpr SignKey kSignKeys[] = {
    {0xBA, ";"}, {0xBB, "="}, {0xBC, ","},  {0xBD, "-"}, {0xBE, "."}, {0xBF, "/"},
    {0xC0, "`"}, {0xDB, "["}, {0xDC, "\\"}, {0xDD, "]"}, {0xDE, "'"},
};

// The numeric keypad's operators: 0x6A to 0x6F but the separator 0x6C.
constexpr const char* kPadSigns = "*+?-./";

} // namespace

std::string keyName(std::uint8_t key, const MessageTable& messages) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, key);
    for (const NamedKey& named : kNamedKeys)
        if (named.key == key) return messages.text(named.name);
    for (const SignKey& sign : kSignKeys)
        if (sign.key == key) return sign.sign;
    if (key >= 0x60 && key <= 0x69)
        return messages.text(Msg::keynumpad) + " " + std::string(1, char('0' + key - 0x60));
    if (key >= 0x6A && key <= 0x6F && key != 0x6C)
        return messages.text(Msg::keynumpad) + " " + std::string(1, kPadSigns[key - 0x6A]);
    char name[16];
    if (key >= 0x70 && key <= 0x87)
        std::snprintf(name, sizeof name, "F%d", key - 0x70 + 1);
    else
        std::snprintf(name, sizeof name, "Key %02X", key);
    return name;
}

std::string keyChordText(std::uint8_t key, bool ctrl, bool alt, bool shift,
                         const MessageTable& messages) {
    if (key == 0) return {};
    std::string text;
    if (ctrl) text += messages.text(Msg::keyctrl) + "+";
    if (alt) text += messages.text(Msg::keyalt) + "+";
    if (shift) text += messages.text(Msg::keyshift) + "+";
    return text + keyName(key, messages);
}

} // namespace kh
