#include "app/translation_jobs.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

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

// The worker threads, joined rather than detached: a thread that ends on its own while
// the program goes on can hang the MinGW threads library under Wine. Finished workers
// are joined at the next request, the rest when the object waits for them.
struct TranslationJobs::Workers {
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> list;

  void JoinFinished() {
    for (auto it = list.begin(); it != list.end();) {
      if (it->done->load()) {
        it->thread.join();
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  void JoinAll() {
    for (auto& w : list) w.thread.join();
    list.clear();
  }
};

// The translation context of one analysis, built once by the first job that needs it
// and then read by every job of that analysis.
struct TranslationJobs::ContextCell {
  explicit ContextCell(AnalysisSnapshot a) : analysis(std::move(a)) {}
  // A lock and a flag rather than std::call_once: the MinGW threads library's once
  // primitive can hang when several threads meet in it.
  const TranslationContext& Get() {
    std::lock_guard lock(mutex);
    if (!built) {
      context = TranslationContextOf(*analysis);
      built = true;
    }
    return context;
  }
  const AnalysisSnapshot analysis;
  std::mutex mutex;
  bool built = false;
  TranslationContext context;
};

TranslationJobs::TranslationJobs(Deliver deliver, Translator translate)
    : shared_(std::make_shared<Shared>()), workers_(std::make_unique<Workers>()) {
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
  workers_->JoinFinished();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([shared = shared_, cell = context_, listing = std::move(listing), request, done] {
    const std::string text = shared->translate(listing, cell->Get());
    {
      std::lock_guard lock(shared->deliverLock);
      if (!shared->closed && shared->latest == request && shared->deliver) shared->deliver(request, text);
    }
    std::lock_guard lock(shared->runningLock);
    if (--shared->running == 0) shared->idle.notify_all();
    done->store(true);
  });
  workers_->list.push_back({std::move(thread), std::move(done)});
  return request;
}

bool TranslationJobs::IsLatest(std::uint64_t request) const {
  std::lock_guard lock(shared_->deliverLock);
  return request != 0 && shared_->latest == request;
}

void TranslationJobs::WaitIdle() {
  {
    std::unique_lock lock(shared_->runningLock);
    shared_->idle.wait(lock, [this] { return shared_->running == 0; });
  }
  workers_->JoinAll();
}

}  // namespace tessor
