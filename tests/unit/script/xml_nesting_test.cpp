#include <gtest/gtest.h>

#include <string>

#include "script/xml_nesting.h"

namespace {

// The guard must count what the parser nests, token for token: a '>' or "/>" in a quoted value, a
// quote in an element name, tags inside comments, CDATA, processing instructions and a DOCTYPE's
// bracketed subset. `deep_at` is where the first element past the limit starts, -1 for none.
TEST(XmlNestingTest, FollowsTheParsersTokens) {
  const struct {
    const char* text;
    int limit;
    int deep_at;
  } cases[] = {
      {"<a><b><c/></b></a>", 2, -1},
      {"<a><b><c/></b></a>", 1, 3},
      {"<a x='>' y=\"/>\"><b>", 1, 16},
      {"<x'><b><y'>", 2, 7},
      {"<x'>", 0, 0},
      {"<!DOCTYPE c [<b><b><b>]><c/>", 1, -1},
      {"<!DOCTYPE c [ [<b>] ]><a><b>", 1, 25},
      {"<!DOCTYPE c [ ']' <b> ]><a><b>", 0, -1},  // quotes mean nothing in the subset: the
      {"<!DOCTYPE c [ \"[\" ]><a><b>", 0, -1},    // parser ends early at an error both times
      {"<a><!-- <b><b> --><b/></a>", 1, -1},
      {"<a><![CDATA[<b><b>]]></a>", 1, -1},
      {"<a><?pi <b><b>?></a>", 1, -1},
      {"<a><!ELEMENT b><b/></a>", 1, -1},
      {"<a></a><a></a><a><b>", 1, 17},
      {"<a>text<b/>more<b>", 1, 15},
      {"<a></a ><a>", 1, -1},
      {"x<a><b>", 0, -1},       // the parser stops at 'x'
      {"<a b><c><d>", 1, -1},   // and at an attribute without a value
      {"</a><b><c>", 0, -1},    // and at an end tag with nothing open
      {"<a><b", 1, -1},
  };
  for (const auto& c : cases) {
    const char* deep = FindTooDeepElement(c.text, c.limit);
    EXPECT_EQ(deep ? static_cast<int>(deep - c.text) : -1, c.deep_at) << c.text << " limit " << c.limit;
  }
}

TEST(XmlNestingTest, DeepNestingOfAnyShapeIsFound) {
  std::string quoted = "<config><x'>";
  for (int i = 0; i < 20000; ++i) quoted += "<b>";
  EXPECT_NE(FindTooDeepElement(quoted.c_str(), 1000), nullptr);
  std::string subset = "<!DOCTYPE config [";
  for (int i = 0; i < 5000; ++i) subset += "<b>";
  subset += "]><config><a/></config>";
  EXPECT_EQ(FindTooDeepElement(subset.c_str(), 1000), nullptr);
}

}  // namespace
