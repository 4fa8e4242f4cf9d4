// What a machinist reads when a writer stopped: the cause in words, never a bare number.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "tools/korvat/adapters/adapter.h"

namespace korvat::tool {

std::string DescribeWriterError(int code, const char* text1, const char* text2) {
    switch (code) {
        case 1007: {  // a write that did not go through: the system's reason
            int reason = platform::LastWriteError();
            std::string why = reason != 0 ? std::strerror(reason) : "the write failed";
            why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
            return why;
        }
        case 0:
            return "stopped by Escape";
        default:
            break;
    }
    std::string why = "the writer stopped with error " + std::to_string(code);
    const char* separator = ": ";
    for (const char* text : {text1, text2}) {
        if (text == nullptr || text[0] == 0) continue;
        why += std::string(separator) + text;
        separator = " ";
    }
    return why;
}

}  // namespace korvat::tool
