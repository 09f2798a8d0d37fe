// Translation jobs: the pseudo-code of a selected subroutine, translated on a worker
// thread of its own. A job owns what it reads (the analysis snapshot it was started for
// and a copy of the listing); only the result of the latest request is delivered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/analysis.h"
#include "pseudocode/translate.h"

namespace tessor {

// What a translation of a subroutine of this analysis reads: its import rows, its
// subroutine array, image base, section table and file bytes.
TranslationContext TranslationContextOf(const Analysis& analysis);

class TranslationJobs {
 public:
  // Called on the job's worker thread with the request number and the pseudo-code, for
  // a job that is still the latest request when it finishes. Deliveries never overlap,
  // and the callback must not call back into this object: a window posts the text to
  // its own thread (and may compare the number with IsLatest again there).
  using Deliver = std::function<void(std::uint64_t request, const std::string& text)>;

  // What a job runs on its listing; TranslateListing unless a test puts a stand-in.
  using Translator = std::function<std::string(std::string_view listing, const TranslationContext& context)>;

  explicit TranslationJobs(Deliver deliver, Translator translate = TranslateListing);
  // Waits for the running jobs; their results are no longer delivered.
  ~TranslationJobs();
  TranslationJobs(const TranslationJobs&) = delete;
  TranslationJobs& operator=(const TranslationJobs&) = delete;

  // Starts translating row `row` (0-based) of the analysis' subroutine array and returns
  // the request number (1, 2, ...). No analysis, row -1 (no row selected) or a row
  // beyond the array starts nothing and returns 0; the latest request stays as it was.
  // Called from one thread.
  std::uint64_t Select(AnalysisSnapshot analysis, std::int64_t row);

  // True while `request` is the latest request started.
  bool IsLatest(std::uint64_t request) const;

  // Returns when no job is running.
  void WaitIdle();

 private:
  struct Shared;
  struct ContextCell;
  struct Workers;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<Workers> workers_;
  std::shared_ptr<ContextCell> context_;  // the context of the analysis selected last
};

}  // namespace tessor
