// Conformance: creating and destroying windows, window data and subclassing, geometry,
// activation and the update region.
#include <future>
#include <thread>

#include "windows/test_window.h"
#include "windows/window_tree.h"

namespace pellix::testing {
namespace {

class WindowTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
    Recorder::Get().Clear();
  }
};

// ---- Destruction ----------------------------------------------------------------------------

std::vector<std::pair<HWND, HWND>> g_child_at_ncdestroy;
LRESULT CALLBACK WatchNcDestroy(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCDESTROY) g_child_at_ncdestroy.emplace_back(hwnd, GetWindow(hwnd, GW_CHILD));
  return RecorderProc(hwnd, message, wparam, lparam);
}

TEST_F(WindowTest, DestroyGoesParentFirstThenNcDestroyChildrenFirst) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 0, 100, 100);
  HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, top);
  HWND a1 = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, a);
  HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, 50, 0, 50, 50, top);
  for (HWND h : {top, a, a1, b})
    SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(WatchNcDestroy));
  SetTimer(a, 1, 10, nullptr);
  PostMessageW(b, WM_USER, 0, 0);
  Recorder::Get().Clear();
  g_child_at_ncdestroy.clear();

  ASSERT_TRUE(DestroyWindow(top));
  // Children are in z-order, the newest on top: b before a.
  std::vector<Seen> destroy = Recorder::Get().Only({WM_DESTROY});
  std::vector<Seen> ncdestroy = Recorder::Get().Only({WM_NCDESTROY});
  std::vector<HWND> destroy_order, ncdestroy_order;
  for (auto& s : destroy) destroy_order.push_back(s.hwnd);
  for (auto& s : ncdestroy) ncdestroy_order.push_back(s.hwnd);
  EXPECT_EQ(destroy_order, (std::vector<HWND>{top, b, a, a1}));
  EXPECT_EQ(ncdestroy_order, (std::vector<HWND>{b, a1, a, top}));
  for (auto& [hwnd, child] : g_child_at_ncdestroy) EXPECT_EQ(child, nullptr);
  for (HWND h : {top, a, a1, b}) EXPECT_FALSE(IsWindow(h));
  // Nothing of theirs is left in the queue.
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, DestroyHidesTheWindowAndDestroysOwnedPopupsFirst) {
  HWND owner = MakeWindow(WS_VISIBLE, 0, 0, 100, 100);
  HWND popup = MakeWindow(WS_POPUP | WS_VISIBLE, 10, 10, 20, 20, owner);
  EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);
  EXPECT_EQ(GetParent(popup), owner);
  Recorder::Get().Clear();
  DestroyWindow(owner);
  std::vector<Seen> seen = Recorder::Get().Only({WM_SHOWWINDOW, WM_DESTROY});
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], (Seen{owner, WM_SHOWWINDOW, FALSE, 0}));
  EXPECT_EQ(seen[2].hwnd, popup);
  EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(seen[3].hwnd, owner);
  EXPECT_FALSE(IsWindow(popup));
}

TEST_F(WindowTest, DestroyingAnotherThreadsWindowIsRefused) {
  HWND hwnd = nullptr;
  std::thread other([&] {
    RegisterRecorderClass();
    hwnd = MakeWindow(0, 0, 0, 10, 10);
    EXPECT_TRUE(IsWindow(hwnd));
  });
  other.join();  // its windows end with it
  EXPECT_FALSE(DestroyWindow(hwnd));
}

// ---- Creation -------------------------------------------------------------------------------

