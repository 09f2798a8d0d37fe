#include "ui/analysis_worker.h"

namespace tessor::ui {

AnalysisWorker::AnalysisWorker(HWND window, UINT progressMessage, UINT resultMessage)
    : window_(window), progressMessage_(progressMessage), resultMessage_(resultMessage) {
  thread_ = std::thread([this] { Loop(); });
}

AnalysisWorker::~AnalysisWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    pending_.reset();
    if (running_) running_->store(true);
  }
  wake_.notify_all();
  thread_.join();
}

void AnalysisWorker::Start(unsigned request, std::filesystem::path path, AnalysisOptions options) {
  {
    std::lock_guard lock(mutex_);
    if (running_) running_->store(true);
    pending_ = Job{request, std::move(path), std::move(options), std::make_shared<std::atomic<bool>>(false)};
  }
  wake_.notify_all();
}

void AnalysisWorker::Loop() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
      if (stop_) return;
      job = std::move(*pending_);
      pending_.reset();
      running_ = job.cancel;
    }
    Run(job);
    std::lock_guard lock(mutex_);
    running_.reset();
  }
}

void AnalysisWorker::Run(const Job& job) {
  AnalysisControl control;
  control.cancel = job.cancel.get();
  control.progress = [&](std::string_view, double fraction) {
    PostMessageW(window_, progressMessage_, job.request, static_cast<LPARAM>(fraction * 1000));
  };
  auto result = std::make_unique<AnalysisResult>();
  result->path = job.path;
  result->snapshot = tessor::AnalyseFile(job.path, job.options, result->error, control);
  if (job.cancel->load()) return;  // superseded: nothing is shown
  if (PostMessageW(window_, resultMessage_, job.request, reinterpret_cast<LPARAM>(result.get())))
    result.release();
}

}  // namespace tessor::ui
