// The full analysis of a large file: a real PE followed by a large overlay that holds a
// few copies of the same PE as embedded images. Measured in the same run: one plain read
// of the file (fread into a buffer) and AnalyseFile, each in a child process of its own
// so that its peak resident memory (ru_maxrss) is its own.
//
//   analysis_bench [--size MIB] [--images N] [--rounds R] [--esig DIR] [PE]
//
// PE defaults to the 32-bit sample that the bench build makes with MinGW. The file is
// written under /tmp (TMPDIR) and removed at the end. The bar: peak memory under the
// file size + 64 MiB, and time within 2x of the plain read. Exits 1 when a bar is missed.
#include <iconv.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/analysis.h"

#ifndef TESSOR_BENCH_SAMPLE
#define TESSOR_BENCH_SAMPLE ""
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMiB = 1024 * 1024;

struct Figures {
  double seconds = 0;
  std::uint64_t peakBytes = 0;
  std::uint64_t detail = 0;  // what the child reports besides its time
};

std::vector<std::uint8_t> ReadSmallFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  std::uint8_t block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
  std::fclose(f);
  return bytes;
}

// The PE at offset 0, then pseudo-random bytes (like compressed data) up to `size`,
// with a copy of the PE at each of `images` places spread over the overlay.
bool WriteTestFile(const std::string& path, const std::vector<std::uint8_t>& pe, std::uint64_t size,
                   int images, std::vector<std::uint64_t>& placed) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<std::uint64_t> at;
  for (int i = 1; i <= images; ++i) {
    const std::uint64_t place = size / static_cast<std::uint64_t>(images + 1) * static_cast<std::uint64_t>(i) / 4096 * 4096;
    if (place >= pe.size() + (at.empty() ? 0 : at.back() + pe.size()) && place + pe.size() <= size) at.push_back(place);
  }
  std::vector<std::uint8_t> block(kMiB);
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint64_t written = 0;
  bool ok = std::fwrite(pe.data(), 1, pe.size(), f) == pe.size();
  written = pe.size();
  std::size_t next = 0;
  while (ok && written < size) {
    if (next < at.size() && written == at[next]) {
      ok = std::fwrite(pe.data(), 1, pe.size(), f) == pe.size();
      placed.push_back(written);
      written += pe.size();
      ++next;
      continue;
    }
    std::uint64_t n = std::min<std::uint64_t>(block.size(), size - written);
    if (next < at.size()) n = std::min<std::uint64_t>(n, at[next] - written);
    for (std::size_t i = 0; i < n; i += 8) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      std::memcpy(block.data() + i, &state, std::min<std::size_t>(8, n - i));
    }
    ok = std::fwrite(block.data(), 1, n, f) == n;
    written += n;
  }
  return std::fclose(f) == 0 && ok;
}

