#include "script/script_loader.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "diag/install_log.h"
#include "platform/encoding.h"
#include "script/run_context.h"
#include "script/script_values.h"
#include "script/xml_nesting.h"

namespace {

using Node = rapidxml::xml_node<char>;

// --- Field readers: each takes the item and the field's element name; a missing element gives the
// field's default.

// An element's own text, or a CDATA section when that is its first child and there is no text.
std::string_view RawText(const Node* element) {
  if (!element) return {};
  if (element->value_size() != 0) return {element->value(), element->value_size()};
  const Node* first = element->first_node();
  if (first && first->type() == rapidxml::node_cdata) return {first->value(), first->value_size()};
  return {};
}

std::wstring Text(const Node* element) { return tz::Utf8ToWide(RawText(element)); }

std::wstring ReadText(const Node* item, const char* field) { return Text(item->first_node(field)); }

int32_t ReadInt(const Node* item, const char* field, int32_t missing = 0) {
  const Node* element = item->first_node(field);
  return element ? tz::ParseDecimal(RawText(element)) : missing;
}

uint32_t ReadId(const Node* item, const char* field) { return static_cast<uint32_t>(ReadInt(item, field)); }

bool ReadBool(const Node* item, const char* field) { return tz::IsTrueText(ReadText(item, field)); }

std::vector<int32_t> ReadIdList(const Node* item, const char* field) { return tz::ParseIdList(ReadText(item, field)); }

// --- Sections

template <typename Fn>
void ForEachChild(const Node* parent, const char* name, Fn fn) {
  for (const Node* n = parent->first_node(name); n; n = n->next_sibling(name)) fn(n);
}

void LoadSettings(RunContext& run, const Node* section) {
  static const struct {
    const char* element;
    int option;
  } kSettings[] = {
      {"appname", OPT_APPNAME},   {"diskrequire", OPT_DISKREQUIRE}, {"singleinstance", OPT_SINGLEINSTANCE},
      {"defaultpath", OPT_DEFAULTPATH}, {"dirname", OPT_DIRNAME},   {"logfile", OPT_LOGFILE},
  };
  COptionsStore& options = run.options;
  for (const auto& s : kSettings) {
    const std::wstring text = ReadText(section, s.element);
    if (text.empty()) continue;
    if (s.option == OPT_DISKREQUIRE) {
      options.SetUInt64(OPT_DISKREQUIRE, ParseDiskRequire(text));
    } else {
      // Kept unexpanded: paths may name variables that only exist later in the run.
      options.SetText(s.option, text);
    }
  }
}

void LoadConditions(RunContext& run, IConditionJudge* judge, const Node* section) {
  CConditionTable& table = run.conditions;
  ForEachChild(section, "item", [&](const Node* item) {
    ConditionRecord r;
    r.id = ReadId(item, "id");
    r.type = tz::ConditionTypeFromText(ReadText(item, "type"));
    r.logic = tz::LogicFromText(ReadText(item, "logic"));
    r.cid1 = ReadId(item, "cid1");
    r.cid2 = ReadId(item, "cid2");
    r.method = tz::CompareMethodFromText(ReadText(item, "method"));
    r.valuetype = tz::CompareValueTypeFromText(ReadText(item, "valuetype"));
    r.not_ = ReadBool(item, "not");
    r.nocache = ReadBool(item, "nocache");
    r.case_sensitive = ReadBool(item, "case");
    r.path = ReadText(item, "path");
    r.name = ReadText(item, "name");
    r.param1 = ReadText(item, "param1");
    r.param2 = ReadText(item, "param2");
    r.value = ReadText(item, "value");
    table.Add(r, ReadBool(item, "judge") ? judge : nullptr);
  });
}

void LoadActions(RunContext& run, const Node* section) {
  CActionTable& table = run.actions;
  ForEachChild(section, "item", [&](const Node* item) {
    ActionRecord r;
    r.id = ReadId(item, "id");
    r.type = tz::ActionTypeFromText(ReadText(item, "type"));
    r.start = ReadInt(item, "start", -1);
    r.end = ReadInt(item, "end", -1);
    r.retlist = ReadIdList(item, "retlist");
    r.actionlist = ReadIdList(item, "actionlist");
    r.onerror = ReadIdList(item, "onerror");
    r.method = ReadText(item, "method");
    r.param1 = ReadText(item, "param1");
    r.path = ReadText(item, "path");
    r.name = ReadText(item, "name");
    r.value = ReadText(item, "value");
    r.display = ReadText(item, "display");
    table.Add(r);
  });
}

void LoadVariables(RunContext& run, const Node* section) {
  CVariableStore& store = run.variables;
  ForEachChild(section, "item", [&](const Node* item) {
    VariableRecord r;
    r.id = ReadInt(item, "id");
    r.type = tz::VariableTypeFromText(ReadText(item, "type"));
    r.nocache = ReadBool(item, "nocache");
    r.varname = ReadText(item, "varname");
    r.value = ReadText(item, "value");
    r.path = ReadText(item, "path");
    r.name = ReadText(item, "name");
    r.param1 = ReadText(item, "param1");
    r.param2 = ReadText(item, "param2");
    store.AddVariable(r);
  });
}

StageGroup MakeGroup(std::vector<int32_t> ids) {
  StageGroup g;
  g.aids.assign(ids.begin(), ids.end());
  return g;
}

void LoadStage(RunContext& run, const Node* section, int stage) {
  CStageTable& stages = run.stages;
  ForEachChild(section, "item", [&](const Node* item) {
    StageItem s;
    s.id = ReadInt(item, "id");
    s.silent = tz::ParseRequirement(ReadText(item, "silent"));
    s.overwrite = tz::ParseRequirement(ReadText(item, "overwrite"));
    s.cid1 = ReadInt(item, "cid1");
    s.cid2 = ReadInt(item, "cid2");
    s.logic = tz::LogicFromText(ReadText(item, "logic"));
    // The item's own `aid` runs first, as an unconditional group, even when its list is empty.
    if (const Node* aid = item->first_node("aid")) s.groups.push_back(MakeGroup(tz::ParseIdList(Text(aid))));
    ForEachChild(item, "group", [&](const Node* group) {
      StageGroup g = MakeGroup(ReadIdList(group, "aid"));
      g.id = ReadInt(group, "id");
      g.cid1 = ReadInt(group, "cid1");
      g.cid2 = ReadInt(group, "cid2");
      g.logic = tz::LogicFromText(ReadText(group, "logic"));
      s.groups.push_back(std::move(g));
    });
    stages.AppendItem(stage, s);
  });
}

void LoadLanguages(RunContext& run, const Node* section) {
  CLanguageTable& table = run.languages;
  if (const Node* strings = section->first_node("stringtable")) {
    ForEachChild(strings, "item", [&](const Node* item) {
      const std::wstring language = ReadText(item, "name");
      const std::wstring resource = ReadText(item, "value");
      if (!language.empty() && !resource.empty()) table.AddStringTable(language, resource);
    });
  }
  if (const Node* files = section->first_node("fileres")) {
    ForEachChild(files, "item", [&](const Node* item) {
      const std::wstring key = ReadText(item, "id");
      const std::wstring language = ReadText(item, "name");
      const std::wstring resource = ReadText(item, "value");
      if (!key.empty() && !language.empty() && !resource.empty()) table.AddFileResource(key, language, resource);
    });
  }
}

void LoadConfig(RunContext& run, IConditionJudge* judge, const Node* config) {
  // Fixed order: a `judge` condition may only see what was loaded before it.
  if (const Node* n = config->first_node("setting")) LoadSettings(run, n);
  if (const Node* n = config->first_node("condition")) LoadConditions(run, judge, n);
  if (const Node* n = config->first_node("action")) LoadActions(run, n);
  if (const Node* n = config->first_node("variable")) LoadVariables(run, n);
  static const struct {
    const char* element;
    int stage;
  } kStages[] = {
      {"oninit", STAGE_ONINIT}, {"preinstall", STAGE_PREINSTALL}, {"install", STAGE_INSTALL}, {"onexit", STAGE_ONEXIT}};
  for (const auto& s : kStages) {
    if (const Node* n = config->first_node(s.element)) LoadStage(run, n, s.stage);
  }
  if (const Node* n = config->first_node("i18n")) LoadLanguages(run, n);
}

// --- diskrequire

bool IsBlankW(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r'; }

// Sign, digits and one full stop, nothing else (no exponent, no hex), then the C library converts.
double ReadFloat(std::wstring_view t) {
  size_t i = 0;
  while (i < t.size() && IsBlankW(t[i])) ++i;
  std::string number;
  if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) number += static_cast<char>(t[i++]);
  bool stop_seen = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= L'0' && t[i] <= L'9') {
      number += static_cast<char>(t[i]);
    } else if (t[i] == L'.' && !stop_seen) {
      stop_seen = true;
      number += '.';
    } else {
      break;
    }
  }
  return std::strtod(number.c_str(), nullptr);
}

