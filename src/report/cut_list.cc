// The cut list: "F<recording>\n", one "<A|D><time>\n" line per mark, then "E\n".
// The end line is printed only after a complete pass, so a consumer that sees it knows
// the list is whole.
#include "report/document.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

class cut_list final : public document_renderer {
 public:
  cut_list(const report_context& context, output_buffer* out) : context_(context), out_(out) {}

  void begin() override { text_writer(out_) << 'F' << context_.mpeg_name << '\n'; }

  void mark(const cut_mark& mark) override {
    char* line = out_->reserve(TIME_TEXT_MAX + 2);
    line[0] = mark.kind;
    std::size_t length = 1 + write_time(line + 1, mark.ns);
    line[length++] = '\n';
    out_->commit(length);
  }

  void end() override { out_->append("E\n"); }

 private:
  const report_context& context_;
  output_buffer* out_;
};

}  // namespace

std::unique_ptr<document_renderer> make_cut_list(const report_context& context,
                                                 output_buffer* out) {
  return std::make_unique<cut_list>(context, out);
}

}  // namespace cutspot
