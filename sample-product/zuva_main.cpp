// Stand-in for the ZUVA media player: one top-level window of class "TZUVAMainForm", the class
// the setup looks for to find a running copy and to close it before files are replaced. The
// window closes on WM_CLOSE like any well-behaved main window, and the program then exits 0.
// Started with /KEEPOPEN it ignores WM_CLOSE, like a player waiting for an answer nobody gives.
#include <windows.h>

#include <cwchar>

namespace {

constexpr wchar_t kWindowClass[] = L"TZUVAMainForm";
constexpr wchar_t kTitle[] = L"ZUVA";
bool keepOpen = false;

// Vertical gradient between two colours, drawn as thin bands (no extra libraries needed).
void FillGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom) {
  const int height = area.bottom - area.top;
  if (height <= 0) return;
  constexpr int kBand = 4;
  for (int y = 0; y < height; y += kBand) {
    const int t = y * 255 / height;
    const COLORREF c = RGB((GetRValue(top) * (255 - t) + GetRValue(bottom) * t) / 255,
                           (GetGValue(top) * (255 - t) + GetGValue(bottom) * t) / 255,
                           (GetBValue(top) * (255 - t) + GetBValue(bottom) * t) / 255);
    HBRUSH brush = CreateSolidBrush(c);
    RECT band{area.left, area.top + y, area.right, area.top + y + kBand};
    if (band.bottom > area.bottom) band.bottom = area.bottom;
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillGradient(dc, client, RGB(48, 44, 52), RGB(18, 16, 20));

  // A round play button in the accent colour of the setup, centred.
  const int cx = (client.left + client.right) / 2;
  const int cy = (client.top + client.bottom) / 2 - 16;
  const int r = 40;
  HBRUSH accent = CreateSolidBrush(RGB(222, 140, 51));
  HPEN no_pen = static_cast<HPEN>(GetStockObject(NULL_PEN));
  HGDIOBJ old_brush = SelectObject(dc, accent);
  HGDIOBJ old_pen = SelectObject(dc, no_pen);
  Ellipse(dc, cx - r, cy - r, cx + r, cy + r);
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  SelectObject(dc, white);
  const POINT triangle[3] = {{cx - 13, cy - 20}, {cx - 13, cy + 20}, {cx + 22, cy}};
  Polygon(dc, triangle, 3);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  DeleteObject(accent);

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(240, 240, 240));
  RECT text{client.left, cy + r + 12, client.right, client.bottom};
  DrawTextW(dc, L"ZUVA media player (sample)", -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE);
  EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // Paint covers the whole client area
    case WM_CLOSE:
      if (keepOpen) return 0;
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  // WM_CLOSE goes to the default procedure, which destroys the window.
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
  keepOpen = arguments && std::wcsstr(arguments, L"/KEEPOPEN");
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc)) return 1;

  RECT frame{0, 0, 480, 300};
  const DWORD style = WS_OVERLAPPEDWINDOW;
  AdjustWindowRect(&frame, style, FALSE);
  HWND window =
      CreateWindowExW(0, kWindowClass, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
