// The elements a page's document is built from.
#pragma once

#include <memory>

namespace litehtml {
class document;
class element;
}  // namespace litehtml

namespace pellix::device::htmlview {

// The element for a tag: the engine's own class for it, made to remember its style lookups.
std::shared_ptr<litehtml::element> CreatePageElement(const char* tag, const std::shared_ptr<litehtml::document>& doc);

}  // namespace pellix::device::htmlview
