#include "platform/browser/html_document.h"

#include <gumbo.h>

namespace brevalcore::browser {

using automation::Ascii;
using automation::EqualsNoCase;
using automation::FromUtf8;
using automation::ToLower;

const String* HtmlNode::Attribute(StringView name) const {
  for (const auto& [key, value] : attributes)
    if (EqualsNoCase(key, name)) return &value;
  return nullptr;
}

namespace {

String TagNameOf(const GumboNode* node) {
  const GumboElement& element = node->v.element;
  if (element.tag != GUMBO_TAG_UNKNOWN) return Ascii(gumbo_normalized_tagname(element.tag));
  GumboStringPiece piece = element.original_tag;
  gumbo_tag_from_original_text(&piece);
  return ToLower(FromUtf8(std::string_view(piece.data, piece.length)));
}

void Convert(const GumboNode* source, HtmlNode& target) {
  const GumboVector* children = nullptr;
  if (source->type == GUMBO_NODE_DOCUMENT) {
    children = &source->v.document.children;
  } else {
    target.tag = TagNameOf(source);
    const GumboVector& attributes = source->v.element.attributes;
    for (unsigned i = 0; i < attributes.length; ++i) {
      const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
      target.attributes.emplace_back(ToLower(FromUtf8(attribute->name)), FromUtf8(attribute->value));
    }
    children = &source->v.element.children;
  }
  for (unsigned i = 0; i < children->length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children->data[i]);
    auto node = std::make_unique<HtmlNode>();
    node->parent = &target;
    switch (child->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        Convert(child, *node);
        break;
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_CDATA:
      case GUMBO_NODE_WHITESPACE:
        node->text = FromUtf8(child->v.text.text);
        break;
      default:
        continue;  // comments
    }
    target.children.push_back(std::move(node));
  }
}

template <class Pred>
HtmlNode* FindFirst(HtmlNode* node, const Pred& pred) {
  if (!node->tag.empty() && pred(*node)) return node;
  for (auto& child : node->children)
    if (HtmlNode* found = FindFirst(child.get(), pred)) return found;
  return nullptr;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

void CollectText(const HtmlNode& node, String& out) {
  if (node.tag.empty()) {
    for (char16_t c : node.text) {
      if (IsSpace(c)) {
        if (!out.empty() && out.back() != u' ') out.push_back(u' ');
      } else {
        out.push_back(c);
      }
    }
    return;
  }
  if (node.tag == u"script" || node.tag == u"style" || node.tag == u"head") return;
  if (node.tag == u"br" && !out.empty() && out.back() != u' ') out.push_back(u' ');
  for (const auto& child : node.children) CollectText(*child, out);
}

String Trimmed(String text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.substr(begin, end - begin);
}

// An element of a headless document. It keeps the document alive, so the control may hold it
// while the page changes.
class HeadlessElement : public Element {
 public:
  HeadlessElement(std::shared_ptr<HtmlDocument> document, HtmlNode* node)
      : document_(std::move(document)), node_(node) {}

  String TagName() const override { return automation::ToUpper(node_->tag); }
  String GetAttribute(StringView name) const override {
    const String* value = node_->Attribute(name);
    return value ? *value : String();
  }
  bool HasAttribute(StringView name) const override { return node_->Attribute(name) != nullptr; }
  String Hash() const override {
    if (node_->tag != u"a" && node_->tag != u"area") return {};
    const String* href = node_->Attribute(u"href");
    return href ? HashOf(*href) : String();
  }
  String InnerText() const override { return Trimmed(InnerTextOf(*node_)); }
  String Id() const override { return GetAttribute(u"id"); }
  void Click() override { ++document_->clicks; }

 private:
  std::shared_ptr<HtmlDocument> document_;
  HtmlNode* node_;
};

}  // namespace

String HashOf(StringView href) {
  const size_t hash = href.find(u'#');
  if (hash == StringView::npos || hash + 1 == href.size()) return {};
  return String(href.substr(hash));
}

String InnerTextOf(const HtmlNode& node) {
  String out;
  CollectText(node, out);
  return out;
}

std::shared_ptr<HtmlDocument> HtmlDocument::Parse(std::string_view html, String url) {
  auto document = std::make_shared<HtmlDocument>();
  document->url_ = std::move(url);
  document->root_ = std::make_unique<HtmlNode>();
  // Pages packaged on Windows are often in the single-byte code page.
  std::string utf8 = automation::IsValidUtf8(html) ? std::string(html)
                                                   : automation::ToUtf8(automation::FromCp1252(html));
  GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.data(), utf8.size());
  Convert(output->document, *document->root_);
  gumbo_destroy_output(&kGumboDefaultOptions, output);
  return document;
}

std::shared_ptr<HtmlDocument> HtmlDocument::DetachedAnchor(StringView href, StringView text) {
  auto document = std::make_shared<HtmlDocument>();
  document->root_ = std::make_unique<HtmlNode>();
  auto anchor = std::make_unique<HtmlNode>();
  anchor->tag = u"a";
  anchor->parent = document->root_.get();
  anchor->attributes.emplace_back(u"href", String(href));
  auto textNode = std::make_unique<HtmlNode>();
  textNode->text = String(text);
  textNode->parent = anchor.get();
  anchor->children.push_back(std::move(textNode));
  document->root_->children.push_back(std::move(anchor));
  return document;
}

HtmlNode* HtmlDocument::body() const {
  return FindFirst(root_.get(), [](const HtmlNode& n) { return n.tag == u"body"; });
}

std::shared_ptr<Element> HtmlDocument::Wrap(HtmlNode* node) {
  if (!node) return nullptr;
  return std::make_shared<HeadlessElement>(shared_from_this(), node);
}

std::shared_ptr<Element> HtmlDocument::FindById(StringView id) {
  return Wrap(FindFirst(root_.get(), [&](const HtmlNode& n) {
    const String* value = n.Attribute(u"id");
    return value && *value == id;
  }));
}

std::shared_ptr<Element> HtmlDocument::FindAnchor(StringView href, const String* text) {
  return Wrap(FindFirst(root_.get(), [&](const HtmlNode& n) {
    if (n.tag != u"a") return false;
    const String* value = n.Attribute(u"href");
    if (!value || *value != href) return false;
    return !text || Trimmed(InnerTextOf(n)) == *text;
  }));
}

}  // namespace brevalcore::browser
