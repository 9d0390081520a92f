#include "windows/system_classes.h"

namespace pellix::device::windows {
namespace {

std::vector<WNDCLASSW>& List() {
  static std::vector<WNDCLASSW> list;
  return list;
}

}  // namespace

bool AddSystemClass(const WNDCLASSW& wc) {
  List().push_back(wc);
  return true;
}

const std::vector<WNDCLASSW>& SystemClasses() { return List(); }

}  // namespace pellix::device::windows
