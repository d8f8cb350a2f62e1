#include "request_block.h"

#include "text_trim.h"

#include <algorithm>

namespace kh::browser {

std::optional<RequestKind> requestKind(std::uint32_t message) {
    switch (static_cast<RequestKind>(message)) {
    case RequestKind::GetByTitle:
    case RequestKind::SaveLogin:
    case RequestKind::FindByPage:
    case RequestKind::CheckLogin:
        return static_cast<RequestKind>(message);
    }
    return std::nullopt;
}

std::string_view fieldText(const RequestBlock& block, BlockField field) {
    const char* begin = reinterpret_cast<const char*>(block.data() + field.offset);
    const char* end = std::find(begin, begin + field.size, '\0');
    return {begin, static_cast<std::size_t>(end - begin)};
}

void putFieldText(RequestBlock& block, BlockField field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.size - 1);
    std::copy_n(text.data(), n, block.data() + field.offset);
    block[field.offset + n] = 0;
    block[field.offset + field.size - 1] = 0;
}

std::uint32_t completionCode(const RequestBlock& block) {
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < 4; ++i)
        code |= static_cast<std::uint32_t>(block[kCompletionOffset + i]) << (8 * i);
    return code;
}

void setCompletionCode(RequestBlock& block, std::uint32_t code) {
    for (std::size_t i = 0; i < 4; ++i)
        block[kCompletionOffset + i] = static_cast<std::uint8_t>(code >> (8 * i));
}

RequestFields decodeRequest(RequestBlock& block) {
    for (std::size_t at : kTerminators)
        block[at] = 0;
    RequestFields fields;
    fields.userName = std::string(trimBlanks(fieldText(block, kUserNameField)));
    fields.password = fieldText(block, kPasswordField);
    fields.address = std::string(trimBlanks(fieldText(block, kAddressField)));
    fields.completionCode = completionCode(block);
    return fields;
}

void encodeReply(RequestBlock& block, RequestKind kind) {
    setCompletionCode(block, static_cast<std::uint32_t>(kind));
}

void encodeLoginReply(RequestBlock& block, RequestKind kind, std::string_view userName,
                      std::string_view password) {
    putFieldText(block, kPasswordField, password);
    putFieldText(block, kUserNameField, userName);
    encodeReply(block, kind);
}

} // namespace kh::browser