LRESULT CALLBACK RefuseCreation(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    return cs->lpCreateParams ? 0 : -1;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(WindowTest, CreationParameterReachesWmCreateAndMinusOneRefuses) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = RefuseCreation;
  wc.lpszClassName = u"Picky";
  ASSERT_TRUE(RegisterClassW(&wc));
  int token = 0;
  EXPECT_TRUE(CreateWindowExW(0, u"PICKY", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, &token));
  EXPECT_EQ(CreateWindowExW(0, u"Picky", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  SetLastError(0);
  EXPECT_EQ(CreateWindowExW(0, u"Nobody", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_FALSE(RegisterClassW(&wc));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
}

TEST_F(WindowTest, CreateSendsCreateSizeMoveInOrder) {
  HWND parent = MakeWindow(0, 0, 0, 100, 100);
  Recorder::Get().Clear();
  HWND child = MakeWindow(WS_CHILD, 5, 6, 30, 20, parent, 0, 77);
  std::vector<Seen> seen = Recorder::Get().Only({WM_CREATE, WM_SIZE, WM_MOVE});
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_CREATE));
  EXPECT_EQ(seen[1], (Seen{child, WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 20)}));
  EXPECT_EQ(seen[2], (Seen{child, WM_MOVE, 0, MAKELPARAM(5, 6)}));
  EXPECT_EQ(GetDlgCtrlID(child), 77);
  EXPECT_EQ(GetDlgItem(parent, 77), child);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), child);
}

// ---- Window data ----------------------------------------------------------------------------

LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, 0));
  if (message == WM_USER) return 100 + CallWindowProcW(previous, hwnd, message, wparam, lparam);
  return CallWindowProcW(previous, hwnd, message, wparam, lparam);
}

LRESULT CALLBACK Base(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(WindowTest, SubclassedProcedureChainsThroughCallWindowProc) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  LONG_PTR original = SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(Base));
  EXPECT_EQ(original, reinterpret_cast<LONG_PTR>(RecorderProc));
  LONG_PTR previous = SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass));
  EXPECT_EQ(previous, reinterpret_cast<LONG_PTR>(Base));
  SetWindowLongPtrW(hwnd, 0, previous);  // kept in the window's extra bytes
  EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 101);
  // Zero changes nothing and returns the current procedure.
  EXPECT_EQ(SetWindowLongPtrW(hwnd, GWL_WNDPROC, 0), reinterpret_cast<LONG_PTR>(Subclass));
  EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(Subclass));
  EXPECT_EQ(CallWindowProcW(nullptr, hwnd, WM_USER, 0, 0), 0);
}

TEST_F(WindowTest, WindowLongErrorsAndUserData) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_USERDATA), 0);
  EXPECT_EQ(SetWindowLongW(hwnd, GWL_USERDATA, 1234), 0);
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_USERDATA), 1234);
  HWND gone = MakeWindow(0, 0, 0, 10, 10);
  DestroyWindow(gone);
  struct Case {
    HWND hwnd;
    int index;
    DWORD error;
  } cases[] = {
      {gone, GWL_USERDATA, ERROR_INVALID_WINDOW_HANDLE},
      {gone, GWL_ID, ERROR_INVALID_WINDOW_HANDLE},
      {hwnd, -77, ERROR_INVALID_INDEX},
      {hwnd, 8, ERROR_INVALID_INDEX},  // past the 8 extra bytes of the class
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(GetWindowLongW(c.hwnd, c.index), 0);
    EXPECT_EQ(GetLastError(), c.error);
    SetLastError(0);
    EXPECT_EQ(SetWindowLongW(c.hwnd, c.index, 5), 0);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(WindowTest, TextGoesThroughWmSetTextAndWmGetText) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  ASSERT_TRUE(SetWindowTextW(hwnd, u"Hello"));
  EXPECT_EQ(Recorder::Get().Numbers({WM_SETTEXT}).size(), 1u);
  WCHAR buffer[4];
  EXPECT_EQ(GetWindowTextW(hwnd, buffer, 4), 3);
  EXPECT_EQ(std::u16string(buffer), u"Hel");
  EXPECT_EQ(GetWindowTextLengthW(hwnd), 5);
}

// ---- Geometry -------------------------------------------------------------------------------

