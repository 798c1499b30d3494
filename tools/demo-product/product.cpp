// transvera.exe, the demo product the demo package installs: a small window
// titled "Transvera". Every start appends its command line to
// "product-runs.txt" beside the executable, so a test can see that (and how)
// the product was started.
//   -exitafter=MS   close the window by itself after MS milliseconds
// Without it the product runs until its window is closed.
#include <windows.h>

#include <string>

#include "utils/scoped.h"
#include "utils/strings.h"

namespace {

constexpr UINT_PTR kExitTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kExitTimer) ::DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      RECT area;
      ::GetClientRect(window, &area);
      ::DrawTextW(dc, L"Transvera (demo product)", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void RecordStart() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring log(module);
  log.erase(log.rfind(L'\\') + 1);
  log += L"product-runs.txt";
  Utils::ScopedHandle file(::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string line = Utils::ToNarrow(::GetCommandLineW(), CP_UTF8) + "\n";
  DWORD written = 0;
  ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
  RecordStart();
  const std::wstring arguments = commandLine;
  UINT exitAfterMs = 0;
  const size_t option = arguments.find(L"-exitafter=");
  if (option != std::wstring::npos) exitAfterMs = static_cast<UINT>(_wtoi(arguments.c_str() + option + 11));

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"TransveraDemoProduct";
  ::RegisterClassW(&windowClass);
  HWND window = ::CreateWindowW(L"TransveraDemoProduct", L"Transvera", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 320, 160, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ::ShowWindow(window, show);
  if (exitAfterMs > 0) ::SetTimer(window, kExitTimer, exitAfterMs, nullptr);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
