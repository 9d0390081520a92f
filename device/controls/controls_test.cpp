// Conformance of the platform's controls the module's forms use: the "STATIC" picture button
// and the common controls toolbar, driven through their messages as a program drives them.
#include <commctrl.h>

#include "windows/test_window.h"

namespace pellix::testing {
namespace {

class ControlsTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass(GetSysColorBrush(COLOR_WINDOW));
    Recorder::Get().Clear();
    parent_ = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 240, 200);
  }

  // A colour bitmap of one colour.
  static HBITMAP Solid(int width, int height, COLORREF colour) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
  }

  // What a window shows at a point of its client area, once it has painted.
  static COLORREF Shown(HWND hwnd, int x, int y) {
    UpdateWindow(hwnd);
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
  }

  std::vector<Seen> Commands() { return Recorder::Get().Only({WM_COMMAND}); }

  HWND parent_ = nullptr;
};

// ---- STATIC ----------------------------------------------------------------------------------

TEST_F(ControlsTest, StaticShowsTheBitmapItIsGiven) {
  HWND button = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE,
                                0, 100, 23, 22, parent_, reinterpret_cast<HMENU>(1200), nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  HBITMAP red = Solid(24, 23, RGB(255, 0, 0)), blue = Solid(4, 4, RGB(0, 0, 255));
  EXPECT_EQ(SendMessageW(button, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(red)), 0);
  EXPECT_EQ(SendMessageW(button, STM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(red));
  EXPECT_EQ(Shown(button, 11, 11), RGB(255, 0, 0));
  RECT r{};
  GetClientRect(button, &r);
  EXPECT_EQ(r.right, 23);  // centred pictures leave the control its size
  EXPECT_EQ(r.bottom, 22);

  // Replacing hands back the previous picture; a small one is centred on the background.
  EXPECT_EQ(SendMessageW(button, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(blue)),
            reinterpret_cast<LRESULT>(red));
  EXPECT_EQ(Shown(button, 11, 11), RGB(0, 0, 255));
  EXPECT_EQ(Shown(button, 1, 1), GetSysColor(COLOR_STATIC));
  // An icon is not what a bitmap static takes.
  EXPECT_EQ(SendMessageW(button, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(red)), 0);
  EXPECT_EQ(SendMessageW(button, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(GetStockObject(BLACK_BRUSH))), 0);
  EXPECT_EQ(SendMessageW(button, STM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(blue));

  // Without SS_CENTERIMAGE the control takes the picture's size.
  HWND sized = CreateWindowExW(0, u"static", u"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 50, 50, 100, 100, parent_,
                               nullptr, nullptr, nullptr);
  SendMessageW(sized, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(red));
  GetClientRect(sized, &r);
  EXPECT_EQ(r.right, 24);
  EXPECT_EQ(r.bottom, 23);

  // The control never owns the picture: after it is gone the program still can delete it.
  DestroyWindow(button);
  DestroyWindow(sized);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_TRUE(DeleteObject(blue));
}

TEST_F(ControlsTest, StaticTellsItsParentOfATapOnlyWithSsNotify) {
  HWND notifying = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY, 0, 0, 20, 20,
                                   parent_, reinterpret_cast<HMENU>(1200), nullptr, nullptr);
  HWND quiet = CreateWindowExW(0, u"STATIC", u"label", WS_CHILD | WS_VISIBLE, 100, 0, 60, 20, parent_,
                               reinterpret_cast<HMENU>(7), nullptr, nullptr);
  SendMessageW(notifying, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(notifying, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  SendMessageW(quiet, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  const std::vector<Seen> commands = Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].hwnd, parent_);
  EXPECT_EQ(commands[0].wparam, MAKEWPARAM(1200, STN_CLICKED));  // high word 0
  EXPECT_EQ(commands[0].lparam, reinterpret_cast<LPARAM>(notifying));
  // A text static draws its text on the background.
  EXPECT_EQ(Shown(quiet, 59, 19), GetSysColor(COLOR_STATIC));
}

// ---- ToolbarWindow32 -------------------------------------------------------------------------

class ToolbarTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    panel_ = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 240, 104, parent_);
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, u"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER |
                                   TBSTYLE_WRAPABLE | CCS_NODIVIDER | CCS_TOP,
                               0, 0, 200, 20, panel_, reinterpret_cast<HMENU>(100), nullptr, nullptr);
    ASSERT_NE(toolbar_, nullptr);
  }

  // What the smiley picker sends before its buttons.
  void Prepare() {
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, TBBUTTON_PLATFORM_SIZE, 0);
    SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(12, 12));
    SendMessageW(toolbar_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(12, 14));
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(20, 20));
    SendMessageW(toolbar_, TB_SETINDENT, 0, 0);
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  }

  // One button with a picture of one colour; the toolbar keeps a copy, so the source goes.
  void AddButton(int k, COLORREF colour) {
    HBITMAP picture = Solid(20, 20, colour);
    TBADDBITMAP add{nullptr, reinterpret_cast<UINT_PTR>(picture)};
    ASSERT_EQ(SendMessageW(toolbar_, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&add)), k);
    DeleteObject(picture);
    TBBUTTON button{};
    button.iBitmap = k;
    button.idCommand = 1400 + k;
    button.fsState = TBSTATE_ENABLED;
    button.dwData = reinterpret_cast<DWORD_PTR>(kCodes[k % 3]);
    ASSERT_TRUE(SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)));
  }

  RECT ItemRect(int index) {
    RECT r{};
    EXPECT_TRUE(SendMessageW(toolbar_, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)));
    return r;
  }

  void Tap(int down_index, int up_index) {
    const RECT a = ItemRect(down_index), b = ItemRect(up_index);
    SendMessageW(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((a.left + a.right) / 2, (a.top + a.bottom) / 2));
    SendMessageW(toolbar_, WM_LBUTTONUP, 0, MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2));
  }

  static constexpr const WCHAR* kCodes[3] = {u":-)", u";-)", u":-("};
  HWND panel_ = nullptr, toolbar_ = nullptr;
};