TEST_F(WindowTest, ClientAreaExcludesFrameCaptionAndScrollBar) {
  struct Case {
    DWORD style;
    LONG width, height;
  } cases[] = {
      {WS_POPUP, 100, 80},
      {WS_POPUP | WS_BORDER, 98, 78},
      {WS_POPUP | WS_DLGFRAME, 94, 74},
      {WS_POPUP | WS_CAPTION, 98, 78 - 26},
      {WS_POPUP | WS_VSCROLL, 100 - 13, 80},
  };
  for (const Case& c : cases) {
    HWND hwnd = MakeWindow(c.style, 10, 20, 100, 80);
    RECT client, window;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    ASSERT_TRUE(GetWindowRect(hwnd, &window));
    EXPECT_EQ(client.right, c.width) << std::hex << c.style;
    EXPECT_EQ(client.bottom, c.height) << std::hex << c.style;
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.bottom, 100);
  }
}

TEST_F(WindowTest, ChildCoordinatesFollowTheParentsClientArea) {
  HWND top = MakeWindow(WS_POPUP | WS_DLGFRAME, 10, 20, 100, 100);
  HWND child = MakeWindow(WS_CHILD | WS_BORDER, 4, 5, 50, 50, top);
  POINT p{0, 0};
  ASSERT_TRUE(ClientToScreen(child, &p));
  EXPECT_EQ(p.x, 10 + 3 + 4 + 1);
  EXPECT_EQ(p.y, 20 + 3 + 5 + 1);
  ASSERT_TRUE(ScreenToClient(top, &p));
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 6);
  MoveWindow(top, 0, 0, 100, 100, TRUE);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(r.left, 3 + 4);
}

LRESULT CALLBACK KeepPosition(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Recorder::Get().Add({hwnd, message, wparam, lparam});
  if (message == WM_WINDOWPOSCHANGED) return 0;  // handled: no WM_SIZE follows
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(WindowTest, MoveWindowSizeMessagesComeFromDefWindowProc) {
  HWND plain = MakeWindow(0, 0, 0, 10, 10);
  HWND handled = MakeWindow(0, 0, 0, 10, 10);
  SetWindowLongPtrW(handled, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(KeepPosition));
  Recorder::Get().Clear();
  MoveWindow(plain, 0, 0, 30, 40, FALSE);
  MoveWindow(handled, 0, 0, 30, 40, FALSE);
  std::vector<Seen> seen = Recorder::Get().Only({WM_WINDOWPOSCHANGED, WM_SIZE});
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].hwnd, plain);
  EXPECT_EQ(seen[1], (Seen{plain, WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 40)}));
  EXPECT_EQ(seen[2].hwnd, handled);
  EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_WINDOWPOSCHANGED));
}

// ---- Activation and focus -------------------------------------------------------------------

TEST_F(WindowTest, ActivationTellsTheLosingWindowWhoTookIt) {
  HWND first = MakeWindow(WS_VISIBLE, 0, 0, 10, 10);
  HWND second = MakeWindow(WS_VISIBLE, 0, 0, 10, 10);  // shown: activated
  EXPECT_EQ(GetActiveWindow(), second);
  Recorder::Get().Clear();
  EXPECT_EQ(SetActiveWindow(first), second);
  std::vector<Seen> seen = Recorder::Get().Only({WM_ACTIVATE});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (Seen{second, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(first)}));
  EXPECT_EQ(seen[1], (Seen{first, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(second)}));
  EXPECT_EQ(GetFocus(), first);  // DefWindowProc gives the activated window the focus
}

