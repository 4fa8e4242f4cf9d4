// What a machinist reads when a writer stopped: the cause in words, never a bare number.
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/files.h"
#include "tools/korvat/adapters/adapter.h"

namespace korvat::tool {
namespace {

// What the error numbers of the channel and the writers mean.
const char* Meaning(int code) {
    switch (code) {
        case 1001:
            return "the machine's port cannot be opened";
        case 1005:
            return "the program file cannot be created";
        case 1016:
            return "the line to the machine failed";
        case 1018:
            return "the machine did not answer in time";
        case 1019:
            return "the machine took no data in time";
        case 1020:
            return "a text does not fit the line's buffer";
        case 2101:
            return "this machine has no tool check";
        case 2102:
            return "a block does not fit the writer's buffer";
        case 2103:
            return "a value is not a finite number";
        case 2111:
            return "a value is beyond what the machine can take";
        default:
            return nullptr;
    }
}

}  // namespace

std::string DescribeLineError(int code, int number1, const char* text1, const char* text2) {
    auto text = [](const char* t) { return std::string(t ? t : ""); };
    // The device's path, with the name the machine's settings gave it where the two differ.
    std::string device = text(text2).empty() ? text(text1) : text(text2);
    if (!text(text2).empty() && !text(text1).empty() && text(text1) != text(text2))
        device += " (" + text(text1) + ")";
    switch (code) {
        case 1001:
            return device + " cannot be opened" +
                   (number1 > 0 ? ": " + std::string(std::strerror(number1)) : std::string()) +
                   " (error 1001)";
        case 1022:
            return "the line " + text(text1) +
                   " hung up: the machine or its adapter is gone (error 1022)";
        case 1023:
            return device + " is busy: another program has it open (error 1023)";
        default:
            return "";
    }
}

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
        case 1022:
            return DescribeLineError(code, 0, text1, text2);
        default:
            break;
    }
    std::string why = "the writer stopped with error " + std::to_string(code);
    if (const char* meaning = Meaning(code)) why += " (" + std::string(meaning) + ")";
    const char* separator = ": ";
    for (const char* text : {text1, text2}) {
        if (text == nullptr || text[0] == 0) continue;
        why += std::string(separator) + text;
        separator = " ";
    }
    return why;
}

void MissingOverride(const char* call) {
    throw std::logic_error(std::string("writer adapter does not override ") + call);
}

}  // namespace korvat::tool
