// The one analysis worker: runs one analysis at a time off the user-interface thread. A
// new request cancels the running one and replaces any request still waiting; progress
// and the result are posted to the window with the request number.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/analysis.h"

namespace tessor::ui {

// Posted with kMsgAnalysed; the window takes ownership.
struct AnalysisResult {
  std::filesystem::path path;
  AnalysisSnapshot snapshot;  // nullptr: the file could not be read (or was cancelled)
  std::string error;
};

class AnalysisWorker {
 public:
  AnalysisWorker(HWND window, UINT progressMessage, UINT resultMessage);
  ~AnalysisWorker();  // cancels the running analysis and waits for the thread

  void Start(unsigned request, std::filesystem::path path, AnalysisOptions options);

 private:
  struct Job {
    unsigned request;
    std::filesystem::path path;
    AnalysisOptions options;
    std::shared_ptr<std::atomic<bool>> cancel;
  };
  void Loop();
  void Run(const Job& job);

  HWND window_;
  UINT progressMessage_;
  UINT resultMessage_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> pending_;
  std::shared_ptr<std::atomic<bool>> running_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tessor::ui
