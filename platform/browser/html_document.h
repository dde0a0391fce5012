#pragma once
// A small document object model for the headless browser: the element tree of a page parsed
// with gumbo, with just what the click handling reads (tag name, attributes, the link's
// fragment, inner text, id) and a record of the body styling the control applies.
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/browser/browser_host.h"

namespace brevalcore::browser {

// The deepest an element sits below the document, as browsers' HTML parsers cap it: deeper
// elements (and text) become siblings at the cap.
inline constexpr unsigned kMaxDomDepth = 512;

struct HtmlNode {
  HtmlNode() = default;
  ~HtmlNode();  // frees a tree of any depth without recursion
  HtmlNode(const HtmlNode&) = delete;
  HtmlNode& operator=(const HtmlNode&) = delete;

  String tag;  // lower case; empty for a text node
  String text; // text nodes only
  std::vector<std::pair<String, String>> attributes;  // names lower case, in document order
  std::vector<std::unique_ptr<HtmlNode>> children;
  HtmlNode* parent = nullptr;
  int line = 0, column = 0;  // where the element's tag starts in the page, 1-based; 0 when unknown

  const String* Attribute(StringView name) const;
};

class HtmlDocument : public std::enable_shared_from_this<HtmlDocument> {
 public:
  // Parses `html` (UTF-8). Never fails: gumbo recovers from any input as browsers do.
  static std::shared_ptr<HtmlDocument> Parse(std::string_view html, String url);

  const String& url() const { return url_; }
  HtmlNode* root() const { return root_.get(); }
  HtmlNode* body() const;

  std::shared_ptr<Element> Wrap(HtmlNode* node);
  // The first element (document order) with the given id, or null.
  std::shared_ptr<Element> FindById(StringView id);
  // The first anchor whose href attribute is `href` and, when `text` is given, whose inner
  // text without surrounding spaces is `text`; null when there is none.
  std::shared_ptr<Element> FindAnchor(StringView href, const String* text);

  bool bodyBorderNone = false;
  bool bodyScrollNo = false;
  int clicks = 0;  // Element::Click calls, for tests

 private:
  String url_;
  std::unique_ptr<HtmlNode> root_;
};

// The fragment of a link as the element's `hash` reports it: "#" and what follows the first
// "#", or empty when there is no fragment or it is empty.
String HashOf(StringView href);
// Text content with runs of white space collapsed to one space, as a page renders it.
String InnerTextOf(const HtmlNode& node);

}  // namespace brevalcore::browser
