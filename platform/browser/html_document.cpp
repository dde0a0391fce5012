#include "platform/browser/html_document.h"

#include <gumbo.h>

#include <cstddef>

namespace brevalcore::browser {

using automation::Ascii;
using automation::EqualsNoCase;
using automation::FromUtf8;
using automation::ToLower;

HtmlNode::~HtmlNode() {
  std::vector<std::unique_ptr<HtmlNode>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<HtmlNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

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

const GumboVector& ChildrenOf(const GumboNode* node) {
  return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

void CopyElement(const GumboNode* source, HtmlNode& target) {
  target.tag = TagNameOf(source);
  target.line = static_cast<int>(source->v.element.start_pos.line);
  target.column = static_cast<int>(source->v.element.start_pos.column);
  const GumboVector& attributes = source->v.element.attributes;
  for (unsigned i = 0; i < attributes.length; ++i) {
    const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
    target.attributes.emplace_back(ToLower(FromUtf8(attribute->name)), FromUtf8(attribute->value));
  }
}

// Copies the parser's tree in document order with an explicit stack. A node whose parent
// already sits deeper than kMaxDomDepth is attached to its grandparent instead, as browsers'
// tree builders do, so everything below the cap becomes siblings there.
void Convert(const GumboNode* document, HtmlNode& root) {
  struct Step {
    const GumboNode* source;
    HtmlNode* target;
    unsigned depth;  // of target; the document is 0
    unsigned next;   // the next child of source to copy
  };
  std::vector<Step> path{{document, &root, 0, 0}};
  while (!path.empty()) {
    Step& step = path.back();
    const GumboVector& children = ChildrenOf(step.source);
    if (step.next == children.length) {
      path.pop_back();
      continue;
    }
    const auto* child = static_cast<const GumboNode*>(children.data[step.next++]);
    HtmlNode* parent = step.target;
    unsigned parentDepth = step.depth;
    if (parentDepth > kMaxDomDepth && parent->parent) {
      parent = parent->parent;
      --parentDepth;
    }
    auto node = std::make_unique<HtmlNode>();
    node->parent = parent;
    HtmlNode* added = node.get();
    switch (child->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        CopyElement(child, *node);
        parent->children.push_back(std::move(node));
        path.push_back({child, added, parentDepth + 1, 0});  // `step` is not used after this
        break;
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_CDATA:
      case GUMBO_NODE_WHITESPACE:
        node->text = FromUtf8(child->v.text.text);
        parent->children.push_back(std::move(node));
        break;
      default:
        break;  // comments
    }
  }
}

// The first element in document order for which `pred` holds, or null.
template <class Pred>
HtmlNode* FindFirst(HtmlNode* root, const Pred& pred) {
  std::vector<HtmlNode*> pending{root};
  while (!pending.empty()) {
    HtmlNode* node = pending.back();
    pending.pop_back();
    if (!node->tag.empty() && pred(*node)) return node;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) pending.push_back(it->get());
  }
  return nullptr;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

void AppendCollapsed(StringView text, String& out) {
  for (char16_t c : text) {
    if (IsSpace(c)) {
      if (!out.empty() && out.back() != u' ') out.push_back(u' ');
    } else {
      out.push_back(c);
    }
  }
}

void CollectText(const HtmlNode& top, String& out) {
  std::vector<const HtmlNode*> pending{&top};
  while (!pending.empty()) {
    const HtmlNode& node = *pending.back();
    pending.pop_back();
    if (node.tag.empty()) {
      AppendCollapsed(node.text, out);
      continue;
    }
    if (node.tag == u"script" || node.tag == u"style" || node.tag == u"head") continue;
    if (node.tag == u"br" && !out.empty() && out.back() != u' ') out.push_back(u' ');
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) pending.push_back(it->get());
  }
}

// Gumbo's own tree is freed recursively, which a deep page would overflow; its memory comes
// from this arena instead and goes at once with it.
class GumboArena {
 public:
  GumboOptions Options() {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = [](void* self, size_t size) { return static_cast<GumboArena*>(self)->Allocate(size); };
    options.deallocator = [](void*, void*) {};
    options.userdata = this;
    // Parse errors are not read, and each one copies the stack of open elements: on a deep
    // page that is quadratic in time and memory.
    options.max_errors = 0;
    return options;
  }

 private:
  static constexpr size_t kBlock = 64u << 10;
  static constexpr size_t kAlign = alignof(std::max_align_t);

  void* Allocate(size_t size) {
    size = (size + kAlign - 1) / kAlign * kAlign;
    if (size > kBlock / 4) return blocks_.emplace_back(new std::max_align_t[size / kAlign]).get();
    if (used_ + size > kBlock || blocks_.empty() || current_ == nullptr) {
      current_ = blocks_.emplace_back(new std::max_align_t[kBlock / kAlign]).get();
      used_ = 0;
    }
    void* at = reinterpret_cast<char*>(current_) + used_;
    used_ += size;
    return at;
  }

  std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
  std::max_align_t* current_ = nullptr;
  size_t used_ = 0;
};

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
  GumboArena arena;
  GumboOptions options = arena.Options();
  options.tab_stop = 1;  // columns count characters, as editors and compilers do
  GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
  Convert(output->document, *document->root_);
  return document;  // the arena takes the parser's tree with it
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
