// Controls, forms, timers and the application loop on the headless backend.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestClasses.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/host/Registry.h"
#include "korvane3d/host/Thread.h"
#include "korvane3d/host/Timer.h"
#include "korvane3d/platform/win/Backend.h"
#include "support/BoundedRun.h"

using namespace kv;
using namespace std::chrono_literals;

namespace {

// Records the messages that reach it, and paints a red square.
class TProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<UINT> messages;
  int resizes = 0;
  int paints = 0;

 protected:
  void Dispatch(TMessage& message) override {
    if (message.Msg == WM_CREATE || message.Msg == WM_SIZE || message.Msg == WM_PAINT) messages.push_back(message.Msg);
    TCustomControl::Dispatch(message);
  }
  void Resize() override {
    ++resizes;
    TCustomControl::Resize();
  }
  void Paint() override {
    ++paints;
    Canvas()->Brush.Color = clRed;
    Canvas()->FillRect(RECT{0, 0, 4, 4});
  }
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    ResetApplication();
    kv::platform::ClearRecordedMessageBoxes();
  }
};

std::uint32_t PixelOf(HWND wnd, int x, int y) {
  kv::platform::WindowPixels px;
  if (!kv::platform::LockWindowPixels(wnd, &px)) return 0xDEADBEEF;
  const std::uint32_t value =
      px.pixels[(px.clientOrigin.y + y) * px.pitchPixels + px.clientOrigin.x + x] & 0x00FFFFFF;
  kv::platform::UnlockWindowPixels(wnd);
  return value;
}

}  // namespace

TEST_F(Controls, HandlesAreMadeOnDemandParentFirst) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* probe = new TProbe(form.get());
  EXPECT_FALSE(probe->HandleAllocated());
  EXPECT_EQ(probe->Handle(), nullptr);  // no parent window to live in
  EXPECT_NE(LastErrorText().find("no parent window"), std::string::npos);

  probe->SetParent(form.get());
  probe->SetBounds(10, 20, 100, 50);
  EXPECT_FALSE(form->HandleAllocated());
  HWND child = probe->Handle();
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(form->HandleAllocated());
  EXPECT_EQ(GetParent(child), form->Handle());
  RECT r;
  GetClientRect(child, &r);
  EXPECT_EQ(r, (RECT{0, 0, 100, 50}));
  EXPECT_EQ(probe->messages.front(), WM_CREATE);

  probe->DestroyHandle();
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(probe->HandleAllocated());
}

TEST_F(Controls, SizeAndPaintMessagesReachTheControl) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 200, 100);
  auto* probe = new TProbe(form.get());
  probe->SetParent(form.get());
  probe->SetBounds(8, 8, 40, 30);
  form->Show();
  ASSERT_TRUE(probe->HandleAllocated());
  probe->messages.clear();
  probe->resizes = 0;

  probe->SetBounds(8, 8, 60, 30);  // size change: WM_SIZE, then Resize
  EXPECT_EQ(probe->resizes, 1);
  EXPECT_EQ(probe->Width(), 60);
  probe->SetBounds(9, 9, 60, 30);  // a move alone does not resize
  EXPECT_EQ(probe->resizes, 1);

  Application().ProcessMessages();  // WM_PAINT for the invalidated window
  EXPECT_GE(probe->paints, 1);
  EXPECT_NE(std::find(probe->messages.begin(), probe->messages.end(), WM_SIZE), probe->messages.end());
  EXPECT_NE(std::find(probe->messages.begin(), probe->messages.end(), WM_PAINT), probe->messages.end());
  EXPECT_EQ(PixelOf(probe->Handle(), 1, 1), 0x00FF0000u);  // red, as 0x00RRGGBB

  const int before = probe->paints;
  probe->Invalidate();
  Application().ProcessMessages();
  EXPECT_EQ(probe->paints, before + 1);
}

