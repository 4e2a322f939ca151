// placeholder until the floater lands
#include "frame.h"
#include "resource.h"
namespace { HWND floaterWindow = nullptr;
INT_PTR CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM) {
  if (m == WM_INITDIALOG) { floaterWindow = w; return TRUE; }
  if (m == WM_COMMAND && LOWORD(wp) == IDCANCEL) { DestroyWindow(w); floaterWindow = nullptr; return TRUE; }
  return FALSE; } }
const FrameModule kFrameModule = {IDS_CLASS_NAME, IDS_CATEGORY, {0x4DB72FEE, 0x69D32D7B}, IDD_MAIN_PAGE,
  IDD_FIND_REPLACE, Proc, &floaterWindow, nullptr, nullptr, nullptr};
