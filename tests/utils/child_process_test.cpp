// Utils::ChildProcess, its pipes and the two read loops, with real child
// processes (tv_child_helper.exe runs the steps each test gives it).
#include "utils/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "utils/strings.h"

namespace {

std::wstring Helper(const std::wstring& steps) {
  return L"\"" + TestSupport::BinPath(L"tv_child_helper.exe") + L"\" " + steps;
}

// Reads chunks until the pipe breaks.
std::vector<std::wstring> ReadAll(Utils::ChildProcess& child, UINT codePage) {
  std::vector<std::wstring> chunks;
  std::wstring text;
  while (child.ReadChunk(codePage, &text)) chunks.push_back(text);
  return chunks;
}

void Kill(const Utils::ChildProcess& child) {
  Utils::ScopedHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, child.ProcessId()));
  ASSERT_TRUE(process.valid());
  ASSERT_TRUE(::TerminateProcess(process.get(), 9));
}

TEST(ChildProcess, StartsHiddenWithItsOutputAndInputOnPipes) {
  Utils::ChildProcess child;
  child.Start(Helper(L"startup"));
  const auto chunks = ReadAll(child, CP_ACP);
  ASSERT_EQ(chunks.size(), 1u);
  const DWORD flags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  EXPECT_EQ(chunks[0], L"flags=" + std::to_wstring(flags) + L" show=" + std::to_wstring(SW_HIDE) +
                           L" in=pipe out=pipe err=char\n");
  child.WaitForExit();
  EXPECT_FALSE(child.IsRunning());
}

TEST(ChildProcess, ChunksHoldAtMost1024BytesAndEndAtAZeroByte) {
  {
    Utils::ChildProcess child;
    child.Start(Helper(L"fill:1500:A"));
    const auto chunks = ReadAll(child, CP_ACP);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], std::wstring(1024, L'A'));
    EXPECT_EQ(chunks[1], std::wstring(476, L'A'));
  }
  {
    Utils::ChildProcess child;
    child.Start(Helper(L"out:abc\\0def\\n"));
    const auto chunks = ReadAll(child, CP_ACP);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], L"abc");
  }
}

TEST(ChildProcess, DecodesWithTheCodePageOfTheRead) {
  struct Case {
    const wchar_t* bytes;  // as escapes for the helper
    UINT codePage;
    std::wstring text;
  };
  const Case cases[] = {
      {L"\\xE5\\xAE\\x89\\xE8\\xA3\\x85", CP_UTF8, L"\u5b89\u88c5"},  // UTF-8
      {L"\\xB0\\xB2\\xD7\\xB0", 936, L"\u5b89\u88c5"},                  // GBK
      {L"\\xE9t\\xE9", 1252, L"\u00e9t\u00e9"},
  };
  for (const auto& c : cases) {
    Utils::ChildProcess child;
    child.Start(Helper(std::wstring(L"out:") + c.bytes));
    const auto chunks = ReadAll(child, c.codePage);
    ASSERT_EQ(chunks.size(), 1u) << c.codePage;
    EXPECT_EQ(chunks[0], c.text) << c.codePage;
  }
}

TEST(ChildProcess, RunsUntilItEndsAndThenItsOutputBreaks) {
  Utils::ChildProcess child;
  child.Start(Helper(L"out:ready\\n stdin"));  // waits for an input nobody writes
  std::wstring text;
  ASSERT_TRUE(child.ReadChunk(CP_ACP, &text));
  EXPECT_EQ(text, L"ready\n");
  EXPECT_TRUE(child.IsRunning());
  Kill(child);
  child.WaitForExit();
  EXPECT_FALSE(child.IsRunning());
  EXPECT_FALSE(child.ReadChunk(CP_ACP, &text));
  child.Close();
  EXPECT_FALSE(child.IsRunning());
}

TEST(ChildProcess, AProgramThatCannotStartThrowsAnEmptyException) {
  for (const wchar_t* line : {L"\"C:\\no\\such\\program.exe\" /S", L""}) {
    Utils::ChildProcess child;
    try {
      child.Start(line);
      ADD_FAILURE() << "started: " << TestSupport::Utf8(line);
    } catch (const Utils::Exception& error) {
      EXPECT_STREQ(error.what(), "");
    }
  }
}

TEST(ChildProcess, ACommandLineMustFitItsBufferOf1024Units) {
  const std::wstring head = Helper(L"cmdlen ");
  {
    const std::wstring line = head + std::wstring(1023 - head.size(), L'x');
    Utils::ChildProcess child;
    child.Start(line);
    const auto chunks = ReadAll(child, CP_ACP);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], L"1023\n");  // started with the whole line
  }
  for (size_t length : {size_t{1024}, size_t{5000}}) {
    Utils::ChildProcess child;
    EXPECT_THROW(child.Start(head + std::wstring(length - head.size(), L'x')), Utils::Exception) << length;
  }
}

