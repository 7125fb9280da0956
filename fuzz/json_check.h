// A strict JSON reader for checking the "-json" document: exactly RFC 8259 (one value,
// no trailing commas, no leading zeros, no lone surrogates, well-formed UTF-8, control
// characters only escaped) and no duplicate member names. It builds a small tree, so the
// checks can compare members with what the run should have written.
#ifndef CUTSPOT_FUZZ_JSON_CHECK_H_
#define CUTSPOT_FUZZ_JSON_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "utf8_check.h"

namespace cutspot::fuzzing {

struct json_member;

struct json_value {
  enum class type { null, boolean, number, string, array, object } kind = type::null;
  std::string text;  // A number as written, a string decoded, "true" or "false".
  std::vector<json_value> items;
  std::vector<json_member> members;  // In the order written.

  const json_value* member(std::string_view name) const;
};

struct json_member {
  std::string first;  // The name.
  json_value second;
};

inline const json_value* json_value::member(std::string_view name) const {
  for (const json_member& m : members) {
    if (m.first == name) return &m.second;
  }
  return nullptr;
}

class json_reader {
 public:
  explicit json_reader(std::string_view text) : text_(text) {}

  // The document's one value, or nothing when it is not strict JSON.
  std::optional<json_value> read() {
    json_value value;
    skip_space();
    if (!read_value(&value, 0)) return std::nullopt;
    skip_space();
    if (pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  static constexpr int MAX_DEPTH = 64;

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return at_end() ? '\0' : text_[pos_]; }

  void skip_space() {
    while (!at_end() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
      ++pos_;
    }
  }

  bool literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool read_value(json_value* value, int depth) {
    if (depth > MAX_DEPTH) return false;
    switch (peek()) {
      case '{':
        return read_object(value, depth);
      case '[':
        return read_array(value, depth);
      case '"':
        value->kind = json_value::type::string;
        return read_string(&value->text);
      case 't':
        value->kind = json_value::type::boolean;
        value->text = "true";
        return literal("true");
      case 'f':
        value->kind = json_value::type::boolean;
        value->text = "false";
        return literal("false");
      case 'n':
        value->kind = json_value::type::null;
        return literal("null");
      default:
        value->kind = json_value::type::number;
        return read_number(&value->text);
    }
  }

  bool read_object(json_value* value, int depth) {
    value->kind = json_value::type::object;
    ++pos_;
    skip_space();
    if (peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      std::string key;
      if (peek() != '"' || !read_string(&key)) return false;
      if (value->member(key) != nullptr) return false;
      skip_space();
      if (peek() != ':') return false;
      ++pos_;
      skip_space();
      json_value member;
      if (!read_value(&member, depth + 1)) return false;
      value->members.push_back({std::move(key), std::move(member)});
      skip_space();
      if (peek() == '}') {
        ++pos_;
        return true;
      }
      if (peek() != ',') return false;
      ++pos_;
      skip_space();
    }
  }

  bool read_array(json_value* value, int depth) {
    value->kind = json_value::type::array;
    ++pos_;
    skip_space();
    if (peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      json_value item;
      if (!read_value(&item, depth + 1)) return false;
      value->items.push_back(std::move(item));
      skip_space();
      if (peek() == ']') {
        ++pos_;
        return true;
      }
      if (peek() != ',') return false;
      ++pos_;
      skip_space();
    }
  }

  static bool is_digit(char c) { return c >= '0' && c <= '9'; }

  bool read_number(std::string* out) {
    const std::size_t start = pos_;
    if (peek() == '-') ++pos_;
    if (peek() == '0') {
      ++pos_;
    } else if (is_digit(peek())) {
      while (is_digit(peek())) ++pos_;
    } else {
      return false;
    }
    if (peek() == '.') {
      ++pos_;
      if (!is_digit(peek())) return false;
      while (is_digit(peek())) ++pos_;
    }
    if (peek() == 'e' || peek() == 'E') {
      ++pos_;
      if (peek() == '+' || peek() == '-') ++pos_;
      if (!is_digit(peek())) return false;
      while (is_digit(peek())) ++pos_;
    }
    out->assign(text_.substr(start, pos_ - start));
    return true;
  }

  std::optional<std::uint32_t> hex4() {
    if (text_.size() - pos_ < 4) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      v <<= 4;
      if (is_digit(c)) {
        v |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        v |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        v |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return v;
  }

  bool read_string(std::string* out) {
    ++pos_;  // The opening quote.
    for (;;) {
      if (at_end()) return false;
      const auto c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return false;
      if (c != '\\') {
        const std::size_t n = utf8_length(text_.substr(pos_));
        if (n == 0) return false;
        out->append(text_.substr(pos_, n));
        pos_ += n;
        continue;
      }
      ++pos_;
      if (at_end()) return false;
      const char e = text_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out->push_back(e);
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u': {
          std::optional<std::uint32_t> unit = hex4();
          if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF)) return false;
          std::uint32_t code = *unit;
          if (code >= 0xD800 && code <= 0xDBFF) {
            if (!literal("\\u")) return false;
            std::optional<std::uint32_t> low = hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
          }
          append_utf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_JSON_CHECK_H_
