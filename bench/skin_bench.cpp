// skin_bench.exe ARCHIVE.7z [ROUNDS]: opens the skin archive from memory (as
// the installer opens its "ZIPRES" copy) and parses every markup file in it,
// ROUNDS times. Prints key=value lines: the median and fastest round, and the
// peak memory above what the process used before the first round.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "skinui/markup.h"
#include "skinui/skin_archive.h"

namespace {

SIZE_T PrivateBytes(SIZE_T* peak) {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
  if (peak != nullptr) *peak = counters.PeakPagefileUsage;
  return counters.PrivateUsage;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: skin_bench ARCHIVE.7z [ROUNDS]\n", stderr);
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 20;
  std::vector<uint8_t> bytes;
  if (SkinUI::ReadWholeFile(argv[1], UINT64_MAX, &bytes) != SkinUI::SkinFileResult::Ok) {
    std::fprintf(stderr, "skin_bench: cannot read %ls\n", argv[1]);
    return 1;
  }

  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  SIZE_T peakBefore = 0;
  const SIZE_T before = PrivateBytes(&peakBefore);
  std::vector<double> times;
  size_t files = 0, unpacked = 0, markupFiles = 0, elements = 0;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    SkinUI::ScopedArchive archive(SkinUI::OpenArchiveMemory(bytes.data(), bytes.size()));
    if (!archive) {
      std::fputs("skin_bench: not a 7z archive\n", stderr);
      return 1;
    }
    files = archive->entries.size();
    unpacked = markupFiles = elements = 0;
    for (const auto& entry : archive->entries) {
      unpacked += entry.data.size();
      if (!EndsWith(entry.name, L".xml")) continue;
      // The markup loader's own path: find, extract a copy, parse.
      uint32_t index = 0;
      uint64_t size = 0;
      SkinUI::FindArchiveEntry(archive.get(), entry.name.c_str(), &index, &size);
      std::vector<uint8_t> copy(static_cast<size_t>(size));
      SkinUI::ExtractArchiveEntry(archive.get(), index, copy.data(), copy.size());
      SkinUI::CMarkupDocument document;
      if (!document.LoadFromMemory(copy.data(), copy.size(), SkinUI::kEncodingUtf8)) {
        std::fprintf(stderr, "skin_bench: %ls: %ls\n", entry.name.c_str(), document.GetLastErrorMessage());
        return 1;
      }
      ++markupFiles;
      elements += static_cast<size_t>(document.GetElementCount());
    }
    archive.reset();
    ::QueryPerformanceCounter(&end);
    times.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
  }
  SIZE_T peak = 0;
  PrivateBytes(&peak);
  PROCESS_MEMORY_COUNTERS counters = {};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);

  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  std::printf("archive_bytes=%zu\nfiles=%zu\nunpacked_bytes=%zu\nmarkup_files=%zu\nelements=%zu\n", bytes.size(),
              files, unpacked, markupFiles, elements);
  std::printf("rounds=%d\nmedian_ms=%.3f\nmin_ms=%.3f\n", rounds, sorted[sorted.size() / 2], sorted.front());
  std::printf("peak_private_increase_kib=%zu\n", static_cast<size_t>((peak > before ? peak - before : 0) / 1024));
  std::printf("private_before_kib=%zu\npeak_working_set_kib=%zu\n", static_cast<size_t>(before / 1024),
              static_cast<size_t>(counters.PeakWorkingSetSize / 1024));
  return 0;
}