TEST_F(ToolbarTest, PickerButtonsWrapIntoRowsAndTheToolbarGrowsToHoldThem) {
  Prepare();
  for (int k = 0; k < 20; ++k) AddButton(k, RGB(10 * k, 100, 200));
  RECT bound{};
  SendMessageW(toolbar_, TB_SETROWS, MAKEWPARAM(3, TRUE), reinterpret_cast<LPARAM>(&bound));
  SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);

  EXPECT_EQ(SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0), 20);
  // 20 x 20 pictures make 27 x 26 buttons; the toolbar took its parent's width, 240 less its
  // 2-pixel border, where 8 would fit a row; three rows were asked for, so 7, 7 and 6.
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETBUTTONSIZE, 0, 0), MAKELONG(27, 26));
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETROWS, 0, 0), 3);
  RECT window{}, client{};
  GetWindowRect(toolbar_, &window);
  GetClientRect(toolbar_, &client);
  EXPECT_EQ(window.right - window.left, 240);
  EXPECT_EQ(client.bottom, 3 * 26);
  EXPECT_EQ(bound.bottom, 3 * 26);
  EXPECT_EQ(ItemRect(6).left, 6 * 27);
  EXPECT_EQ(ItemRect(7).left, 0);
  EXPECT_EQ(ItemRect(7).top, 26);
  EXPECT_EQ(ItemRect(14).top, 52);
  EXPECT_EQ(ItemRect(19).left, 5 * 27);
  // With one row asked for, as many as the width holds: 8, 8 and 4.
  SendMessageW(toolbar_, TB_SETROWS, MAKEWPARAM(1, TRUE), 0);
  EXPECT_EQ(ItemRect(7).left, 7 * 27);
  EXPECT_EQ(ItemRect(16).top, 52);
  SendMessageW(toolbar_, TB_SETROWS, MAKEWPARAM(3, TRUE), 0);

  // Each picture is the toolbar's own copy, drawn in the middle of its button.
  const RECT third = ItemRect(3);
  EXPECT_EQ(Shown(toolbar_, (third.left + third.right) / 2, (third.top + third.bottom) / 2), RGB(30, 100, 200));
}

