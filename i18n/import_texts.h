// The texts an import from another password manager is reported in, as the message table
// has them now.
#pragma once

#include "import_formats.h"
#include "message_table.h"

namespace kh {

inline ImportTexts importTexts(const MessageTable& messages) {
    ImportTexts texts;
    texts.summary = messages.text(Msg::importsummary);
    texts.cut = messages.text(Msg::importlossy);
    texts.leftOut = messages.text(Msg::importleftout);
    texts.skippedHead = messages.text(Msg::importskipped);
    texts.notLogin = messages.text(Msg::importnotlogin);
    texts.notExact = messages.text(Msg::importnotexact);
    texts.noTitle = messages.text(Msg::importnotitle);
    texts.deleted = messages.text(Msg::importdeleted);
    texts.more = messages.text(Msg::importmore);
    texts.line = messages.text(Msg::importline);
    texts.item = messages.text(Msg::importitem);
    texts.unrecognised = messages.text(Msg::importunknown);
    texts.wrongHeader = messages.text(Msg::importwrongheader);
    texts.encrypted = messages.text(Msg::importencrypted);
    texts.unterminatedQuote = messages.text(Msg::importbadcsv);
    texts.badJson = messages.text(Msg::importbadjson);
    return texts;
}

} // namespace kh
