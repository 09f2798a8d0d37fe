#include "app/translation_jobs.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "texts.h"

namespace tessor {
namespace {

using testing::Import;
using testing::Lines;

AnalysisSnapshot MakeAnalysis(const std::vector<std::string>& listings, std::vector<ImportRow> imports = {}) {
  auto analysis = std::make_shared<Analysis>();
  for (const auto& listing : listings) {
    SubroutineEntry entry;
    entry.title = ".子程序 sub_" + std::to_string(analysis->subroutines.size());
    entry.listing = listing;
    analysis->subroutines.push_back(entry);
  }
  analysis->imports = std::move(imports);
  analysis->imageBase = 0x400000;
  return analysis;
}

// The results a TranslationJobs delivered, in order.
class Deliveries {
 public:
  TranslationJobs::Deliver Callback() {
    return [this](std::uint64_t request, const std::string& text) {
      std::lock_guard lock(mutex_);
      got_.emplace_back(request, text);
      changed_.notify_all();
    };
  }
  std::vector<std::pair<std::uint64_t, std::string>> Got() {
    std::lock_guard lock(mutex_);
    return got_;
  }
  void WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return got_.size() >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<std::uint64_t, std::string>> got_;
};

// A stand-in translation that returns its listing once the test opens the listing's
// gate, so the test decides in which order jobs finish.
class Gates {
 public:
  TranslationJobs::Translator Translator() {
    return [this](std::string_view listing, const TranslationContext&) {
      std::unique_lock lock(mutex_);
      opened_.wait(lock, [&] { return open_.count(std::string(listing)) != 0; });
      return std::string(listing);
    };
  }
  void Open(const std::string& listing) {
    std::lock_guard lock(mutex_);
    open_.insert(listing);
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  std::set<std::string> open_;
};

TEST(TranslationJobs, DeliversTheTranslationOfTheSelectedRow) {
  const std::string listing = Lines({"CALL DWORD PTR DS:[402000]()", "RETN"});
  const auto analysis = MakeAnalysis({Lines({"NOP"}), listing}, {Import("00002000", "ExitProcess")});
  Deliveries deliveries;
  TranslationJobs jobs(deliveries.Callback());
  const std::uint64_t request = jobs.Select(analysis, 1);
  EXPECT_NE(request, 0u);
  jobs.WaitIdle();
  const auto got = deliveries.Got();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].first, request);
  EXPECT_EQ(got[0].second, Lines({"ExitProcess()", "返回(a)"}));
  EXPECT_EQ(got[0].second, TranslateListing(listing, TranslationContextOf(*analysis)));
}

TEST(TranslationJobs, EmptyListingGivesEmptyText) {
  Deliveries deliveries;
  TranslationJobs jobs(deliveries.Callback());
  jobs.Select(MakeAnalysis({""}), 0);
  jobs.WaitIdle();
  const auto got = deliveries.Got();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].second, "");
}

TEST(TranslationJobs, NoRowStartsNothing) {
  const auto analysis = MakeAnalysis({Lines({"RETN"})});
  Deliveries deliveries;
  TranslationJobs jobs(deliveries.Callback());
  const std::uint64_t first = jobs.Select(analysis, 0);
  jobs.WaitIdle();
  EXPECT_EQ(jobs.Select(analysis, -1), 0u);
  EXPECT_EQ(jobs.Select(analysis, 1), 0u);
  EXPECT_EQ(jobs.Select(nullptr, 0), 0u);
  jobs.WaitIdle();
  EXPECT_EQ(deliveries.Got().size(), 1u);
  EXPECT_TRUE(jobs.IsLatest(first));  // the text shown stays the current one
}

TEST(TranslationJobs, LatestSelectionWins) {
  const auto analysis = MakeAnalysis({"first", "second", "third"});
  Deliveries deliveries;
  Gates gates;
  TranslationJobs jobs(deliveries.Callback(), gates.Translator());
  const std::uint64_t first = jobs.Select(analysis, 0);
  const std::uint64_t second = jobs.Select(analysis, 1);
  EXPECT_LT(first, second);
  gates.Open("second");
  deliveries.WaitFor(1);
  gates.Open("first");  // finishes after a newer request started: dropped
  jobs.WaitIdle();
  EXPECT_EQ(deliveries.Got(), (std::vector<std::pair<std::uint64_t, std::string>>{{second, "second"}}));
  EXPECT_FALSE(jobs.IsLatest(first));
  EXPECT_TRUE(jobs.IsLatest(second));

  const std::uint64_t third = jobs.Select(analysis, 2);
  gates.Open("third");
  jobs.WaitIdle();
  EXPECT_EQ(deliveries.Got().back(), (std::pair<std::uint64_t, std::string>{third, "third"}));
  EXPECT_FALSE(jobs.IsLatest(second));
}

TEST(TranslationJobs, EachJobReadsTheAnalysisItWasStartedFor) {
  const std::string listing = Lines({"CALL DWORD PTR DS:[402000]()"});
  const auto a = MakeAnalysis({listing}, {Import("00002000", "FromA")});
  const auto b = MakeAnalysis({listing}, {Import("00002000", "FromB")});
  Deliveries deliveries;
  TranslationJobs jobs(deliveries.Callback());
  jobs.Select(a, 0);
  jobs.WaitIdle();
  jobs.Select(b, 0);
  jobs.WaitIdle();
  jobs.Select(a, 0);
  jobs.WaitIdle();
  const auto got = deliveries.Got();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].second, Lines({"FromA()"}));
  EXPECT_EQ(got[1].second, Lines({"FromB()"}));
  EXPECT_EQ(got[2].second, Lines({"FromA()"}));
}

TEST(TranslationJobs, ManyJobsAtOnceDeliverOnlyTheLatest) {
  std::vector<std::string> listings;
  for (int i = 0; i < 40; ++i) listings.push_back(Lines({"PUSH " + std::to_string(i), "CALL 02A31000()"}));
  const auto analysis = MakeAnalysis(listings);
  Deliveries deliveries;
  std::uint64_t last = 0;
  {
    TranslationJobs jobs(deliveries.Callback());
    for (int i = 0; i < 40; ++i) last = jobs.Select(analysis, i);
    jobs.WaitIdle();
  }
  const auto got = deliveries.Got();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back().first, last);
  EXPECT_EQ(got.back().second, Lines({"sub_02A31000( 39)"}));
  for (std::size_t i = 1; i < got.size(); ++i) EXPECT_LT(got[i - 1].first, got[i].first);
}

}  // namespace
}  // namespace tessor
