// "-chapters": chapters in FFmpeg's metadata format: ";FFMETADATA1", then for each chapter
//   [CHAPTER] / TIMEBASE=1/1000 / START=<ms> / END=<ms> / title=<title>
// on lines of their own. The first chapter, "Start", runs from 0 to the first mark; each
// mark begins a chapter titled with its letter and time ("D 001:41.000") that ends at the
// next one; the last ends at the last record read, or at its own start if that record is
// earlier. Chapters are whole milliseconds, and an empty one helps no player, so a chapter
// begins only at the first mark of each millisecond: a mark at 0 ms takes the place of
// "Start", and a later mark in the same millisecond as the one before it adds nothing.
// Without marks the document is the header line alone. Titles hold only letters, digits,
// ' ', ':' and '.', none of which the format needs escaped.
#include <algorithm>
#include <optional>

#include "common/time_units.h"
#include "report/document.h"
#include "report/text_builders.h"
#include "report/text_writer.h"

namespace cutspot {
namespace {

// Whole milliseconds, truncated toward zero like the cut list's times.
std::int64_t ms_of(std::int64_t ns) {
  return ns / NS_PER_MS;
}

class chapters_document final : public document_renderer {
 public:
  chapters_document(const report_context& context, output_buffer* out)
      : context_(context), w_(out) {}

  void begin() override { w_ << ";FFMETADATA1\n"; }

  void mark(const cut_mark& mark) override {
    any_mark_ = true;
    const std::int64_t ms = ms_of(mark.ns);
    if (ms > start_ms_) {
      print_chapter(ms);
      start_ms_ = ms;
      opened_by_ = mark;
    } else if (!opened_by_) {
      opened_by_ = mark;  // A mark at 0 ms opens the document instead of "Start".
    }
    // Otherwise the mark falls in the millisecond of the chapter it would end, and
    // adds nothing.
  }

  void end() override {
    if (any_mark_) print_chapter(std::max(ms_of(context_.scan.last_ns), start_ms_));
  }

 private:
  // The chapter waiting for its end.
  void print_chapter(std::int64_t end_ms) {
    w_ << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" << start_ms_ << "\nEND=" << end_ms << "\ntitle=";
    if (opened_by_) {
      w_ << opened_by_->kind << ' ' << format_time(opened_by_->ns).view();
    } else {
      w_ << "Start";
    }
    w_ << '\n';
  }

  const report_context& context_;
  text_writer w_;
  bool any_mark_ = false;
  std::int64_t start_ms_ = 0;
  std::optional<cut_mark> opened_by_;  // Nothing for the opening chapter "Start".
};

}  // namespace

std::unique_ptr<document_renderer> make_chapters_document(const report_context& context,
                                                          output_buffer* out) {
  return std::make_unique<chapters_document>(context, out);
}

}  // namespace cutspot