TEST_F(Controls, SetBoundsWithoutAWindowResizesDirectly) {
  TProbe probe(nullptr);
  int events = 0;
  probe.OnResize = [&](TObject* sender) { events += sender == &probe; };
  probe.SetBounds(0, 0, 10, 10);
  probe.SetBounds(0, 0, 10, 10);
  probe.SetWidth(-5);  // clamped to 0
  EXPECT_EQ(probe.resizes, 2);
  EXPECT_EQ(events, 2);
  EXPECT_EQ(probe.Width(), 0);
  EXPECT_EQ(probe.ClientRect(), (RECT{0, 0, 0, 10}));
}

TEST_F(Controls, SizesNoWindowMayHaveAreRefusedWithTheFileAndLine) {
  // Each row in a child process with a time and memory bound: before, a
  // form this large ended the process or took gigabytes for its pixels.
  RegisterHostClasses();
  struct Row {
    const char* what;
    const char* width;
    const char* height;
    bool refused;
  };
  const Row rows[] = {
      {"100000 x 100000", "100000", "100000", true},
      {"2e9 x 2e9", "2000000000", "2000000000", true},
      {"40000 x 40000", "40000", "40000", true},
      {"a side too long", "16385", "16", true},
      {"each side allowed, too many pixels", "16384", "8192", true},
      {"the largest", "16384", "4096", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string text = std::string("object Form1: TForm\n  Width = ") + row.width + "\n  Height = " +
                             row.height + "\n  Visible = True\nend\n";
    const kvtest::BoundedOutcome outcome = kvtest::RunBounded(
        [&] {
          std::unique_ptr<TComponent> form = ReadComponentText(text, "big.kvf");
          if (form == nullptr) {
            const std::string error = LastErrorText();
            return error.find("big.kvf:") != std::string::npos && error.find("16384") != std::string::npos ? 10 : 11;
          }
          auto* shown = static_cast<TForm*>(form.get());
          RECT client{};
          if (!shown->HandleAllocated() || !GetClientRect(shown->Handle(), &client)) return 12;
          return client.right == std::stoi(row.width) && client.bottom == std::stoi(row.height) ? 0 : 13;
        },
        30);
    ASSERT_TRUE(outcome.finished) << outcome.Describe();
    EXPECT_EQ(outcome.result, row.refused ? 10 : 0) << outcome.Describe();
    EXPECT_LT(outcome.seconds, 10 * kvtest::kTimeBoundScale) << outcome.Describe();
    const long boundMiB = (row.refused ? 64 : 256 + 64) * kvtest::kMemoryBoundScale;
    EXPECT_LT(outcome.peakGrowthKb / 1024, boundMiB) << outcome.Describe();
  }
  // In code: refused with the reason, nothing changed.
  TForm form(nullptr);
  ASSERT_TRUE(form.SetBounds(10, 20, 300, 200));
  ClearLastError();
  EXPECT_FALSE(form.SetClientWidth(2147483647));
  EXPECT_NE(LastErrorText().find("16384"), std::string::npos) << LastErrorText();
  EXPECT_FALSE(form.SetHeight(100000));
  EXPECT_FALSE(form.SetLeft(2147483647));
  EXPECT_EQ(form.BoundsRect(), (RECT{10, 20, 310, 220}));
}

TEST_F(Controls, ParentsFreeOwnedChildrenAndRefuseCycles) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* outer = new TProbe(form.get());
  auto* inner = new TProbe(form.get());
  outer->SetParent(form.get());
  inner->SetParent(outer);
  EXPECT_FALSE(outer->SetParent(inner));
  EXPECT_EQ(outer->Parent(), form.get());
  TProbe loose(nullptr);  // held here: only let go by its parent
  loose.SetParent(outer);
  form->Show();
  ASSERT_TRUE(loose.HandleAllocated());
  Link<TProbe> innerLink(inner);
  delete outer;
  EXPECT_EQ(innerLink.get(), nullptr);
  EXPECT_EQ(loose.Parent(), nullptr);
  EXPECT_FALSE(loose.HandleAllocated());
  EXPECT_EQ(form->ControlCount(), 0);
}