// Another thread reads its window's activation notice only when it next looks at its queue;
// by then a newer window may be active, and the old notice must not take activation back.
TEST_F(WindowTest, ActivationNoticeReadLateOnAnotherThreadLeavesTheNewerWindowActive) {
  HWND mine = MakeWindow(WS_VISIBLE, 0, 0, 10, 10);
  std::promise<HWND> made;
  std::promise<void> go, pumped, done;
  std::thread other([&] {
    RegisterRecorderClass();
    made.set_value(MakeWindow(0, 0, 0, 10, 10));
    go.get_future().wait();  // busy while both activations happen
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    pumped.set_value();
    done.get_future().wait();
  });
  HWND theirs = made.get_future().get();
  Recorder::Get().Clear();
  SetActiveWindow(theirs);
  SetActiveWindow(mine);
  go.set_value();
  pumped.get_future().wait();
  const HWND foreground = GetForegroundWindow(), focus = GetFocus();
  done.set_value();
  other.join();
  EXPECT_EQ(foreground, mine);
  EXPECT_EQ(focus, mine);
  // The notices did reach it, in order.
  std::vector<Seen> seen;
  for (const Seen& s : Recorder::Get().Only({WM_ACTIVATE}))
    if (s.hwnd == theirs) seen.push_back(s);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(LOWORD(seen[0].wparam), WA_ACTIVE);
  EXPECT_EQ(LOWORD(seen[1].wparam), WA_INACTIVE);
}

TEST_F(WindowTest, FocusMovesWithKillAndSetFocus) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 0, 100, 100);
  HWND edit = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top);
  Recorder::Get().Clear();
  EXPECT_EQ(SetFocus(edit), top);
  std::vector<Seen> seen = Recorder::Get().Only({WM_KILLFOCUS, WM_SETFOCUS});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (Seen{top, WM_KILLFOCUS, reinterpret_cast<WPARAM>(edit), 0}));
  EXPECT_EQ(seen[1], (Seen{edit, WM_SETFOCUS, reinterpret_cast<WPARAM>(top), 0}));
  ShowWindow(top, SW_HIDE);
  EXPECT_EQ(GetFocus(), nullptr);
}

// ---- Z-order, hit testing and painting ------------------------------------------------------

