// Parses arbitrary bytes as a banner page and runs every query the click handling makes on the
// headless document. Beyond not crashing: every element found by id or by link has that id or
// link, and the first element with a given id or href is the one the queries return.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/browser/html_document.h"

using namespace brevalcore;
using automation::String;
using browser::HtmlNode;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Elements in document order, walked without recursion: the page decides the depth.
std::vector<HtmlNode*> ElementsOf(HtmlNode* root) {
  std::vector<HtmlNode*> elements;
  std::vector<HtmlNode*> pending{root};
  while (!pending.empty()) {
    HtmlNode* node = pending.back();
    pending.pop_back();
    if (!node->tag.empty()) elements.push_back(node);
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
      Check((*child)->parent == node);
      pending.push_back(child->get());
    }
  }
  return elements;
}

void CheckElement(browser::HtmlDocument& document, HtmlNode* node) {
  const auto element = document.Wrap(node);
  const String tag = element->TagName();
  Check(!tag.empty());
  (void)element->InnerText();
  (void)element->Hash();
  if (const String* id = node->Attribute(u"id")) Check(element->Id() == *id && element->HasAttribute(u"ID"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  const auto document = browser::HtmlDocument::Parse(html, u"file:///banners/banner.html");
  (void)document->body();
  (void)browser::InnerTextOf(*document->root());

  const std::vector<HtmlNode*> elements = ElementsOf(document->root());
  for (HtmlNode* node : elements) {
    CheckElement(*document, node);
    if (const String* id = node->Attribute(u"id")) {
      const auto found = document->FindById(*id);
      Check(found && found->Id() == *id);
    }
    const String* href = node->tag == u"a" ? node->Attribute(u"href") : nullptr;
    if (!href) continue;
    const auto anchor = document->FindAnchor(*href, nullptr);
    Check(anchor && anchor->GetAttribute(u"href") == *href);
    const String text = anchor->InnerText();
    Check(document->FindAnchor(*href, &text) != nullptr);
    const String hash = browser::HashOf(*href);
    Check(hash.empty() || (hash[0] == u'#' && hash.size() > 1));
  }
  return 0;
}
