#include "app/translation_jobs.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessor {

TranslationContext TranslationContextOf(const Analysis& analysis) {
  return MakeTranslationContext(analysis.imports, analysis.subroutines, analysis.imageBase, analysis.sections,
                                analysis.file);
}

// What the object and its workers share. `latest` changes and results are delivered
// under `deliverLock`, so a result is delivered only while its request is the latest
// and no later request can start in the middle of a delivery.
struct TranslationJobs::Shared {
  Deliver deliver;
  Translator translate;
  std::mutex deliverLock;
  std::uint64_t latest = 0;
  bool closed = false;
  std::mutex runningLock;
  std::condition_variable idle;
  std::size_t running = 0;
};

// The translation context of one analysis, built once by the first job that needs it
// and then read by every job of that analysis.
struct TranslationJobs::ContextCell {
  explicit ContextCell(AnalysisSnapshot a) : analysis(std::move(a)) {}
  const TranslationContext& Get() {
    std::call_once(once, [this] { context = TranslationContextOf(*analysis); });
    return context;
  }
  const AnalysisSnapshot analysis;
  std::once_flag once;
  TranslationContext context;
};

TranslationJobs::TranslationJobs(Deliver deliver, Translator translate) : shared_(std::make_shared<Shared>()) {
  shared_->deliver = std::move(deliver);
  shared_->translate = std::move(translate);
}

TranslationJobs::~TranslationJobs() {
  {
    std::lock_guard lock(shared_->deliverLock);
    shared_->closed = true;
  }
  WaitIdle();
}

std::uint64_t TranslationJobs::Select(AnalysisSnapshot analysis, std::int64_t row) {
  if (!analysis || row < 0 || static_cast<std::uint64_t>(row) >= analysis->subroutines.size()) return 0;
  if (!context_ || context_->analysis != analysis) context_ = std::make_shared<ContextCell>(analysis);
  std::string listing = analysis->subroutines[static_cast<std::size_t>(row)].listing;
  std::uint64_t request = 0;
  {
    std::lock_guard lock(shared_->deliverLock);
    request = ++shared_->latest;
  }
  {
    std::lock_guard lock(shared_->runningLock);
    ++shared_->running;
  }
  std::thread([shared = shared_, cell = context_, listing = std::move(listing), request] {
    const std::string text = shared->translate(listing, cell->Get());
    {
      std::lock_guard lock(shared->deliverLock);
      if (!shared->closed && shared->latest == request && shared->deliver) shared->deliver(request, text);
    }
    std::lock_guard lock(shared->runningLock);
    if (--shared->running == 0) shared->idle.notify_all();
  }).detach();
  return request;
}

bool TranslationJobs::IsLatest(std::uint64_t request) const {
  std::lock_guard lock(shared_->deliverLock);
  return request != 0 && shared_->latest == request;
}

void TranslationJobs::WaitIdle() {
  std::unique_lock lock(shared_->runningLock);
  shared_->idle.wait(lock, [this] { return shared_->running == 0; });
}

}  // namespace tessor
