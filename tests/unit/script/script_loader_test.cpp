#include "script/script_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine.h"
#include "diag/install_log.h"

namespace {

// Ids for items whose number does not matter.
uint32_t NextId() {
  static uint32_t next = 5000;
  return next++;
}

std::string S(uint32_t n) { return std::to_string(n); }
std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }
std::string Config(const std::string& body) { return "<?xml version=\"1.0\"?>\n<config>" + body + "</config>"; }
std::string Item(uint32_t id, const std::string& fields) { return "<item><id>" + S(id) + "</id>" + fields + "</item>"; }
std::string Action(uint32_t id, const std::string& fields) { return "<action>" + Item(id, fields) + "</action>"; }

// Every test loads into a fresh run.
class LoadInstallScriptTest : public ::testing::Test {
 protected:
  bool Load(const std::string& xml) { return LoadInstallScript(engine_.run, &engine_.conditions, xml.data(), xml.size()); }

  ActionRecord FindAction(uint32_t id) {
    ActionRecord r;
    EXPECT_TRUE(engine_.run.actions.Find(id, r)) << "action " << id;
    return r;
  }

  std::vector<StageItem> NewStageItems(int stage, size_t before) {
    const std::vector<StageItem>* items = engine_.run.stages.Items(stage);
    if (!items || items->size() < before) return {};
    return std::vector<StageItem>(items->begin() + static_cast<std::ptrdiff_t>(before), items->end());
  }

  size_t StageSize(int stage) { return NewStageItems(stage, 0).size(); }

  CEngine engine_;
};

std::wstring LastError() {
  std::wstring last;
  for (const LogRecord& r : GetLog().Records()) {
    if (r.level == LOG_ERROR) last = r.text;
  }
  return last;
}

TEST_F(LoadInstallScriptTest, NoDataReturnsFalse) {
  EXPECT_FALSE(LoadInstallScript(engine_.run, nullptr, nullptr, 0));
  EXPECT_FALSE(LoadInstallScript(engine_.run, nullptr, "<config/>", 0));
  EXPECT_FALSE(LoadInstallScript(engine_.run, nullptr, nullptr, 9));
}

struct BadXmlCase {
  const char* name;
  std::string xml;
  std::wstring error;  // after "parse_error: "
};

class ParseErrorTest : public LoadInstallScriptTest, public ::testing::WithParamInterface<BadXmlCase> {};

TEST_P(ParseErrorTest, LogsTheParserErrorAndLoadsNothing) {
  EXPECT_FALSE(Load(GetParam().xml));
  EXPECT_EQ(LastError(), L"解析安装xml发生错误: parse_error: " + GetParam().error);
  ActionRecord r;
  EXPECT_FALSE(engine_.run.actions.Find(4999, r));  // the well-formed part before the fault
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseErrorTest,
    ::testing::Values(BadXmlCase{"NotXml", "hello world", L"expected < at hello world"},
                      BadXmlCase{"Truncated", "<config>" + Action(4999, "") + "<setting><appname>A", L"unexpected end of data at "},
                      BadXmlCase{"TruncatedInTag", "<config>" + Action(4999, "") + "</con", L"expected > at "},
                      BadXmlCase{"BadReference", Config(Action(4999, "<path>&#12</path>")),
                                 L"expected ; at </path></item></action></config>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoadInstallScriptTest, ParseErrorMessageKeepsAt511Characters) {
  EXPECT_FALSE(Load("garbage" + std::string(2000, 'x')));
  const std::wstring prefix = L"解析安装xml发生错误: parse_error: expected < at garbag";
  const std::wstring text = LastError();
  EXPECT_EQ(text.substr(0, prefix.size()), prefix);
  EXPECT_EQ(text.size(), 511u + 13u);  // 13: the Chinese lead-in with its colon and blank
}

std::string Nested(int depth, const std::string& inner) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<d a=\"/>\">";
    close += "</d>";
  }
  return open + inner + close;
}

TEST_F(LoadInstallScriptTest, NestingTooDeepIsAParseErrorNotAStackOverflow) {
  const uint32_t id = NextId();
  // Comments, CDATA and self-closing elements add no level; quoted '>' and "/>" end no tag.
  const std::string fine = "<!-- <a><b> --><![CDATA[<x><y>]]><e/>" + Nested(997, "") + Action(id, "");
  EXPECT_TRUE(Load(Config(fine)));
  ActionRecord r;
  EXPECT_TRUE(engine_.run.actions.Find(id, r));

  const uint32_t deep_id = NextId();
  EXPECT_FALSE(Load(Config(Action(deep_id, "") + Nested(200000, ""))));
  const std::wstring expected = L"解析安装xml发生错误: parse_error: elements nested too deep at <d a=\"/>\"><d";
  EXPECT_EQ(LastError().substr(0, expected.size()), expected);
  EXPECT_FALSE(engine_.run.actions.Find(deep_id, r));
}

