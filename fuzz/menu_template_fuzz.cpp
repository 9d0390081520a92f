// Menu templates come from module files the device loads: any bytes must parse or fail cleanly,
// and building a parsed menu must visit every item without faults.
#include <cstddef>
#include <cstdint>

#include "kernel/module_resources.h"

namespace {

class CountingSink : public pellix::device::MenuSink {
 public:
  void* CreateBar() override { return this; }
  void* CreatePopup() override { return this; }
  bool AppendItem(void*, uint16_t, uint16_t, const std::u16string& text) override {
    return Count(text.size());
  }
  bool AppendPopup(void*, void*, uint16_t, const std::u16string& text) override {
    return Count(text.size());
  }
  bool AppendSeparator(void*) override { return Count(0); }
  void Destroy(void*) override {}

 private:
  bool Count(size_t n) {
    total_ += n + 1;
    return total_ % 97 != 0;  // fail now and then to walk the clean-up paths too
  }
  size_t total_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto items = pellix::device::ParseMenuTemplate({data, size});
  if (items.ok()) {
    CountingSink sink;
    pellix::device::BuildMenu(*items, sink);
  }
  return 0;
}