TEST_F(WindowTest, HitTestHonoursZOrderVisibilityParentClientAndRegions) {
  HWND below = MakeWindow(WS_VISIBLE, 0, 0, 100, 100);
  HWND topmost = MakeWindow(WS_VISIBLE, 50, 50, 50, 50, nullptr, WS_EX_TOPMOST);
  HWND above = MakeWindow(WS_VISIBLE, 0, 0, 60, 60);  // newer, but below the topmost one
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, 10, 10, 80, 20, above);  // sticks out
  HWND hidden = MakeWindow(0, 0, 0, 100, 100, nullptr, WS_EX_TOPMOST);
  (void)hidden;
  HRGN corner = CreateRectRgn(0, 0, 10, 10);
  ASSERT_TRUE(SetWindowRgn(topmost, corner, TRUE));  // only its top-left corner remains
  struct Case {
    POINT p;
    HWND expected;
  } cases[] = {
      {{55, 55}, topmost},  // inside the region
      {{75, 75}, below},    // outside it: falls through to what is beneath
      {{20, 15}, child},
      {{70, 15}, below},    // the child's part outside its parent's client area
      {{5, 5}, above},
      {{150, 150}, nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(WindowFromPoint(c.p), c.expected) << c.p.x << "," << c.p.y;

  std::vector<device::windows::WindowSnapshot> visible = device::windows::VisibleWindows();
  std::vector<HWND> order;
  for (auto& s : visible) order.push_back(s.hwnd);
  EXPECT_EQ(order, (std::vector<HWND>{below, above, child, topmost}));
  EXPECT_TRUE(visible.back().region.has_value());
}

TEST_F(WindowTest, SetParentMovesAWindowUnderAnotherParent) {
  HWND a = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 40, 40);
  HWND b = MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100, 60, 60);
  HWND c = MakeWindow(WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, a);
  HWND grandchild = MakeWindow(WS_CHILD | WS_VISIBLE, 1, 1, 4, 4, c);

  EXPECT_EQ(SetParent(c, b), a);
  EXPECT_EQ(GetParent(c), b);
  EXPECT_TRUE(IsChild(b, grandchild));
  EXPECT_EQ(GetWindow(a, GW_CHILD), nullptr);
  // The same position, now in b's client area; taps there reach it.
  RECT r{};
  GetWindowRect(c, &r);
  EXPECT_EQ(r.left, 105);
  EXPECT_EQ(r.top, 105);
  EXPECT_EQ(WindowFromPoint(POINT{107, 107}), grandchild);
  EXPECT_EQ(WindowFromPoint(POINT{7, 7}), a);

  // A window cannot go under itself or its own children.
  SetLastError(0);
  EXPECT_EQ(SetParent(b, grandchild), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SetParent(c, c), nullptr);
  EXPECT_EQ(GetParent(c), b);
  EXPECT_EQ(SetParent(c, reinterpret_cast<HWND>(0x1234)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

  // To the top level: no parent any more.
  EXPECT_EQ(SetParent(c, nullptr), b);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(GetParent(c), nullptr);
  EXPECT_EQ(GetWindow(b, GW_CHILD), nullptr);
  // Destroying the old parent leaves the moved window alone.
  DestroyWindow(b);
  EXPECT_TRUE(IsWindow(c));
  EXPECT_TRUE(IsWindow(grandchild));
}

TEST_F(WindowTest, WindowRegionRoundTrip) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 10, 10, 60, 60);
  HRGN out = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(GetWindowRgn(hwnd, out), ERROR);  // no region: the window is its rectangle

  // An L shape: two rectangles, so a complex region.
  HRGN shape = CreateRectRgn(0, 0, 40, 10);
  HRGN foot = CreateRectRgn(0, 10, 10, 40);
  ASSERT_EQ(CombineRgn(shape, shape, foot, RGN_OR), COMPLEXREGION);
  HRGN expected = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(expected, shape, nullptr, RGN_COPY);
  ASSERT_TRUE(SetWindowRgn(hwnd, shape, FALSE));
  EXPECT_EQ(GetWindowRgn(hwnd, out), COMPLEXREGION);
  EXPECT_TRUE(EqualRgn(out, expected));
  // A copy: changing it leaves the window's region as it was.
  OffsetRgn(out, 5, 5);
  HRGN again = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(hwnd, again), COMPLEXREGION);
  EXPECT_TRUE(EqualRgn(again, expected));

  HRGN box = CreateRectRgn(0, 0, 20, 20);
  ASSERT_TRUE(SetWindowRgn(hwnd, box, FALSE));
  EXPECT_EQ(GetWindowRgn(hwnd, out), SIMPLEREGION);
  RECT bounds{};
  GetRgnBox(out, &bounds);
  EXPECT_EQ(bounds.right, 20);
  EXPECT_EQ(bounds.bottom, 20);

  EXPECT_EQ(GetWindowRgn(hwnd, reinterpret_cast<HRGN>(GetStockObject(WHITE_BRUSH))), ERROR);
  ASSERT_TRUE(SetWindowRgn(hwnd, nullptr, FALSE));
  EXPECT_EQ(GetWindowRgn(hwnd, out), ERROR);
  SetLastError(0);
  DestroyWindow(hwnd);
  EXPECT_EQ(GetWindowRgn(hwnd, out), ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  for (HRGN r : {out, foot, expected, again}) DeleteObject(r);
}

TEST_F(WindowTest, UpdateRegionCollectsInvalidationsUntilTaken) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_BORDER | WS_VISIBLE, 0, 0, 52, 52);
  auto first = device::windows::TakeUpdateRegion(hwnd);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->region.Bounds(), (device::gdi::Rect{0, 0, 50, 50}));  // shown: all of it
  EXPECT_TRUE(first->erase);
  EXPECT_FALSE(device::windows::HasUpdateRegion(hwnd));
  RECT a{0, 0, 10, 10}, b{40, 40, 60, 60};
  InvalidateRect(hwnd, &a, FALSE);
  InvalidateRect(hwnd, &b, FALSE);
  auto second = device::windows::TakeUpdateRegion(hwnd);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->region.Area(), 100 + 100);  // the second is cut at the client edge
  EXPECT_FALSE(second->erase);
  EXPECT_FALSE(device::windows::TakeUpdateRegion(reinterpret_cast<HWND>(0x1234)).has_value());
}

}  // namespace
}  // namespace pellix::testing
