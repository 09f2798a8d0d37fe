/* A small Win32 console program to analyse: functions with frames, a loop, strings,
   imports from kernel32, user32 and the companion sample.dll. */
#include <windows.h>

__declspec(dllimport) int __stdcall SampleChecksum(const char *text);

static const char kGreeting[] = "Tessor sample";
static const char kChinese[] = "静态分析示例";

static int Square(int x) { return x * x; }

static int SumSquares(int n) {
  int total = 0;
  int i;
  for (i = 1; i <= n; ++i) total += Square(i);
  return total;
}

static void Print(const char *text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)lstrlenA(text), &written, NULL);
}

int main(void) {
  char line[256];
  const int sum = SumSquares(10);
  const int check = SampleChecksum(kGreeting);
  wsprintfA(line, "%s: %d %d %lu\r\n", kGreeting, sum, check, (unsigned long)(GetTickCount() & 0));
  Print(line);
  Print(kChinese);
  Print("\r\n");
  return sum == 385 ? 0 : 1;
}
