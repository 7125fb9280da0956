// "-edl": an edit decision list with one scene marker (action 2) per mark, start and end
// both the mark in seconds with three decimals, truncated to the millisecond as the cut
// list's times are:
//   101.000<TAB>101.000<TAB>2
#include "report/document.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

class edl_document final : public document_renderer {
 public:
  edl_document(const report_context&, output_buffer* out) : w_(out) {}

  void begin() override {}

  void mark(const cut_mark& mark) override {
    write_seconds(w_, mark.ns);
    w_ << '\t';
    write_seconds(w_, mark.ns);
    w_ << "\t2\n";
  }

  void end() override {}

 private:
  text_writer w_;
};

}  // namespace

std::unique_ptr<document_renderer> make_edl_document(const report_context& context,
                                                     output_buffer* out) {
  return std::make_unique<edl_document>(context, out);
}

}  // namespace cutspot
