// The texts of the entry text form as the message table has them now.
#pragma once

#include "message_table.h"
#include "xml_interchange.h"

namespace kh {

inline InterchangeTexts interchangeTexts(const MessageTable& messages, bool languageInForce) {
    InterchangeTexts texts;
    texts.fileHeader = messages.text(Msg::filexml);
    texts.itemTemplate = messages.text(Msg::itemxml);
    texts.passwordName = messages.text(Msg::passwordtext);
    texts.linkName = messages.text(Msg::linktext);
    texts.textName = messages.text(Msg::texttext);
    texts.unknownName = messages.text(Msg::unknowntext);
    texts.languageInForce = languageInForce;
    return texts;
}

} // namespace kh
