// The scripted user on POSIX: a presenter in the platform layer.
#include <dlfcn.h>

#include <imexp/presenter.h>

#include <stdexcept>

#include "platform/posix/host_exports.h"
#include "platform/win32.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace imexp::test {

namespace {

UiSnapshot Snapshot(const DialogView& view) {
  UiSnapshot snapshot;
  for (const ControlState& c : view.Controls()) {
    snapshot.controls.push_back({c.id, ClassNameOf(c.kind), c.text, c.x, c.y, c.width, c.height, c.enabled,
                                 c.visible, c.focused, c.lines, c.selection, c.checked});
  }
  return snapshot;
}

}  // namespace

struct UiDriver::Impl final : Presenter {
  std::vector<UiScript> scripts;
  std::size_t next = 0;
  std::vector<UiWindowRecord> windows;
  ImExpPosix_SetPresenterFn setPresenter = nullptr;

  UiScript NextScript() { return next < scripts.size() ? scripts[next++] : UiScript{}; }

  int ShowMessageBox(void*, const char* text, const char* caption, unsigned type) override {
    UiWindowRecord record;
    record.messageBox = true;
    record.caption = caption;
    record.text = text;
    record.errorIcon = (type & 0xF0u) == MB_ICONERROR;
    record.warningIcon = (type & 0xF0u) == MB_ICONWARNING;
    UiScript script = NextScript();
    int answer = IDOK;
    if (!script.empty() && script[0].kind == UiAction::kAnswer) answer = script[0].id;
    windows.push_back(record);
    return answer;
  }

  void RunDialog(DialogView& view) override {
    UiScript script = NextScript();
    std::size_t index = windows.size();
    windows.push_back({});
    windows[index].caption = view.Caption();
    windows[index].width = view.Width();
    windows[index].height = view.Height();
    windows[index].states.push_back(Snapshot(view));
    for (const UiAction& action : script) {
      bool accepted = true;
      switch (action.kind) {
        case UiAction::kPress:
          accepted = view.Press(action.id);
          break;
        case UiAction::kType:
          accepted = view.Type(action.id, action.text);
          break;
        case UiAction::kPickLine:
          accepted = view.PickLine(action.id, action.line);
          break;
        case UiAction::kFocus:
          accepted = view.Focus(action.id);
          break;
        case UiAction::kEnter:
          view.PressEnter();
          break;
        case UiAction::kEscape:
          view.PressEscape();
          break;
        case UiAction::kAnswer:
          accepted = false;
          break;
      }
      // A nested dialog may have grown the list: index, not a reference.
      windows[index].accepted.push_back(accepted);
      if (view.Ended()) break;
      windows[index].states.push_back(Snapshot(view));
    }
  }
};

UiDriver::UiDriver(std::vector<UiScript> scripts, const Library* manager) : impl_(new Impl) {
  impl_->scripts = std::move(scripts);
  void* symbol =
      manager ? manager->Symbol("ImExpPosix_SetPresenter") : dlsym(RTLD_DEFAULT, "ImExpPosix_SetPresenter");
  impl_->setPresenter = reinterpret_cast<ImExpPosix_SetPresenterFn>(symbol);
  if (impl_->setPresenter == nullptr) throw std::runtime_error("no presenter hook found");
  impl_->setPresenter(impl_);
}

UiDriver::~UiDriver() {
  impl_->setPresenter(nullptr);
  delete impl_;
}

const std::vector<UiWindowRecord>& UiDriver::windows() const { return impl_->windows; }

}  // namespace imexp::test
