// Pages nested deeper than any stack, and deeper than browsers build: the headless document
// parses, queries and frees them without recursion, and flattens what lies below the
// browsers' nesting cap into siblings there.
#include <gtest/gtest.h>

#include <string>

#include "platform/browser/html_document.h"

namespace brevalcore::browser {
namespace {

struct DeepRow {
  const char* name;
  std::string html;
  unsigned depth;  // of the deepest element below the document (html is 1)
  const char* anchorText;  // below the cap the link's own text becomes its sibling, as in browsers
};

std::string Nested(const char* open, int times, const std::string& inside) {
  std::string html;
  for (int i = 0; i < times; ++i) html += open;
  return html + inside;
}

unsigned DeepestElement(const HtmlNode& root) {
  unsigned deepest = 0;
  std::vector<std::pair<const HtmlNode*, unsigned>> pending{{&root, 0}};
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    if (!node->tag.empty()) deepest = std::max(deepest, depth);
    for (const auto& child : node->children) pending.emplace_back(child.get(), depth + 1);
  }
  return deepest;
}

TEST(HtmlDocument, DeepPagesAreFlattenedAtTheBrowsersCap) {
  const std::string link = "<a href=\"#PRESCRIBE?012345678\">Prescrivi   ora</a>";
  const DeepRow rows[] = {
      {"shallow page keeps its shape", "<html><body><div><p>" + link + "</p></div></body></html>", 5, "Prescrivi ora"},
      {"just under the cap", Nested("<div>", 509, link), 512, "Prescrivi ora"},
      {"20,000 unclosed divs", Nested("<div>", 20000, link), kMaxDomDepth + 1, ""},
      {"20,000 nested spans around the text", Nested("<span>", 20000, link), kMaxDomDepth + 1, ""},
  };
  for (const DeepRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto document = HtmlDocument::Parse(row.html, u"file:///deep.html");
    EXPECT_EQ(DeepestElement(*document->root()), row.depth);
    const auto anchor = document->FindAnchor(u"#PRESCRIBE?012345678", nullptr);
    ASSERT_TRUE(anchor);
    EXPECT_EQ(automation::ToUtf8(anchor->InnerText()), row.anchorText);
    EXPECT_EQ(automation::ToUtf8(anchor->Hash()), "#PRESCRIBE?012345678");
    ASSERT_TRUE(document->body());
    EXPECT_NE(InnerTextOf(*document->body()).find(u"Prescrivi ora"), String::npos);
  }
}

}  // namespace
}  // namespace brevalcore::browser
