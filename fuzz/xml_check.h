// A small well-formedness checker for the "-svg" picture: an optional XML declaration,
// one root element, tags that balance, attributes quoted and unique, no raw '<' or '&'
// in text or values, only the five predefined entities and character references, and
// well-formed UTF-8 of XML characters throughout (and none of C1 or DEL, which the
// picture promises to replace). Start tags and text reach a handler as they come, raw;
// decode_xml turns either into characters.
#ifndef CUTSPOT_FUZZ_XML_CHECK_H_
#define CUTSPOT_FUZZ_XML_CHECK_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "utf8_check.h"

namespace cutspot::fuzzing {

using xml_attributes = std::vector<std::pair<std::string_view, std::string_view>>;

inline bool is_xml_char(std::uint32_t c) {
  if (c == 0x9 || c == 0xA || c == 0xD) return true;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  return (c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The character a reference after '&' stands for; *length gets the reference's length,
// ';' included. Nothing when it is not a valid reference.
inline std::optional<std::uint32_t> xml_reference(std::string_view text, std::size_t* length) {
  const std::size_t end = text.find(';');
  if (end == std::string_view::npos || end > 12) return std::nullopt;
  *length = end + 1;
  const std::string_view name = text.substr(0, end);
  if (name == "amp") return '&';
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  if (name.size() < 2 || name[0] != '#') return std::nullopt;
  const bool hex = name[1] == 'x';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return std::nullopt;
  std::uint32_t code = 0;
  for (char c : digits) {
    std::uint32_t d = 0;
    if (c >= '0' && c <= '9') {
      d = static_cast<std::uint32_t>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      d = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      d = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    code = code * (hex ? 16 : 10) + d;
    if (code > 0x10FFFF) return std::nullopt;
  }
  if (!is_xml_char(code)) return std::nullopt;
  return code;
}

// Raw text or an attribute value, already checked, as characters.
inline std::string decode_xml(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] != '&') {
      out.push_back(raw[i++]);
      continue;
    }
    std::size_t length = 0;
    const std::optional<std::uint32_t> code = xml_reference(raw.substr(i + 1), &length);
    append_utf8(&out, code.value_or(0xFFFD));
    i += 1 + length;
  }
  return out;
}

// Handler: start(name, attributes, depth), text(raw, depth of the enclosing element),
// end(name). Returns the reason when the document is not well-formed, or nothing.
template <typename Handler>
std::optional<std::string> check_xml(std::string_view doc, Handler& handler) {
  // Raw bytes rather than string_view's members: this runs over every byte of a picture
  // at every execution.
  const char* const d = doc.data();
  // Characters first, all of them: every later step may then look at bytes alone.
  for (std::size_t i = 0; i < doc.size();) {
    const auto b = static_cast<unsigned char>(d[i]);
    if (b >= 0x20 && b < 0x7F) {
      ++i;
      continue;
    }
    std::uint32_t code = 0;
    const std::size_t n = utf8_decode(doc.substr(i), &code);
    if (n == 0) return "ill-formed UTF-8 at " + std::to_string(i);
    if (!is_xml_char(code)) return "not an XML character at " + std::to_string(i);
    i += n;
  }

  std::size_t pos = 0;
  const auto at = [&](std::string_view text) {
    return doc.size() - pos >= text.size() && std::memcmp(d + pos, text.data(), text.size()) == 0;
  };
  auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  auto skip_space = [&] {
    while (pos < doc.size() && is_space(d[pos])) ++pos;
  };
  auto is_name_char = [](char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           (!first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
  };
  auto read_name = [&]() -> std::string_view {
    const std::size_t start = pos;
    while (pos < doc.size() && is_name_char(d[pos], pos == start)) ++pos;
    return doc.substr(start, pos - start);
  };
  // References in text or a value; '<' is refused by the caller.
  auto check_references = [&](std::string_view raw) {
    for (std::size_t i = raw.find('&'); i != std::string_view::npos; i = raw.find('&', i + 1)) {
      std::size_t length = 0;
      if (!xml_reference(raw.substr(i + 1), &length)) return false;
    }
    return true;
  };
  auto skip_comment = [&]() -> bool {
    const std::size_t end = doc.find("-->", pos + 4);
    if (end == std::string_view::npos) return false;
    if (doc.substr(pos + 4, end - pos - 4).find("--") != std::string_view::npos) return false;
    pos = end + 3;
    return true;
  };

  if (doc.starts_with("<?xml")) {
    const std::size_t end = doc.find("?>");
    if (end == std::string_view::npos || !is_space(d[5])) return "unended XML declaration";
    pos = end + 2;
  }
  // Comments and white space around the root.
  auto skip_misc = [&]() -> bool {
    for (;;) {
      skip_space();
      if (at("<!--")) {
        if (!skip_comment()) return false;
        continue;
      }
      return true;
    }
  };
  if (!skip_misc()) return "bad comment before the root";
  if (pos >= doc.size() || d[pos] != '<') return "no root element";

  std::vector<std::string_view> open;
  xml_attributes attributes;
  bool root_done = false;
  while (!root_done) {
    if (pos >= doc.size()) return "document ends inside <" + std::string(open.back()) + ">";
    if (d[pos] != '<') {
      const std::size_t end = std::min(doc.find('<', pos), doc.size());
      const std::string_view raw = doc.substr(pos, end - pos);
      if (raw.find("]]>") != std::string_view::npos) return "]]> in text";
      if (!check_references(raw)) return "bad reference in text: " + std::string(raw);
      handler.text(raw, open.size());
      pos = end;
      continue;
    }
    if (at("<!--")) {
      if (!skip_comment()) return "bad comment";
      continue;
    }
    if (at("</")) {
      pos += 2;
      const std::string_view name = read_name();
      skip_space();
      if (pos >= doc.size() || d[pos] != '>') return "bad end tag";
      ++pos;
      if (open.empty() || open.back() != name) return "unbalanced </" + std::string(name) + ">";
      handler.end(name);
      open.pop_back();
      root_done = open.empty();
      continue;
    }
    ++pos;
    const std::string_view name = read_name();
    if (name.empty()) return "bad tag at " + std::to_string(pos);
    attributes.clear();
    for (;;) {
      const std::size_t before = pos;
      skip_space();
      if (pos >= doc.size()) return "document ends in a tag";
      if (d[pos] == '>' || at("/>")) break;
      if (pos == before) return "no space before an attribute in <" + std::string(name) + ">";
      const std::string_view attribute = read_name();
      if (attribute.empty()) return "bad attribute in <" + std::string(name) + ">";
      skip_space();
      if (pos >= doc.size() || d[pos] != '=') return "attribute without a value";
      ++pos;
      skip_space();
      if (pos >= doc.size() || (d[pos] != '"' && d[pos] != '\'')) {
        return "unquoted attribute " + std::string(attribute);
      }
      const char quote = d[pos++];
      const std::size_t end = doc.find(quote, pos);
      if (end == std::string_view::npos) return "unended attribute value";
      const std::string_view value = doc.substr(pos, end - pos);
      if (value.find('<') != std::string_view::npos || !check_references(value)) {
        return "bad attribute value " + std::string(value);
      }
      for (const auto& [other, unused] : attributes) {
        if (other == attribute) return "repeated attribute " + std::string(attribute);
      }
      attributes.emplace_back(attribute, value);
      pos = end + 1;
    }
    handler.start(name, attributes, open.size());
    if (d[pos] == '/') {
      pos += 2;
      handler.end(name);
      root_done = open.empty();
    } else {
      ++pos;
      open.push_back(name);
    }
  }
  if (!skip_misc() || pos != doc.size()) return "content after the root element";
  return std::nullopt;
}

}  // namespace cutspot::fuzzing

#endif  // CUTSPOT_FUZZ_XML_CHECK_H_
