/* The sample plugin: a small window with a greeting, an edit box and a button.
 *
 * The host calls the two exports once, at start-up, each with one argument (the address
 * of a GBK text of its own), and then moves the window into a child window of its frame,
 * sized to fill it. The export names are GBK ("取出句柄", "取出标题"); hello.def.in
 * gives them, and the build writes it out in GBK. */
#include <windows.h>

#define HELLO_EDIT 101
#define HELLO_BUTTON 102

static HINSTANCE g_instance;
static HWND g_window;
static const wchar_t kClassName[] = L"TessorHelloPlugin";

/* Narrow literals are GBK bytes (the build compiles them to code page 936). */
static const char kTitle[] = "你好插件";

static HWND CreateChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         (HMENU)(INT_PTR)id, g_instance, NULL);
}

static void Layout(HWND window) {
  RECT r;
  HWND greeting = GetDlgItem(window, 100);
  GetClientRect(window, &r);
  MoveWindow(greeting, 12, 12, r.right - 24, 40, TRUE);
  MoveWindow(GetDlgItem(window, HELLO_EDIT), 12, 60, r.right > 140 ? r.right - 136 : 0, 24, TRUE);
  MoveWindow(GetDlgItem(window, HELLO_BUTTON), r.right > 112 ? r.right - 112 : 0, 60, 100, 24, TRUE);
}

static LRESULT CALLBACK HelloProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
      HWND controls[3];
      int i;
      controls[0] = CreateChild(window, L"STATIC", L"你好！这是示例插件的窗口，它在主程序的子窗口里。", 0, 100);
      controls[1] = CreateChild(window, L"EDIT", L"在这里输入文字", WS_BORDER | ES_AUTOHSCROLL, HELLO_EDIT);
      controls[2] = CreateChild(window, L"BUTTON", L"显示", BS_PUSHBUTTON, HELLO_BUTTON);
      for (i = 0; i < 3; ++i) SendMessageW(controls[i], WM_SETFONT, (WPARAM)font, FALSE);
      return 0;
    }
    case WM_SIZE:
      Layout(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == HELLO_BUTTON && HIWORD(wParam) == BN_CLICKED) {
        wchar_t text[256];
        GetDlgItemTextW(window, HELLO_EDIT, text, 256);
        MessageBoxW(window, text, L"示例插件", MB_OK);
        return 0;
      }
      break;
    case WM_DESTROY:
      if (g_window == window) g_window = NULL;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

/* "取出句柄": the plugin's window. It is created hidden and without a caption; the host
 * gives it its parent, place, size and visibility and leaves its style alone. */
INT_PTR WINAPI HelloTakeHandle(const char* argument) {
  WNDCLASSEXW cls;
  (void)argument; /* "我是参数一*-..-*" */
  if (g_window != NULL && IsWindow(g_window)) return (INT_PTR)g_window;
  ZeroMemory(&cls, sizeof cls);
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = HelloProc;
  cls.hInstance = g_instance;
  cls.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  cls.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  cls.lpszClassName = kClassName;
  RegisterClassExW(&cls);
  g_window = CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 400, 300, NULL, NULL,
                             g_instance, NULL);
  return (INT_PTR)g_window;
}

/* "取出标题": the title of the plugin's child window, a GBK text that stays valid (the
 * host copies it at once), or 0 for none. */
INT_PTR WINAPI HelloTakeTitle(const char* argument) {
  (void)argument; /* "我是参数一*-..-*我是参数二*-..-*我是参数三" */
  return (INT_PTR)kTitle;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}