struct DocumentCase {
  const char* name;
  std::string before, after;  // around the action section
  bool loaded;
};

class DocumentShapeTest : public LoadInstallScriptTest, public ::testing::WithParamInterface<DocumentCase> {};

TEST_P(DocumentShapeTest, LoadsOnlyUnderTheConfigRoot) {
  const uint32_t id = NextId();
  EXPECT_TRUE(Load(GetParam().before + Action(id, "") + GetParam().after));
  ActionRecord r;
  EXPECT_EQ(engine_.run.actions.Find(id, r), GetParam().loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentShapeTest,
    ::testing::Values(DocumentCase{"Plain", "<config>", "</config>", true},
                      DocumentCase{"ByteOrderMark", "\xEF\xBB\xBF<config>", "</config>", true},
                      DocumentCase{"DoctypeAndComment", "<!DOCTYPE x><!-- c --><config>", "</config>", true},
                      DocumentCase{"ConfigAfterOtherRoot", "<other/><config>", "</config>", true},
                      DocumentCase{"RootNotConfig", "<root>", "</root>", false},
                      DocumentCase{"RootNameCaseDiffers", "<Config>", "</Config>", false},
                      DocumentCase{"SectionNameCaseDiffers", "<config><Action/>", "</config>", true},
                      DocumentCase{"OnlyFirstSection", "<config><action/>", "</config>", false},
                      DocumentCase{"InsideComment", "<config><!--", "--></config>", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoadInstallScriptTest, ConditionItemFillsEveryField) {
  const ConditionRecord full{NextId(), COND_VAR, LOGIC_XOR, 101, 102, CMP_GE, VALTYPE_VERSION, true, false, false,
                             true, true, L"p", L"n", L"a", L"b", L"v"};
  ConditionRecord bare;
  bare.id = NextId();
  ASSERT_TRUE(Load(Config("<condition>" +
                          Item(full.id, "<type>Var</type><logic>XOR</logic><cid1>101</cid1><cid2>102</cid2><method>ge"
                                        "</method><valuetype>version</valuetype><not>1</not><nocache>TRUE</nocache>"
                                        "<case>true</case><path>p</path><name>n</name><param1>a</param1><param2>b"
                                        "</param2><value>v</value><judge>true</judge>") +
                          Item(bare.id, "") + "</condition>")));
  ConditionRecord r;
  ASSERT_TRUE(engine_.run.conditions.Find(full.id, r));
  EXPECT_TRUE(r == full);
  ASSERT_TRUE(engine_.run.conditions.Find(bare.id, r));
  EXPECT_TRUE(r == bare);
}

TEST_F(LoadInstallScriptTest, ActionItemFillsEveryField) {
  const ActionRecord full{NextId(), ACT_MSGBOX, 1, 85, {10, 11}, {216, 13, 13}, {6, 203},
                          L"m", L"p1", L"pa", L"na", L"va", L"di"};
  ActionRecord bare;  // start and end missing: -1
  bare.id = NextId();
  ASSERT_TRUE(Load(Config("<action>" +
                          Item(full.id, "<type>msgbox</type><start>1</start><end>85</end><retlist>10, 11</retlist>"
                                        "<actionlist>216,13,13</actionlist><onerror> 6, ,203 </onerror><method>m"
                                        "</method><param1>p1</param1><path>pa</path><name>na</name><value>va</value>"
                                        "<display>di</display>") +
                          Item(bare.id, "") + "</action>")));
  EXPECT_TRUE(FindAction(full.id) == full);
  EXPECT_TRUE(FindAction(bare.id) == bare);
}

TEST_F(LoadInstallScriptTest, FirstItemOfAnIdWins) {
  const uint32_t cid = NextId(), aid = NextId();
  const std::string c = "<item><id>" + S(cid) + "</id><path>";
  ASSERT_TRUE(Load(Config("<condition>" + c + "first</path></item>" + c + "second</path></item></condition>" +
                          Action(aid, "<path>first</path>"))));
  ASSERT_TRUE(Load(Config(Action(aid, "<path>later</path>"))));
  ConditionRecord r;
  ASSERT_TRUE(engine_.run.conditions.Find(cid, r));
  EXPECT_EQ(r.path, L"first");
  EXPECT_EQ(FindAction(aid).path, L"first");
}

TEST_F(LoadInstallScriptTest, VariableInCommentIgnoredFirstNameWinsNamesCaseSensitive) {
  const std::string name = "VAR" + S(NextId()), lower = "var" + name.substr(3);
  ASSERT_TRUE(Load(Config("<variable><!-- <item><varname>" + name + "</varname><value>hidden</value></item> -->"
                          "<item><id>3</id><type>reg</type><nocache>1</nocache><varname>" + name +
                          "</varname><value>first</value><path>HKLM\\x</path><name>n</name><param1>sz</param1>"
                          "<param2>x64</param2></item><item><varname>" + name + "</varname><value>second</value></item>"
                          "<item><varname>" + lower + "</varname><value>lower</value></item></variable>")));
  VariableRecord expected{3, VARIABLE_REG, false, true, W(name), L"first", L"HKLM\\x", L"n", L"sz", L"x64"};
  VariableRecord r;
  ASSERT_TRUE(engine_.run.variables.FindRecord(W(name), r));
  EXPECT_TRUE(r == expected);
  ASSERT_TRUE(engine_.run.variables.FindRecord(W(lower), r));
  EXPECT_EQ(r.value, L"lower");
}

struct FieldCase {
  const char* name;
  std::string fields;  // as written inside an action item
  std::wstring seen;   // path|start|end as loaded
};
class ActionFieldTest : public LoadInstallScriptTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(ActionFieldTest, ReadsTheElementText) {
  const uint32_t id = NextId();
  ASSERT_TRUE(Load(Config(Action(id, GetParam().fields))));
  const ActionRecord r = FindAction(id);
  EXPECT_EQ(r.path + L"|" + std::to_wstring(r.start) + L"|" + std::to_wstring(r.end), GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ActionFieldTest,
    ::testing::Values(FieldCase{"BlanksKept", "<path>  C:\\App </path>", L"  C:\\App |-1|-1"},
                      FieldCase{"BlankOnlyIsEmpty", "<path> \t </path><start> </start>", L"|0|-1"},
                      FieldCase{"EmptyStartAndEndAreZero", "<start/><end></end>", L"|0|0"},
                      FieldCase{"EntitiesResolved", "<path>a&amp;b&lt;&#x4E2D;&#25991;</path>", L"a&b<中文|-1|-1"},
                      FieldCase{"Utf8Widened", "<path>安装目录\\ü</path><end> 7%</end>", L"安装目录\\ü|-1|7"},
                      FieldCase{"CdataWhenNoText", "<path>\n  <![CDATA[<x&y>]]></path>", L"<x&y>|-1|-1"},
                      FieldCase{"TextBeforeCdata", "<path>t<![CDATA[z]]></path>", L"t|-1|-1"},
                      FieldCase{"FirstElementOfTheName", "<path>one</path><path>two</path>", L"one|-1|-1"},
                      FieldCase{"ClosingTagNotCompared", "<path>abc</name>", L"abc|-1|-1"},
                      FieldCase{"ElementNameCaseDiffers", "<PATH>x</PATH><Start>5</Start>", L"|-1|-1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoadInstallScriptTest, StageItemWithAidFirstAndGroups) {
  const size_t before = StageSize(STAGE_INSTALL);
  ASSERT_TRUE(Load(Config("<install><item><id>12</id><silent>false</silent><overwrite>1</overwrite><cid1>5</cid1>"
                          "<cid2>6</cid2><logic>NOT</logic>"
                          "<group><id>1</id><cid1>7</cid1><cid2>8</cid2><logic>or</logic><aid>300,301</aid></group>"
                          "<aid> 6,203,244</aid><group><aid/></group></item></install>")));
  const std::vector<StageItem> items = NewStageItems(STAGE_INSTALL, before);
  ASSERT_EQ(items.size(), 1u);
  const StageItem& s = items[0];
  EXPECT_EQ(std::vector<int>({s.id, s.silent, s.overwrite, s.cid1, s.cid2, s.logic}),
            std::vector<int>({12, 2, 1, 5, 6, LOGIC_NOT}));
  ASSERT_EQ(s.groups.size(), 3u);
  const StageGroup& g0 = s.groups[0];
  const StageGroup& g1 = s.groups[1];
  EXPECT_EQ(std::vector<int>({g0.id, g0.cid1, g0.cid2, g0.logic}), std::vector<int>({0, 0, 0, 0}));
  EXPECT_EQ(g0.aids, (std::vector<uint32_t>{6, 203, 244}));
  EXPECT_EQ(std::vector<int>({g1.id, g1.cid1, g1.cid2, g1.logic}), std::vector<int>({1, 7, 8, LOGIC_OR}));
  EXPECT_EQ(g1.aids, (std::vector<uint32_t>{300, 301}));
  EXPECT_TRUE(s.groups[2].aids.empty());
}

TEST_F(LoadInstallScriptTest, StageItemEdgeForms) {
  const size_t before = StageSize(STAGE_ONINIT);
  ASSERT_TRUE(Load(Config("<oninit><item name=\"42\"><silent>no</silent></item>"
                          "<item><ID>43</ID><silent></silent><overwrite>True</overwrite><logic>1</logic><aid/></item>"
                          "</oninit>")));
  const std::vector<StageItem> items = NewStageItems(STAGE_ONINIT, before);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, 0);  // attributes are never read
  EXPECT_EQ(items[0].silent, 2);
  EXPECT_TRUE(items[0].groups.empty());
  EXPECT_EQ(items[1].id, 0);  // ID is not id
  EXPECT_EQ(items[1].silent, 0);
  EXPECT_EQ(items[1].overwrite, 1);
  EXPECT_EQ(items[1].logic, 0);         // logic has no numeric form
  ASSERT_EQ(items[1].groups.size(), 1u);  // an empty aid still makes its group
}

TEST_F(LoadInstallScriptTest, EachStageGetsItsOwnItemsInOrder) {
  size_t before[4];
  for (int stage = 0; stage < 4; ++stage) before[stage] = StageSize(stage);
  ASSERT_TRUE(Load(Config("<onexit><item><id>3</id></item></onexit><oninit><item><id>0</id></item></oninit>"
                          "<install><item><id>2</id></item><entry><id>9</id></entry><item><id>2</id></item></install>"
                          "<preinstall><item><id>1</id></item></preinstall><install><item><id>9</id></item></install>")));
  for (int stage = 0; stage < 4; ++stage) {
    std::vector<int> ids;
    for (const StageItem& s : NewStageItems(stage, before[stage])) ids.push_back(s.id);
    EXPECT_EQ(ids, std::vector<int>(stage == STAGE_INSTALL ? 2 : 1, stage)) << "stage " << stage;
  }
}

class SettingsTest : public LoadInstallScriptTest {
 protected:
  std::wstring Text(int id) {
    std::wstring text = L"<unset>";
    engine_.run.options.GetOptionText(id, text);
    return text;
  }
};

TEST_F(SettingsTest, EverySettingLandsInItsOption) {
  ASSERT_TRUE(Load(Config("<Setting><appname>upper</appname></Setting><setting><appname>应用</appname>"
                          "<diskrequire>200M</diskrequire><singleinstance>Guard</singleinstance><defaultpath>"
                          "%PROGRAMFILES%</defaultpath><dirname>App</dirname><dirname>two</dirname><logfile>a.log"
                          "</logfile><windowclass>W</windowclass></setting><setting><logfile>b</logfile></setting>")));
  EXPECT_EQ(Text(OPT_APPNAME), L"应用");
  EXPECT_EQ(Text(OPT_SINGLEINSTANCE), L"Guard");
  EXPECT_EQ(Text(OPT_DEFAULTPATH), L"%PROGRAMFILES%");  // unexpanded
  EXPECT_EQ(Text(OPT_DIRNAME), L"App");
  EXPECT_EQ(Text(OPT_LOGFILE), L"a.log");
  EXPECT_FALSE(engine_.run.options.Has(OPT_WINDOWCLASS));
  VARIANT v;
  VariantInit(&v);
  ASSERT_TRUE(engine_.run.options.GetOption(OPT_DISKREQUIRE, &v));
  EXPECT_EQ(v.vt, VT_UI8);
  EXPECT_EQ(v.ullVal, 209715200ULL);
}

TEST_F(SettingsTest, EmptySettingsAreNotStored) {
  ASSERT_TRUE(Load(Config("<setting><appname/><diskrequire></diskrequire><dirname> </dirname></setting>")));
  EXPECT_FALSE(engine_.run.options.Has(OPT_APPNAME));
  EXPECT_FALSE(engine_.run.options.Has(OPT_DISKREQUIRE));
  EXPECT_FALSE(engine_.run.options.Has(OPT_DIRNAME));
}

TEST_F(LoadInstallScriptTest, LanguageEntriesNeedEveryPart) {
  const std::string n = S(NextId());
  ASSERT_TRUE(Load(Config("<i18n><stringtable><item><name>full" + n + "</name><value>L1</value></item><item><name>"
                          "half" + n + "</name><value/></item></stringtable><fileres><item><id>key" + n + "</id>"
                          "<name>en</name><value>LIC</value></item><item><id>part" + n + "</id><name>en</name></item>"
                          "</fileres></i18n>")));
  // The table keeps the first entry of a name, so a repeat is refused exactly when the loader added one.
  CLanguageTable& table = engine_.run.languages;
  EXPECT_FALSE(table.AddStringTable(W("full" + n), L"X"));
  EXPECT_TRUE(table.AddStringTable(W("half" + n), L"X"));
  EXPECT_FALSE(table.AddFileResource(W("key" + n), L"en", L"X"));
  EXPECT_TRUE(table.AddFileResource(W("part" + n), L"en", L"X"));
}

}  // namespace