TEST_F(ToolbarTest, MoreRowsThanNeededSpreadTheButtons) {
  Prepare();
  for (int k = 0; k < 6; ++k) AddButton(k, RGB(0, 0, 0));
  SendMessageW(toolbar_, TB_SETROWS, MAKEWPARAM(3, TRUE), 0);
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETROWS, 0, 0), 3);
  EXPECT_EQ(ItemRect(1).top, 0);
  EXPECT_EQ(ItemRect(2).top, 26);
  SendMessageW(toolbar_, TB_SETROWS, MAKEWPARAM(1, TRUE), 0);
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETROWS, 0, 0), 1);
}

TEST_F(ToolbarTest, ATapSendsTheButtonsCommandAndItsDataCanBeRead) {
  Prepare();
  for (int k = 0; k < 4; ++k) AddButton(k, RGB(0, 0, 0));
  Tap(2, 2);
  std::vector<Seen> commands = Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].hwnd, panel_);
  EXPECT_EQ(commands[0].wparam, MAKEWPARAM(1402, 0));
  EXPECT_EQ(commands[0].lparam, reinterpret_cast<LPARAM>(toolbar_));

  // A press taken off the button, and a disabled button, send nothing.
  Recorder::Get().Clear();
  Tap(1, 3);
  SendMessageW(toolbar_, TB_ENABLEBUTTON, 1401, FALSE);
  Tap(1, 1);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETSTATE, 1401, 0), 0);

  // The data of a button, read as the picker reads it: a record of the platform's size.
  TBBUTTONINFOW info{};
  info.cbSize = TBBUTTONINFO_PLATFORM_SIZE;
  info.dwMask = TBIF_LPARAM;
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETBUTTONINFOW, 1402, reinterpret_cast<LPARAM>(&info)), 2);
  EXPECT_EQ(reinterpret_cast<const WCHAR*>(info.lParam), kCodes[2]);
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETBUTTONINFOW, 1499, reinterpret_cast<LPARAM>(&info)), -1);
  info.cbSize = 12;
  EXPECT_EQ(SendMessageW(toolbar_, TB_GETBUTTONINFOW, 1402, reinterpret_cast<LPARAM>(&info)), -1);

  // By position: the button's command and data.
  TBBUTTON button{};
  ASSERT_TRUE(SendMessageW(toolbar_, TB_GETBUTTON, 3, reinterpret_cast<LPARAM>(&button)));
  EXPECT_EQ(button.idCommand, 1403);
  EXPECT_EQ(reinterpret_cast<const WCHAR*>(button.dwData), kCodes[0]);  // four buttons share three codes
  EXPECT_FALSE(SendMessageW(toolbar_, TB_GETBUTTON, 4, reinterpret_cast<LPARAM>(&button)));
  EXPECT_FALSE(SendMessageW(toolbar_, TB_GETBUTTON, 0, 0));
}

TEST_F(ToolbarTest, RefusesWhatItCannotHold) {
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, 24, 0);  // neither the platform's size nor ours
  TBBUTTON button{};
  EXPECT_FALSE(SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)));
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  std::vector<TBBUTTON> many(1025);
  EXPECT_FALSE(SendMessageW(toolbar_, TB_ADDBUTTONSW, many.size(), reinterpret_cast<LPARAM>(many.data())));
  EXPECT_TRUE(SendMessageW(toolbar_, TB_ADDBUTTONSW, 1024, reinterpret_cast<LPARAM>(many.data())));
  EXPECT_FALSE(SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(many.data())));
  EXPECT_EQ(SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0), 1024);
  // Only bitmap handles are taken, not resources of a module.
  TBADDBITMAP bad{reinterpret_cast<HINSTANCE>(1), 5};
  EXPECT_EQ(SendMessageW(toolbar_, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bad)), -1);
  TBADDBITMAP brush{nullptr, reinterpret_cast<UINT_PTR>(GetStockObject(WHITE_BRUSH))};
  EXPECT_EQ(SendMessageW(toolbar_, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&brush)), -1);
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&init));
}

}  // namespace
}  // namespace pellix::testing
