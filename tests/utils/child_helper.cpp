// tv_child_helper.exe: a scripted child process for the child-process and
// probe tests. Each argument is one step, run in order:
//   out:TEXT     write TEXT to standard output in one write (escapes \n \r
//                \t \\ \0 \xHH)
//   fill:N:C     write N bytes of the character C to standard output at once
//   pad:N:TEXT   write TEXT (escapes as for out:) after as many "p" bytes as
//                make the write N bytes long, in one write
//   err:N        write N bytes to standard error
//   sleep:MS     pause
//   stdin        wait until standard input ends
//   closeout     close standard output
//   startup      print the start-up flags, show state and the types of the
//                three standard handles
//   cmdlen       print the length of the process command line
//   checknet     print Utils::CheckNetwork() (COM initialised around it)
//   checknet-nocom  the same without initialising COM
//   exit:N       end with exit code N
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_io.h"
#include "utils/probes.h"
#include "utils/strings.h"

namespace {

void WriteOut(const std::string& bytes) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

const char* TypeName(HANDLE handle) {
  switch (::GetFileType(handle)) {
    case FILE_TYPE_PIPE: return "pipe";
    case FILE_TYPE_CHAR: return "char";
    case FILE_TYPE_DISK: return "disk";
    default: return "unknown";
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string step = Utils::ToNarrow(argv[i], CP_UTF8);
    const size_t colon = step.find(':');
    const std::string name = step.substr(0, colon);
    const std::string value = colon == std::string::npos ? std::string() : step.substr(colon + 1);
    if (name == "out") {
      WriteOut(Demo::Unescape(value));
    } else if (name == "fill") {
      const size_t sep = value.find(':');
      WriteOut(std::string(std::strtoul(value.c_str(), nullptr, 10), sep == std::string::npos ? 'x' : value[sep + 1]));
    } else if (name == "pad") {
      const size_t sep = value.find(':');
      const std::string text = Demo::Unescape(sep == std::string::npos ? std::string() : value.substr(sep + 1));
      const size_t total = std::strtoul(value.c_str(), nullptr, 10);
      WriteOut(std::string(total > text.size() ? total - text.size() : 0, 'p') + text);
    } else if (name == "err") {
      const std::string block(65536, 'e');
      for (long left = std::atol(value.c_str()); left > 0; left -= 65536) {
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), block.data(), left < 65536 ? left : 65536, &written, nullptr);
      }
    } else if (name == "sleep") {
      ::Sleep(std::strtoul(value.c_str(), nullptr, 10));
    } else if (name == "stdin") {
      char buffer[256];
      DWORD got = 0;
      while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
      }
    } else if (name == "closeout") {
      ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
    } else if (name == "startup") {
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      ::GetStartupInfoW(&startup);
      char text[256];
      std::snprintf(text, sizeof text, "flags=%lu show=%u in=%s out=%s err=%s\n", startup.dwFlags,
                    static_cast<unsigned>(startup.wShowWindow), TypeName(::GetStdHandle(STD_INPUT_HANDLE)),
                    TypeName(::GetStdHandle(STD_OUTPUT_HANDLE)), TypeName(::GetStdHandle(STD_ERROR_HANDLE)));
      WriteOut(text);
    } else if (name == "cmdlen") {
      WriteOut(std::to_string(std::wstring(::GetCommandLineW()).size()) + "\n");
    } else if (name == "checknet" || name == "checknet-nocom") {
      const bool com = name == "checknet";
      if (com) ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      WriteOut(std::to_string(Utils::CheckNetwork()) + "\n");
      if (com) ::CoUninitialize();
    } else if (name == "exit") {
      return std::atoi(value.c_str());
    } else {
      return 2;
    }
  }
  return 0;
}
