#include "cli/CliJson.h"

#include <cstdint>
#include <cstdio>

namespace qzr::cli {

namespace {

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<uint8_t>(text[i]);
        std::size_t extra = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<uint8_t>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            code = code << 6 | (d & 0x3F);
        }
        // Overlong forms, surrogates and codes past the last one are not UTF-8.
        static constexpr uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
        if (code < kLeast[extra] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += extra + 1;
    }
    return true;
}

void appendEscape(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", code);
    out += buffer;
}

}  // namespace

std::string jsonString(std::string_view text) {
    const bool utf8 = isUtf8(text);
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        switch (ch) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8)) {
            appendEscape(out, c);
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

long long decimalNumber(const std::string& text) {
    long long n = 0;
    if (text.empty() || text.size() > 18) return 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

void JsonObject::key(std::string_view key) {
    if (text_.size() > 1) text_ += ", ";
    text_ += jsonString(key);
    text_ += ": ";
}

JsonObject& JsonObject::add(std::string_view k, std::string_view text) {
    key(k);
    text_ += jsonString(text);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, const std::optional<std::string>& text) {
    key(k);
    text_ += text && !text->empty() ? jsonString(*text) : "null";
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, long long number) {
    key(k);
    text_ += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool value) {
    key(k);
    text_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::addRaw(std::string_view k, std::string_view json) {
    key(k);
    text_ += json;
    return *this;
}

}  // namespace qzr::cli