TEST_F(Controls, FormsCloseAndEndTheApplicationLoop) {
  auto form = std::make_unique<TForm>(nullptr);
  EXPECT_EQ(Application().MainForm(), form.get());
  form->SetCaption("Main");
  form->Show();
  ASSERT_TRUE(form->Showing());
  EXPECT_EQ(GetWindowTextA(form->Handle()), "Main");

  bool asked = false;
  form->OnClose = [&](TObject*, TCloseAction& action) {
    action = asked ? caHide : caNone;
    asked = true;
  };
  PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
  Application().ProcessMessages();
  EXPECT_TRUE(form->Visible());  // refused the first time
  EXPECT_FALSE(Application().Terminated());

  PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
  Application().Run();  // returns: closing the main form terminates
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(form->Visible());
}

TEST_F(Controls, TimersFireFromTheLoopWhileEnabled) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* timer = new TTimer(owner.get());
  timer->SetInterval(5);
  int ticks = 0;
  timer->OnTimer = [&](TObject* sender) {
    EXPECT_EQ(sender, timer);
    if (++ticks == 3) Application().Terminate();
  };
  Application().Run();
  EXPECT_EQ(ticks, 3);

  timer->SetEnabled(false);
  std::this_thread::sleep_for(10ms);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 3);

  // A handler that frees its timer.
  timer->SetEnabled(true);
  timer->OnTimer = [&](TObject*) { delete timer; };
  std::this_thread::sleep_for(10ms);
  Application().ProcessMessages();
  EXPECT_EQ(owner->ComponentCount(), 0);
}

// OnIdle runs when the loop runs dry; with Done false it is called again at
// once, with Done true the loop sleeps until work arrives.
TEST_F(Controls, IdleHandlerRunsWhenThereIsNothingToDo) {
  int idle = 0;
  std::thread worker;
  Application().OnIdle = [&](TObject*, bool& done) {
    ++idle;
    done = idle != 1;
    if (idle == 2) {
      worker = std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Application().Queue().Post([] {});
      });
    }
    if (idle == 3) Application().Terminate();
  };
  Application().Run();
  worker.join();
  EXPECT_EQ(idle, 3);
}

TEST_F(Controls, ApplicationServicesReachThePlatform) {
  auto form = std::make_unique<TForm>(nullptr);
  form->Show();
  EXPECT_EQ(Application().MessageBox("Hello", "Korvane", MB_OK), IDOK);
  const auto boxes = kv::platform::RecordedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Hello");
  EXPECT_EQ(boxes[0].owner, form->Handle());

  EXPECT_NE(Application().ExeName().find("test_host"), std::string::npos);
  kv::platform::SetHeadlessScreenSize(800, 600);
  EXPECT_EQ(Screen().Width(), 800);
  EXPECT_EQ(Screen().Height(), 600);
}

TEST_F(Controls, ThreadsSynchronizeThroughTheRunningLoop) {
  class TCounter : public TThread {
   public:
    std::atomic<int> count{0};
    ~TCounter() override {
      Terminate();
      WaitFor();
    }

   protected:
    void Execute() override {
      for (int i = 0; i < 5; ++i) {
        Synchronize([this] { ++count; });
      }
      Synchronize([] { Application().Terminate(); });
    }
  };
  std::unique_ptr<TCounter> thread(TThread::CreateRunning<TCounter>());
  Application().Run();
  EXPECT_EQ(thread->count, 5);
}

