// The small texts: time stamps, level bars, numbers, and escaping of names for JSON, XML
// and diagnostics.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "common/time_units.h"
#include "report/escape.h"
#include "report/output_buffer.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

// Truncated toward zero, not rounded; minutes are never cut, and beyond 2^32 ms (49.7
// days) they go on instead of wrapping.
TEST(Text, TimeStamps) {
  const std::int64_t times[] = {0,           999999,        1000000,        83456000000,
                                59999999999, 3600000000000, 60000000000000, 4294967296000000,
                                -999999,     -1000000,      INT64_MAX,      INT64_MIN};
  std::string texts;
  for (std::int64_t ns : times) texts += std::string(format_time(ns).view()) + " ";
  EXPECT_EQ(texts,
            "000:00.000 000:00.000 000:00.001 001:23.456 000:59.999 060:00.000 1000:00.000 "
            "71582:47.296 000:00.000 -000:00.001 153722867:16.854 -153722867:16.854 ");
}

TEST(Text, IncrementalTimeStampsEqualFreshOnes) {
  // Runs of times as files hold them: steady steps across seconds and minutes, steps
  // back, jumps, negative times and the far ends.
  std::vector<std::int64_t> times;
  for (std::int64_t t = 0; t < 185 * NS_PER_SECOND; t += 7 * NS_PER_MS + 123) times.push_back(t);
  times.insert(times.end(),
               {59999999999, 60000000000, 59000000000, 1, 0, -1, -1000000, -60000000001,
                120000000000, 180999999999, 181000000000, INT64_MAX, INT64_MIN, 0, 999999, 1000000,
                3599999999999, 3600000000000, 4294967296000000});
  std::uint64_t x = 88172645463325252u;  // A fixed pseudo-random walk.
  std::int64_t t = 0;
  for (int i = 0; i < 20000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    t += static_cast<std::int64_t>(x % 3000000000) - 300000000;
    times.push_back(t);
  }
  time_stamper stamps;
  for (std::int64_t ns : times) {
    char text[TIME_TEXT_MAX];
    const std::size_t n = stamps.write(text, ns);
    ASSERT_EQ(std::string_view(text, n), format_time(ns).view()) << ns;
  }
}

TEST(Text, BarsRoundUpAndClip) {
  // The largest level does not wrap to an empty bar.
  const struct {
    std::uint32_t level;
    std::size_t video, audio;
  } rows[] = {{0, 0, 0},     {1, 1, 1},      {8, 1, 1},           {9, 2, 1},   {64, 8, 1},
              {65, 9, 1},    {200, 9, 1},    {201, 9, 2},         {256, 9, 2}, {9600, 9, 48},
              {9601, 9, 49}, {10000, 9, 49}, {4294967295u, 9, 49}};
  for (const auto& r : rows) {
    const std::string video(video_bar(r.level)), audio(audio_bar(r.level));
    EXPECT_EQ(video, std::string(r.video, '#') + std::string(9 - r.video, ' ')) << r.level;
    EXPECT_EQ(audio, std::string(r.audio, '=') + std::string(49 - r.audio, ' ')) << r.level;
  }
}

// After every leading white space of the C locale, clamped to the signed 32-bit range.
TEST(Text, OptionNumbers) {
  std::string values;
  for (const char* text :
       {"300", "", "x5", "12abc", " \t\n\v\f\r42", "+7", "-5", "2147483647", "2147483648",
        "99999999999999999999999", "-2147483648", "-99999999999999999999999", "- 5", "007"})
    values += std::to_string(parse_option_number(text)) + " ";
  EXPECT_EQ(
      values,
      "300 0 0 12 42 7 4294967291 2147483647 2147483647 2147483647 2147483648 2147483648 0 7 ");
}

std::string written(void (*write)(text_writer&, std::string_view), std::string_view bytes) {
  string_sink sink;
  {
    output_buffer out(sink);
    text_writer w(&out);
    write(w, bytes);
    EXPECT_TRUE(out.flush());
  }
  return sink.text;
}

TEST(Escape, JsonXmlAndDiagnostics) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view name;
    const char* json;
    const char* xml;
    const char* quoted;
  } rows[] = {
      {"show.evt", R"("show.evt")", "show.evt", "'show.evt'"},
      {R"(a"b\c)", R"("a\"b\\c")", "a&quot;b\\c", R"('a"b\\c')"},
      {"it's <&>", R"("it's <&>")", "it&#39;s &lt;&amp;&gt;", R"('it\'s <&>')"},
      {"\b\f\n\r\t\x01\x1f\x7f"sv,
       R"("\b\f\n\r\t\u0001\u001f)"
       "\x7f\"",
       "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"
       "\xef\xbf\xbd",
       R"('\x08\x0c\x0a\x0d\x09\x01\x1f\x7f')"},
      {"\0"sv, R"("\u0000")", "\xef\xbf\xbd", R"('\x00')"},
      {"\x1b[2J"sv, R"("\u001b[2J")", "\xef\xbf\xbd[2J", R"('\x1b[2J')"},
      // Well-formed UTF-8 stays, up to four bytes.
      {"caf\xc3\xa9 \xf0\x9f\x8e\xac", "\"caf\xc3\xa9 \xf0\x9f\x8e\xac\"",
       "caf\xc3\xa9 \xf0\x9f\x8e\xac", "'caf\xc3\xa9 \xf0\x9f\x8e\xac'"},
      // C1 controls are characters to JSON, but not to XML or a terminal.
      {"\xc2\x85", "\"\xc2\x85\"", "\xef\xbf\xbd", R"('\xc2\x85')"},
      // Ill-formed: a lone continuation, an overlong form, a surrogate, beyond U+10FFFF,
      // and a truncated character at the end.
      {"\x80", R"("\ufffd")", "\xef\xbf\xbd", R"('\x80')"},
      {"\xc0\xaf", R"("\ufffd\ufffd")", "\xef\xbf\xbd\xef\xbf\xbd", R"('\xc0\xaf')"},
      {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd",
       R"('\xed\xa0\x80')"},
      {"\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")",
       "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd", R"('\xf4\x90\x80\x80')"},
      {"a\xe2\x82", R"("a\ufffd")", "a\xef\xbf\xbd", R"('a\xe2\x82')"},
      // Not characters for XML.
      {"\xef\xbf\xbe", "\"\xef\xbf\xbe\"", "\xef\xbf\xbd", "'\xef\xbf\xbe'"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(written(write_json_string, r.name), r.json) << r.quoted;
    EXPECT_EQ(written(write_xml_text, r.name), r.xml) << r.quoted;
    EXPECT_EQ(quote_name(r.name), r.quoted);
  }
}

TEST(Text, WriterDecimals) {
  const auto decimals = [](text_writer& w, std::string_view) {
    w << INT64_MIN << ' ' << INT64_MAX << ' ' << UINT64_MAX << ' ' << std::int32_t{-1} << ' ' << 0;
  };
  EXPECT_EQ(written(decimals, ""),
            "-9223372036854775808 9223372036854775807 18446744073709551615 -1 0");
}

}  // namespace
}  // namespace cutspot
