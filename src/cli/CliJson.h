#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qzr::cli {

// A JSON string: quotes, backslashes and control characters escaped. The system's texts are 8-bit: a text
// that is not valid UTF-8 has each byte from 0x80 up written as the character of that code (\u00XX), so
// the document stays valid.
std::string jsonString(std::string_view text);

// The number a decimal text shows (a pass count); 0 for a text that is not one.
long long decimalNumber(const std::string& text);

// One JSON object, built member by member in order.
class JsonObject {
  public:
    JsonObject& add(std::string_view key, std::string_view text);
    JsonObject& add(std::string_view key, const char* text) { return add(key, std::string_view(text)); }
    JsonObject& add(std::string_view key, const std::string& text) {
        return add(key, std::string_view(text));
    }
    JsonObject& add(std::string_view key, const std::optional<std::string>& text);  // null when empty
    JsonObject& add(std::string_view key, long long number);
    JsonObject& add(std::string_view key, int number) { return add(key, static_cast<long long>(number)); }
    JsonObject& add(std::string_view key, bool value);
    // A value that is JSON already (an array or object).
    JsonObject& addRaw(std::string_view key, std::string_view json);
    std::string str() const { return text_ + "}"; }

  private:
    void key(std::string_view key);
    std::string text_ = "{";
};

}  // namespace qzr::cli