long long ReadInt64(std::wstring_view t) {
  size_t i = 0;
  while (i < t.size() && IsBlankW(t[i])) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) negative = t[i++] == L'-';
  unsigned long long magnitude = 0;
  const unsigned long long limit = negative ? 1ULL + LLONG_MAX : LLONG_MAX;
  for (; i < t.size() && t[i] >= L'0' && t[i] <= L'9'; ++i) {
    const unsigned digit = static_cast<unsigned>(t[i] - L'0');
    magnitude = (magnitude > (limit - digit) / 10) ? limit : magnitude * 10 + digit;
  }
  if (!negative) return static_cast<long long>(magnitude);
  return magnitude == 1ULL + LLONG_MAX ? LLONG_MIN : -static_cast<long long>(magnitude);
}

}  // namespace

unsigned long long ParseDiskRequire(const std::wstring& text) {
  std::wstring_view t(text);
  t = t.substr(0, 19);
  if (t.empty()) return 0;
  int shift = -1;  // unit as a power of two; -1: the last character is part of the number
  switch (t.back()) {
    case L'K': case L'k': shift = 10; break;
    case L'M': case L'm': shift = 20; break;
    case L'G': case L'g': shift = 30; break;
    case L'T': case L't': shift = 40; break;
    case L'P': case L'p': shift = 50; break;
    case L'E': case L'e': shift = 60; break;
    case L'.': shift = 0; break;
    default: break;
  }
  const bool fractional = t.find(L'.') != std::wstring_view::npos;
  if (shift >= 0) t.remove_suffix(1);
  const unsigned long long unit = 1ULL << (shift > 0 ? shift : 0);

  // A negative requirement means none, and a size past 64 bits is simply the largest one; both
  // would otherwise wrap round into nonsense (or be undefined for the double).
  if (fractional) {
    const double bytes = ReadFloat(t) * static_cast<double>(unit);
    if (!(bytes > 0)) return 0;
    if (bytes >= 18446744073709551616.0) return ULLONG_MAX;
    return static_cast<unsigned long long>(bytes);
  }
  const long long number = ReadInt64(t);
  if (number <= 0) return 0;
  const unsigned long long n = static_cast<unsigned long long>(number);
  return n > ULLONG_MAX / unit ? ULLONG_MAX : n * unit;
}