// Runs `work` in a child; its figures and its text come back through a pipe, its peak
// memory from wait4.
template <typename Work>
bool InChild(Work work, Figures& out, std::string* text = nullptr) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    close(fds[0]);
    Figures mine;
    std::string said;
    const auto start = Clock::now();
    mine.detail = work(start, said);
    mine.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    bool sent = write(fds[1], &mine, sizeof mine) == static_cast<ssize_t>(sizeof mine);
    sent = sent && write(fds[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
    _exit(sent ? 0 : 1);
  }
  close(fds[1]);
  Figures got;
  const bool read_ok = read(fds[0], &got, sizeof got) == static_cast<ssize_t>(sizeof got);
  char block[4096];
  ssize_t n;
  while ((n = read(fds[0], block, sizeof block)) > 0)
    if (text) text->append(block, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !read_ok)
    return false;
  out = got;
  out.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // KiB on Linux
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A stage name (GBK) as UTF-8 for the terminal.
std::string Utf8(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
  std::string out(gbk.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  char* to = out.data();
  std::size_t in_left = gbk.size(), out_left = out.size();
  const bool ok = iconv(cd, &in, &in_left, &to, &out_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return gbk;
  out.resize(out.size() - out_left);
  return out;
}

int Usage() {
  std::fprintf(stderr, "usage: analysis_bench [--size MIB] [--images N] [--rounds R] [--esig DIR] [PE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t size_mib = 256;
  int images = 4;
  int rounds = 3;
  std::string pe_path = TESSOR_BENCH_SAMPLE;
  std::string esig;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--size" && (v = value())) size_mib = std::strtoull(v, nullptr, 10);
    else if (arg == "--images" && (v = value())) images = std::atoi(v);
    else if (arg == "--rounds" && (v = value())) rounds = std::atoi(v);
    else if (arg == "--esig" && (v = value())) esig = v;
    else if (!arg.empty() && arg[0] != '-') pe_path = arg;
    else return Usage();
  }
  if (size_mib == 0 || images < 0 || rounds < 1 || pe_path.empty()) return Usage();

  const std::vector<std::uint8_t> pe = ReadSmallFile(pe_path);
  if (pe.size() < 64 || pe[0] != 'M' || pe[1] != 'Z') {
    std::fprintf(stderr, "analysis_bench: %s is not a PE file\n", pe_path.c_str());
    return 2;
  }
  const std::uint64_t size = size_mib * kMiB;

  const char* tmpdir = std::getenv("TMPDIR");
  std::string path = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/tessor-bench-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) {
    std::perror("analysis_bench: mkstemp");
    return 2;
  }
  close(fd);
  std::vector<std::uint64_t> placed;
  if (!WriteTestFile(path, pe, size, images, placed)) {
    std::perror("analysis_bench: writing the test file");
    std::remove(path.c_str());
    return 2;
  }
  std::printf("file: %s, %llu MiB: %s (%zu bytes) + overlay with %zu copies at", path.c_str(),
              static_cast<unsigned long long>(size_mib), pe_path.c_str(), pe.size(), placed.size());
  for (auto p : placed) std::printf(" %llu", static_cast<unsigned long long>(p));
  std::printf("\n");

  auto plain_read = [&](Clock::time_point, std::string&) -> std::uint64_t {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) _exit(3);
    auto* buffer = static_cast<std::uint8_t*>(std::malloc(size));
    if (!buffer) _exit(3);
    const std::size_t got = std::fread(buffer, 1, size, f);
    std::fclose(f);
    std::uint64_t sum = 0;  // one byte per page, so the read cannot be left out
    for (std::size_t i = 0; i < got; i += 4096) sum += buffer[i];
    std::free(buffer);
    return got == size ? sum : 0;
  };
  // The stage times come from the driver's progress reports: each stage lasts until the
  // next one starts; the time before the first is the read of the file.
  auto analysis = [&](Clock::time_point start, std::string& stages) -> std::uint64_t {
    tessor::AnalysisOptions options;
    if (!esig.empty())
      options.signatures = tessor::LoadSignatureFolder(esig, [](const std::filesystem::path& p) { return p.filename().string(); });
    std::string error;
    std::string previous = "reading the file";
    Clock::time_point since = start;
    tessor::AnalysisControl control;
    control.progress = [&](std::string_view stage, double) {
      const auto now = Clock::now();
      char line[64];
      std::snprintf(line, sizeof line, "%.6f ", std::chrono::duration<double>(now - since).count());
      stages += line + Utf8(previous) + "\n";
      previous = std::string(stage);
      since = now;
    };
    const auto snapshot = tessor::AnalyseFile(path, options, error, control);
    if (!snapshot) {
      std::fprintf(stderr, "analysis_bench: %s\n", error.c_str());
      _exit(4);
    }
    return snapshot->images.size();
  };

  // One read before measuring, so that both measure the file from the page cache.
  Figures warm;
  bool ok = InChild(plain_read, warm);
  std::vector<double> read_s, analysis_s;
  std::string stages;
  std::uint64_t read_peak = 0, analysis_peak = 0, found = 0;
  for (int r = 0; ok && r < rounds; ++r) {
    Figures a, b;
    stages.clear();
    ok = InChild(plain_read, a) && InChild(analysis, b, &stages);
    if (!ok) break;
    read_s.push_back(a.seconds);
    analysis_s.push_back(b.seconds);
    read_peak = std::max(read_peak, a.peakBytes);
    analysis_peak = std::max(analysis_peak, b.peakBytes);
    found = b.detail;
    std::printf("round %d: plain read %.3f s (peak %.1f MiB), analysis %.3f s (peak %.1f MiB)\n", r + 1, a.seconds,
                a.peakBytes / double(kMiB), b.seconds, b.peakBytes / double(kMiB));
  }
  std::remove(path.c_str());
  if (!ok) {
    std::fprintf(stderr, "analysis_bench: a child failed\n");
    return 2;
  }

  const double read_median = Median(read_s), analysis_median = Median(analysis_s);
  const double ratio = analysis_median / read_median;
  const std::uint64_t memory_bar = size + 64 * kMiB;
  const bool time_ok = ratio <= 2.0, memory_ok = analysis_peak < memory_bar;
  std::printf("embedded images found: %llu (placed %zu)\n", static_cast<unsigned long long>(found), placed.size());
  std::printf("plain read: %.3f s median, %.0f MiB/s, peak %.1f MiB\n", read_median, size_mib / read_median,
              read_peak / double(kMiB));
  std::printf("analysis:   %.3f s median, %.0f MiB/s, peak %.1f MiB\n", analysis_median, size_mib / analysis_median,
              analysis_peak / double(kMiB));
  // Each stage line: seconds, then the stage name.
  std::printf("stages of the last analysis (seconds, share of the plain read):\n");
  for (std::size_t at = 0; at < stages.size();) {
    std::size_t end = stages.find('\n', at);
    if (end == std::string::npos) end = stages.size();
    const std::string line = stages.substr(at, end - at);
    const double seconds = std::atof(line.c_str());
    std::printf("  %.3f s  %4.2fx  %s\n", seconds, seconds / read_median, line.substr(line.find(' ') + 1).c_str());
    at = end + 1;
  }
  std::printf("time: %.2fx the plain read (bar 2x): %s\n", ratio, time_ok ? "met" : "MISSED");
  std::printf("peak memory: file size + %.1f MiB (bar + 64 MiB): %s\n",
              (double(analysis_peak) - double(size)) / double(kMiB), memory_ok ? "met" : "MISSED");
  return time_ok && memory_ok ? 0 : 1;
}