TEST_F(Controls, FormsWithControlsRoundTripThroughText) {
  const char* text = R"(object MainForm: TForm
  Left = 10
  Top = 20
  Width = 320
  Height = 200
  Caption = 'Demo'
  OnClose = FormClose
  object Go: TButton
    Left = 8
    Top = 8
    Caption = 'Go'
    OnClick = GoClick
  end
  object Tick: TTimer
    Interval = 50
  end
end
)";
  auto form = std::make_unique<TForm>(nullptr);
  int clicks = 0;
  form->RegisterMethod("GoClick", [&](TObject*) { ++clicks; });
  form->RegisterMethod("FormClose", [](TObject*, TCloseAction&) {});
  ASSERT_TRUE(ReadComponentText(text, "demo.kvf", form.get())) << LastErrorText();
  auto* go = dynamic_cast<TButton*>(form->FindComponent("Go"));
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(go->Parent(), form.get());  // nesting gives the parent
  go->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(form->HandleAllocated());  // not shown

  std::string written;
  ASSERT_TRUE(WriteComponentText(form.get(), written)) << LastErrorText();
  EXPECT_EQ(written, text);
}

TEST_F(Controls, ButtonsClickOnMouseReleaseAndPaintTheirFace) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* button = new TButton(form.get());
  button->SetParent(form.get());
  button->SetCaption("OK");
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  button->Perform(WM_LBUTTONDOWN, 0, 0);
  button->Perform(WM_LBUTTONUP, 0, 0);
  button->Perform(WM_LBUTTONUP, 0, 0);  // no press: no click
  EXPECT_EQ(clicks, 1);
  Application().ProcessMessages();
  EXPECT_EQ(PixelOf(button->Handle(), 2, 2), (GetSysColor(COLOR_BTNFACE) & 0xFF) << 16 |
                                                 (GetSysColor(COLOR_BTNFACE) & 0xFF00) |
                                                 (GetSysColor(COLOR_BTNFACE) >> 16 & 0xFF));
}

TEST_F(Controls, TheFrameworkClassesAreRegistered) {
  for (const char* name : {"TForm", "TButton", "TTimer", "TComponent"}) EXPECT_NE(FindClass(name), nullptr) << name;
}

TEST_F(Controls, AlignedChildrenFollowTheParentsSize) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 300, 200);
  auto* top = new TProbe(form.get());
  auto* left = new TProbe(form.get());
  auto* client = new TProbe(form.get());
  top->SetHeight(20);
  left->SetWidth(50);
  for (TProbe* p : {top, left, client}) p->SetParent(form.get());
  client->SetAlign(alClient);
  left->SetAlign(alLeft);
  top->SetAlign(alTop);
  EXPECT_EQ(top->BoundsRect(), (RECT{0, 0, 300, 20}));
  EXPECT_EQ(left->BoundsRect(), (RECT{0, 20, 50, 200}));
  EXPECT_EQ(client->BoundsRect(), (RECT{50, 20, 300, 200}));

  form->Show();
  form->SetBounds(0, 0, 400, 100);  // through WM_SIZE
  EXPECT_EQ(client->BoundsRect(), (RECT{50, 20, 400, 100}));
  delete top;
  EXPECT_EQ(client->BoundsRect(), (RECT{50, 0, 400, 100}));
}

TEST_F(Controls, MouseMessagesBecomeEventsWithClientCoordinates) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* probe = new TProbe(form.get());
  probe->SetParent(form.get());
  probe->SetBounds(0, 0, 50, 50);
  std::vector<std::string> seen;
  probe->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    seen.push_back("down " + std::to_string(b) + (s.Contains(ssShift) ? " shift " : " ") + std::to_string(x) + "," +
                   std::to_string(y));
  };
  probe->OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
    seen.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };
  probe->OnClick = [&](TObject*) { seen.push_back("click"); };
  probe->Perform(WM_LBUTTONDOWN, 0x0004, MAKELPARAM(3, 4));
  probe->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<unsigned>(-2), 7));
  probe->Perform(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  probe->Perform(WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
  probe->Perform(WM_LBUTTONUP, 0, MAKELPARAM(60, 1));  // released outside: no click
  EXPECT_EQ(seen, (std::vector<std::string>{"down 0 shift 3,4", "move -2,7", "click", "down 0 1,1"}));
}