// RapidXML descends one call per element level; a script nested deeper than any real one would
// exhaust the stack instead of failing to parse.
constexpr int kMaxElementDepth = 1000;

bool LoadInstallScript(RunContext& run, IConditionJudge* judge, const void* data, size_t size) {
  if (!data || size == 0 || size > SIZE_MAX - 2) return false;

  // RapidXML parses in place and relies on a terminating zero.
  std::vector<char> buffer(size + 2, '\0');
  const char* bytes = static_cast<const char*>(data);
  std::copy(bytes, bytes + size, buffer.begin());
  char* text = buffer.data();
  if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;

  // The document holds a sizeable memory pool of its own; keep it off the stack.
  auto doc = std::make_unique<rapidxml::xml_document<char>>();
  try {
    if (const char* deep = FindTooDeepElement(text, kMaxElementDepth))
      throw rapidxml::parse_error("elements nested too deep", const_cast<char*>(deep));
    doc->parse<rapidxml::parse_default>(text);
  } catch (const rapidxml::parse_error& e) {
    char message[512];
    const char* where = e.where<char>();
    std::snprintf(message, sizeof(message), "parse_error: %s at %s", e.what(), where ? where : "");
    GetLog().Error(L"解析安装xml发生错误: %s", tz::AnsiToWide(message).c_str());
    return false;
  }

  if (const Node* config = doc->first_node("config")) LoadConfig(run, judge, config);
  return true;
}
