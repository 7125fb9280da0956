#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cutspot {
namespace {

command_line parse(std::vector<std::string> args) {
  std::vector<const char*> argv = {"cutspot"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parse_command_line(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, OptionsAndFallbacks) {
  struct {
    std::vector<std::string> args;
    command action;
    std::uint32_t period, ignore;
    bool graph;
    std::string file;
  } cases[] = {{{}, command::usage, 300, 0, false, ""},
               {{"show.evt"}, command::run, 300, 0, false, "show.evt"},
               {{"show.evt", "-graph"}, command::run, 300, 0, true, "show.evt"},
               {{"-graph", "show.evt"}, command::run, 300, 0, true, "show.evt"},
               {{"show.evt", "-p100"}, command::run, 300, 0, false, "show.evt"},
               {{"show.evt", "x", "-graph"}, command::run, 300, 0, false, "show.evt"},
               {{"-x", "show.evt"}, command::usage, 300, 0, false, ""},
               {{"-p", "show.evt"}, command::run, 210, 0, false, "show.evt"},
               {{"-p0", "show.evt"}, command::run, 210, 0, false, "show.evt"},
               {{"-pabc", "show.evt"}, command::run, 210, 0, false, "show.evt"},
               {{"-p45", "show.evt"}, command::run, 45, 0, false, "show.evt"},
               {{"-i500", "show.evt"}, command::run, 300, 0, false, "show.evt"},
               {{"-i300", "show.evt"}, command::run, 300, 300, false, "show.evt"},
               {{"-p100", "-i60", "show.evt"}, command::run, 100, 60, false, "show.evt"},
               {{"-i60", "-p100", "-p50", "show.evt"}, command::run, 50, 0, false, "show.evt"},
               {{"-p-5", "show.evt"}, command::run, 4294967291u, 0, false, "show.evt"},
               {{"-p-5", "-i7", "show.evt"}, command::run, 4294967291u, 7, false, "show.evt"},
               {{"-i0", "show.evt"}, command::run, 300, 0, false, "show.evt"},
               {{"-graph"}, command::usage, 300, 0, false, ""},
               {{"-p5", "-graph"}, command::usage, 5, 0, false, ""},
               {{"-graph", "-graph", "-p7"}, command::usage, 300, 0, true, ""},
               {{"-Graph", "show.evt"}, command::usage, 300, 0, false, ""},
               {{"-graph", "x.evt", "-p7"}, command::run, 300, 0, true, "x.evt"},
               {{"SHOW.EVT"}, command::usage, 300, 0, false, ""},
               {{"show.evt.bak"}, command::run, 300, 0, false, "show.evt.bak"},
               {{"dir.evt/show"}, command::run, 300, 0, false, "dir.evt/show"},
               {{"show.evt", "extra"}, command::run, 300, 0, false, "show.evt"},
               {{"--help"}, command::help, 300, 0, false, ""},
               {{"-h", "show.evt"}, command::help, 300, 0, false, ""},
               {{"--version", "x"}, command::version, 300, 0, false, ""},
               {{"show.evt", "--help"}, command::run, 300, 0, false, "show.evt"},
               {{"-p10", "--help", "x.evt"}, command::usage, 10, 0, false, ""}};
  for (auto& c : cases) {
    command_line cl = parse(c.args);
    std::string args = ::testing::PrintToString(c.args);
    EXPECT_EQ(cl.action, c.action) << args;
    EXPECT_EQ(cl.settings.marks.period_seconds, c.period) << args;
    EXPECT_EQ(cl.settings.marks.ignore_seconds, c.ignore) << args;
    EXPECT_EQ(cl.settings.show_graph, c.graph) << args;
    EXPECT_EQ(cl.file_name, c.file) << args;
  }
}

TEST(CommandLine, Numbers) {
  struct {
    const char* text;
    std::uint32_t value;
  } cases[] = {{"", 0},
               {"45", 45},
               {"  \t\n45", 45},
               {"+45", 45},
               {"-5", 4294967291u},
               {"12abc", 12},
               {"abc", 0},
               {"- 5", 0},
               {"--5", 0},
               {"2147483647", 2147483647u},
               {"2147483648", 2147483647u},
               {"99999999999999999999999999", 2147483647u},
               {"-2147483648", 2147483648u},
               {"-2147483649", 2147483648u},
               {"-99999999999999999999999999", 2147483648u},
               {"0007", 7},
               {"4294967295", 2147483647u}};
  for (auto c : cases) EXPECT_EQ(parse_option_number(c.text), c.value) << '"' << c.text << '"';
}

TEST(CommandLine, DocumentOptions) {
  EXPECT_EQ(parse({"-json", "x.evt"}).settings.format, output_format::json);
  EXPECT_EQ(parse({"-svg", "-edl", "x.evt"}).settings.format, output_format::edl);
  EXPECT_EQ(parse({"-json", "-chapters", "x.evt"}).settings.format, output_format::chapters);
  EXPECT_EQ(parse({"x.evt", "-json"}).settings.format, output_format::cut_list);
  for (auto args : std::vector<std::vector<std::string>>{{"-graph", "-json", "x.evt"},
                                                         {"-svg", "x.evt", "-graph"},
                                                         {"-edl", "-graph", "x.evt"}}) {
    command_line cl = parse(args);
    EXPECT_EQ(cl.action, command::usage) << ::testing::PrintToString(args);
    EXPECT_NE(cl.refusal.find("-graph cannot be combined with -"), std::string::npos);
  }
}

}  // namespace
}  // namespace cutspot