TEST(ChildProcess, MuchStandardErrorDoesNotStallTheChild) {
  Utils::ChildProcess child;
  child.Start(Helper(L"err:4194304 out:done\\n"));
  const auto chunks = ReadAll(child, CP_ACP);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0], L"done\n");
}

// ---- the read loops ----

struct Recorder {
  std::vector<std::wstring> chunks;
  int finalAt = -1;  // index of the chunk whose parse returns non-zero
  std::function<void(const std::wstring&)> onChunk;
  Utils::ChunkParser Parser(const std::wstring& finalText) {
    return [this, finalText](const std::wstring& chunk) {
      chunks.push_back(chunk);
      if (onChunk) onChunk(chunk);
      if (chunk.find(finalText) != std::wstring::npos) {
        if (finalAt < 0) finalAt = static_cast<int>(chunks.size()) - 1;
        return 1;
      }
      return 0;
    };
  }
};

TEST(ReadLoops, ThePackageLoopEndsWithoutAParseWhenTheChildPrintsNothing) {
  Utils::ChildProcess child;
  child.Start(Helper(L"exit:0"));
  Recorder recorder;
  UINT codePage = CP_ACP;
  EXPECT_TRUE(Utils::ReadUntilFinalState(child, codePage, recorder.Parser(L"State=")));
  EXPECT_TRUE(recorder.chunks.empty());
}

TEST(ReadLoops, TheUninstallerLoopDoesNotReadAtAllWhenTheChildHasEnded) {
  Utils::ChildProcess child;
  child.Start(Helper(L"out:State=Success\\n exit:0"));
  child.WaitForExit();  // ended before the loop looks: its line is lost
  Recorder recorder;
  UINT codePage = CP_ACP;
  EXPECT_FALSE(Utils::ReadUntilExit(child, codePage, recorder.Parser(L"State=")));
  EXPECT_TRUE(recorder.chunks.empty());
}

TEST(ReadLoops, ThePackageLoopDrainsTheLastLinesOfAChildThatEnded) {
  Utils::ChildProcess child;
  child.Start(Helper(L"out:Progress=0.5\\n exit:0"));
  child.WaitForExit();
  Recorder recorder;
  UINT codePage = CP_ACP;
  EXPECT_TRUE(Utils::ReadUntilFinalState(child, codePage, recorder.Parser(L"State=")));
  ASSERT_EQ(recorder.chunks.size(), 1u);
  EXPECT_EQ(recorder.chunks[0], L"Progress=0.5\n");
}

TEST(ReadLoops, ThePackageLoopStopsAtTheFinalStateWhileTheChildStillRuns) {
  Utils::ChildProcess child;
  child.Start(Helper(L"out:State=Success\\n stdin"));  // never ends by itself
  Recorder recorder;
  UINT codePage = CP_ACP;
  EXPECT_FALSE(Utils::ReadUntilFinalState(child, codePage, recorder.Parser(L"State=")));
  EXPECT_EQ(recorder.chunks.size(), 1u);
  EXPECT_TRUE(child.IsRunning());
  Kill(child);
}

TEST(ReadLoops, TheUninstallerLoopReadsOnAfterTheFinalStateUntilTheChildEnds) {
  Utils::ChildProcess child;
  child.Start(Helper(L"out:State=Success\\n sleep:300 out:later\\n stdin"));
  Recorder recorder;
  // The child would wait for ever: end it once its later line was read.
  recorder.onChunk = [&](const std::wstring& chunk) {
    if (chunk.find(L"later") != std::wstring::npos) Kill(child);
  };
  UINT codePage = CP_ACP;
  EXPECT_TRUE(Utils::ReadUntilExit(child, codePage, recorder.Parser(L"State=")));
  ASSERT_GE(recorder.chunks.size(), 1u);
  EXPECT_EQ(recorder.finalAt, 0);
  EXPECT_NE(recorder.chunks.back().find(L"later"), std::wstring::npos);
  EXPECT_FALSE(child.IsRunning());
}

TEST(ReadLoops, AChangedCodePageAppliesToTheChunksReadAfterIt) {
  // The UTF-8 bytes of "安装" end the first write, which fills a whole chunk,
  // and start the next one.
  const std::wstring utf8 = L"\\xE5\\xAE\\x89\\xE8\\xA3\\x85";
  Utils::ChildProcess child;
  child.Start(Helper(L"pad:1024:" + utf8 + L" out:" + utf8 + L"\\nState=Success\\n"));
  std::vector<std::wstring> chunks;
  UINT codePage = 1252;
  EXPECT_FALSE(Utils::ReadUntilFinalState(child, codePage, [&](const std::wstring& chunk) {
    chunks.push_back(chunk);
    codePage = CP_UTF8;  // as an "Encode=" line would
    return chunk.find(L"State=") != std::wstring::npos ? 1 : 0;
  }));
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0], std::wstring(1018, L'p') + Utils::ToWide("\xE5\xAE\x89\xE8\xA3\x85", 1252));
  EXPECT_EQ(chunks[1], L"\u5b89\u88c5\nState=Success\n");
}

}  // namespace
