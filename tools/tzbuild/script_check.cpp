#include "script_check.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "script/xml_nesting.h"

namespace tzbuild {

namespace {

using Node = rapidxml::xml_node<char>;

// --- The script's vocabulary, as the installer reads it: keywords match without regard to case,
// and where a field has numeric forms its code in decimal matches exactly.

struct Keyword {
  const char* name;
  int code;
};

const Keyword kConditionTypes[] = {
    {"pathexist", 1}, {"fileexist", 1}, {"emptydir", 2}, {"regexist", 3}, {"regvalue", 4}, {"osver", 5},
    {"filever", 6},   {"procexist", 7}, {"inivalue", 8}, {"dll", 9},      {"logic", 10},   {"var", 11},
    {"pe", 12},
};
const Keyword kActionTypes[] = {
    {"msgbox", 1},  {"del", 2},      {"delete", 2},   {"copy", 3},    {"regwrite", 4},  {"regdel", 5},
    {"regdelete", 5}, {"kill", 6},   {"shortcut", 7}, {"link", 7},    {"extract", 8},   {"exe", 9},
    {"run", 9},     {"shell", 10},   {"open", 10},    {"regdll", 11}, {"ini", 12},      {"rundll", 13},
    {"svr", 14},    {"service", 14}, {"setpath", 15}, {"unload", 16}, {"list", 17},     {"var", 18},
    {"setinstdir", 19},
};
const Keyword kVariableTypes[] = {
    {"const", 1}, {"ver", 2}, {"version", 2}, {"reg", 3}, {"ini", 4}, {"cmd", 5}, {"param", 5},
    {"dll", 6},   {"ret", 7}, {"exe", 7},
};
const Keyword kLogic[] = {{"not", 1}, {"and", 2}, {"or", 3}, {"xor", 4}};
const Keyword kMethods[] = {{"=", 0}, {"eq", 0}, {"!=", 1}, {"neq", 1}, {"<", 2}, {"lt", 2}, {"<=", 3}, {"le", 3},
                            {">", 4}, {"gt", 4}, {">=", 5}, {"ge", 5}, {"has", 6}, {"in", 7}};
const Keyword kValueTypes[] = {{"num", 0}, {"number", 0}, {"str", 1}, {"string", 1}, {"ver", 2}, {"version", 2}};

// The nesting the installer's script loader accepts.
constexpr int kMaxElementDepth = 1000;

constexpr int kActionExtract = 8, kActionMsgbox = 1, kActionList = 17, kActionVar = 18;
constexpr int kConditionLogic = 10, kLogicNot = 1;

template <size_t N>
int Lookup(const Keyword (&table)[N], const std::string& text, bool numeric, int max_code) {
  for (const auto& k : table)
    if (_stricmp(k.name, text.c_str()) == 0) return k.code;
  if (numeric && !text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos) {
    const int v = atoi(text.c_str());
    if (std::to_string(v) == text && v >= 1 && v <= max_code) return v;
  }
  return -1;
}

const char* const kSettings[] = {"appname", "diskrequire", "singleinstance", "defaultpath", "dirname", "logfile",
                                 "windowclass"};
const char* const kConditionFields[] = {"id", "type", "logic", "cid1", "cid2", "method", "valuetype", "not",
                                        "nocache", "case", "path", "name", "param1", "param2", "value", "judge"};
const char* const kActionFields[] = {"id",     "type",   "start", "end",  "retlist", "actionlist", "onerror",
                                     "method", "param1", "path",  "name", "value",   "display"};
const char* const kVariableFields[] = {"id", "type", "nocache", "varname", "value", "path", "name", "param1", "param2"};
const char* const kStageFields[] = {"id", "silent", "overwrite", "cid1", "cid2", "logic", "aid", "group"};
const char* const kGroupFields[] = {"id", "cid1", "cid2", "logic", "aid"};
const char* const kSections[] = {"setting", "condition", "action", "variable", "oninit",
                                 "preinstall", "install", "onexit", "i18n"};

template <size_t N>
bool Known(const char* const (&names)[N], const std::string& name) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

std::string Name(const Node* n) { return std::string(n->name(), n->name_size()); }

// A value and where it starts in the script.
struct Value {
  std::string text;
  const char* at = nullptr;
  bool present = false;
};

// The "<" before an element's name (done on addresses: the parser gives nameless nodes a static
// empty name, which the compiler would see indexed out of bounds).
const char* OpeningOf(const Node* n) {
  return reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(n->name()) - 1);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct ListEntry {
  long long id;
  const char* at;
  std::string text;
};

// The trimmed comma split of an id list, with the position of each piece.
std::vector<ListEntry> SplitIds(const Value& v) {
  std::vector<ListEntry> out;
  size_t i = 0;
  while (i <= v.text.size()) {
    size_t end = v.text.find(',', i);
    if (end == std::string::npos) end = v.text.size();
    size_t b = i, e = end;
    while (b < e && IsBlank(v.text[b])) ++b;
    while (e > b && IsBlank(v.text[e - 1])) --e;
    if (b < e) {
      const std::string piece = v.text.substr(b, e - b);
      out.push_back({strtoll(piece.c_str(), nullptr, 10), v.at ? v.at + b : nullptr, piece});
    }
    i = end + 1;
  }
  return out;
}

class Checker {
 public:
  Checker(const ScriptInputs& in, Diagnostics& diag) : in_(in), diag_(diag) {}

  void Run() {
    size_t start = in_.text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    buffer_.assign(in_.text.begin() + static_cast<std::ptrdiff_t>(start), in_.text.end());
    buffer_.push_back('\0');
    buffer_.push_back('\0');
    base_ = start;
    // The document holds a sizeable memory pool of its own; keep it off the stack.
    auto owner = std::make_unique<rapidxml::xml_document<char>>();
    rapidxml::xml_document<char>& doc = *owner;
    try {
      // The installer refuses scripts nested this deep before it parses them (the parser recurses).
      if (const char* deep = FindTooDeepElement(buffer_.data(), kMaxElementDepth))
        throw rapidxml::parse_error("elements nested too deep", const_cast<char*>(deep));
      doc.parse<0>(buffer_.data());
    } catch (const rapidxml::parse_error& e) {
      diag_.Error(At(e.where<char>()), "xml", std::string("XML error: ") + e.what());
      return;
    }
    const Node* config = doc.first_node("config");
    if (!config) {
      diag_.Error({in_.shown}, "no-config", "the script has no <config> root element; the installer would run nothing");
      return;
    }
    std::set<std::string> seen;
    for (const Node* s = config->first_node(); s; s = s->next_sibling()) {
      const std::string name = Name(s);
      if (!Known(kSections, name)) {
        diag_.Warning(At(s), "unknown-element", "<" + name + "> is not a section of the script; it is ignored", name);
      } else if (!seen.insert(name).second) {
        diag_.Warning(At(s), "unknown-element", "a second <" + name + "> section is ignored (only the first is read)", name);
      }
    }
    Collect(config);
    if (const Node* s = config->first_node("setting")) CheckSettings(s);
    if (const Node* s = config->first_node("condition")) CheckConditions(s);
    if (const Node* s = config->first_node("action")) CheckActions(s);
    if (const Node* s = config->first_node("variable")) CheckVariables(s);
    for (const char* stage : {"oninit", "preinstall", "install", "onexit"})
      if (const Node* s = config->first_node(stage)) CheckStage(s);
    if (const Node* s = config->first_node("i18n")) CheckI18n(s);
    CheckLanguageReferences(config);
  }

 private:
  SourcePos At(const char* p) const {
    if (!p || p < buffer_.data() || p > buffer_.data() + buffer_.size()) return {in_.shown};
    return PositionOf(in_.shown, in_.text, base_ + static_cast<size_t>(p - buffer_.data()));
  }
  // An element's position is that of its "<".
  SourcePos At(const Node* n) const { return At(OpeningOf(n)); }

  static Value Read(const Node* item, const char* field) {
    Value v;
    const Node* e = item->first_node(field);
    if (!e) return v;
    v.present = true;
    v.at = e->value_size() ? e->value() : OpeningOf(e);
    if (e->value_size()) {
      v.text.assign(e->value(), e->value_size());
    } else if (const Node* first = e->first_node(); first && first->type() == rapidxml::node_cdata) {
      v.text.assign(first->value(), first->value_size());
      v.at = first->value();
    }
    return v;
  }

  void UnknownFields(const Node* item, const char* const* begin, const char* const* end, const char* what) {
    for (const Node* f = item->first_node(); f; f = f->next_sibling()) {
      const std::string name = Name(f);
      bool known = false;
      for (auto p = begin; p != end; ++p) known = known || name == *p;
      if (!known)
        diag_.Warning(At(f), "unknown-field", "<" + name + "> is not a field of " + what + " items; it is ignored", name);
    }
  }

  // Every <item> of a section; other children are ignored by the installer.
  template <typename Fn>
  void Items(const Node* section, bool allow_group, Fn fn) {
    for (const Node* n = section->first_node(); n; n = n->next_sibling()) {
      const std::string name = Name(n);
      if (name == "item") {
        fn(n);
      } else if (!(allow_group && name == "group")) {
        diag_.Warning(At(n), "unknown-element", "<" + name + "> in <" + Name(section) + "> is ignored (only <item> is read)", name);
      }
    }
  }

  // Item ids: decimal text; an item without one cannot be reached.
  bool ReadId(const Node* item, const char* what, long long& id) {
    const Value v = Read(item, "id");
    size_t b = 0;
    while (b < v.text.size() && IsBlank(v.text[b])) ++b;
    if (!v.present || b == v.text.size() || (v.text[b] != '-' && v.text[b] != '+' && (v.text[b] < '0' || v.text[b] > '9'))) {
      diag_.Error(v.present ? At(v.at) : At(item), "bad-id",
                  std::string(what) + " item has " + (v.present ? "no number as its <id>" : "no <id>"));
      return false;
    }
    id = strtoll(v.text.c_str() + b, nullptr, 10);
    return true;
  }

  // First pass: what the script defines, so that references to later items are found.
  void Collect(const Node* config) {
    auto collect = [&](const char* section, std::map<long long, const Node*>& defined) {
      const Node* s = config->first_node(section);
      if (!s) return;
      for (const Node* n = s->first_node("item"); n; n = n->next_sibling("item")) {
        const Value v = Read(n, "id");
        if (!v.present) continue;
        const long long id = strtoll(v.text.c_str(), nullptr, 10);
        if (id >= 100) defined.emplace(id, n);
      }
    };
    collect("condition", conditions_);
    collect("action", actions_);
  }

  void Duplicate(std::map<long long, const Node*>& firsts, long long id, const Node* item, const char* what) {
    const auto it = firsts.find(id);
    if (it == firsts.end()) {
      firsts.emplace(id, item);
      return;
    }
    diag_.Warning(At(item), "duplicate-id",
                  std::string(what) + " " + std::to_string(id) + " is defined again; the first definition stays in effect",
                  std::to_string(id));
    diag_.Note(At(it->second), "first definition of " + std::string(what) + " " + std::to_string(id));
  }

  void LowId(const Node* item, long long id, const char* what, int builtins) {
    if (id >= 100) return;
    diag_.Warning(At(item), "low-id",
                  std::string(what) + " id " + std::to_string(id) + " is below 100: ids 1 to " + std::to_string(builtins) +
                      " are built in and script items below 100 are never reached",
                  std::to_string(id));
  }

  void RefCondition(long long id, const char* at, const std::string& from) {
    if (id == 0 || (id >= 1 && id <= 10) || conditions_.count(id)) return;
    diag_.Error(At(at), "undefined-id",
                "condition " + std::to_string(id) + " referenced by " + from +
                    (id > 10 && id < 100 ? " is not built in (1 to 10) and no script item can have it" : " is never defined"),
                std::to_string(id));
  }

  void RefAction(long long id, const char* at, const std::string& from) {
    if ((id >= 1 && id <= 13) || actions_.count(id)) return;
    diag_.Error(At(at), "undefined-id",
                "action " + std::to_string(id) + " referenced by " + from +
                    (id >= 0 && id < 100 ? " is not built in (1 to 13) and no script item can have it" : " is never defined"),
                std::to_string(id));
  }

  void RefConditionField(const Node* item, const char* field, const std::string& from) {
    const Value v = Read(item, field);
    if (!v.present) return;
    RefCondition(strtoll(v.text.c_str(), nullptr, 10), v.at, from);
  }

  void RefActionList(const Node* item, const char* field, const std::string& from) {
    const Value v = Read(item, field);
    for (const ListEntry& e : SplitIds(v)) RefAction(e.id, e.at, from);
  }

  template <size_t N>
  int KeywordField(const Node* item, const char* field, const Keyword (&table)[N], bool numeric, int max_code,
               const std::string& what) {
    const Value v = Read(item, field);
    if (!v.present || v.text.empty()) return 0;
    const int code = Lookup(table, v.text, numeric, max_code);
    if (code < 0) {
      diag_.Error(At(v.at), "unknown-keyword", "unknown " + what + " \"" + v.text + "\"", v.text);
      return 0;
    }
    return code;
  }

  template <size_t N>
  int Type(const Node* item, const Keyword (&table)[N], int max_code, const std::string& what) {
    const Value v = Read(item, "type");
    if (!v.present || v.text.empty()) {
      diag_.Error(v.present ? At(v.at) : At(item), "unknown-type", what + " item has no <type>; it would do nothing");
      return 0;
    }
    const int code = Lookup(table, v.text, true, max_code);
    if (code < 0) {
      diag_.Error(At(v.at), "unknown-type", "unknown " + what + " type \"" + v.text + "\"", v.text);
      return 0;
    }
    return code;
  }

  void CheckSettings(const Node* section) {
    for (const Node* s = section->first_node(); s; s = s->next_sibling()) {
      const std::string name = Name(s);
      if (!Known(kSettings, name)) {
        diag_.Error(At(s), "unknown-setting", "unknown setting <" + name + ">", name);
        continue;
      }
      if (name != "diskrequire") continue;
      const Value v = Read(section, "diskrequire");
      if (v.text.empty() || s != section->first_node("diskrequire")) continue;
      const char last = v.text.back();
      if (!strchr("0123456789KkMmGgTtPpEe.", last))
        diag_.Warning(At(v.at), "diskrequire",
                      "diskrequire \"" + v.text + "\" ends in neither a digit nor a unit (K, M, G, T, P, E): it is read as bytes");
    }
  }

  void CheckConditions(const Node* section) {
    std::map<long long, const Node*> firsts;
    Items(section, false, [&](const Node* item) {
      UnknownFields(item, std::begin(kConditionFields), std::end(kConditionFields), "condition");
      long long id = 0;
      const bool has_id = ReadId(item, "a condition", id);
      if (has_id) {
        LowId(item, id, "condition", 10);
        Duplicate(firsts, id, item, "condition");
      }
      const std::string me = "condition " + std::to_string(id);
      const int type = Type(item, kConditionTypes, 12, "condition");
      const int logic = KeywordField(item, "logic", kLogic, false, 0, "logic");
      KeywordField(item, "method", kMethods, false, 0, "compare method");
      KeywordField(item, "valuetype", kValueTypes, false, 0, "value type");
      if (type == kConditionLogic) {
        if (!Read(item, "logic").present || Read(item, "logic").text.empty())
          diag_.Error(At(item), "unknown-keyword", me + " is a logic condition without <logic> (not, and, or, xor)");
        RefConditionField(item, "cid1", me);
        if (logic != kLogicNot) RefConditionField(item, "cid2", me);
      }
    });
  }

  void CheckActions(const Node* section) {
    std::map<long long, const Node*> firsts;
    Items(section, false, [&](const Node* item) {
      UnknownFields(item, std::begin(kActionFields), std::end(kActionFields), "action");
      long long id = 0;
      if (ReadId(item, "an action", id)) {
        LowId(item, id, "action", 13);
        Duplicate(firsts, id, item, "action");
      }
      const std::string me = "action " + std::to_string(id);
      const int type = Type(item, kActionTypes, 19, "action");
      RefActionList(item, "onerror", me + " (onerror)");
      if (type == kActionMsgbox) {
        RefActionList(item, "actionlist", me + " (actionlist)");
        const size_t rets = SplitIds(Read(item, "retlist")).size(), acts = SplitIds(Read(item, "actionlist")).size();
        if (rets != acts)
          diag_.Warning(At(item), "list-mismatch",
                        me + ": retlist has " + std::to_string(rets) + " entries and actionlist " + std::to_string(acts) +
                            "; the message box then runs no action for any answer",
                        std::to_string(id));
      }
      if (type == kActionList) RefActionList(item, "value", me + " (list)");
      if (type == kActionVar) {
        const Value method = Read(item, "method");
        if (atoi(method.text.c_str()) == 1) RefConditionField(item, "param1", me + " (choose)");
      }
      if (type == kActionExtract) {
        const Value v = Read(item, "value");
        size_t b = 0;
        if (!v.text.empty() && v.text[b] >= '0' && v.text[b] <= '9') {
          const long long resource = atoll(v.text.c_str());
          const Value kind = Read(item, "name");
          const std::string type_name = kind.text.empty() ? "10" : kind.text;
          bool found = false;
          for (const auto& r : in_.resources)
            found = found || (_stricmp(r.first.c_str(), type_name.c_str()) == 0 && r.second == std::to_string(resource));
          if (!found)
            diag_.Error(At(v.at), "missing-resource",
                        me + " extracts resource " + std::to_string(resource) + " of type " +
                            (kind.text.empty() ? std::string("RT_RCDATA") : "\"" + kind.text + "\"") +
                            ", which the manifest does not provide",
                        std::to_string(resource));
        }
      }
    });
  }

  void CheckVariables(const Node* section) {
    std::map<std::string, const Node*> firsts;
    Items(section, false, [&](const Node* item) {
      UnknownFields(item, std::begin(kVariableFields), std::end(kVariableFields), "variable");
      Type(item, kVariableTypes, 7, "variable");
      const Value name = Read(item, "varname");
      if (name.text.empty()) {
        diag_.Error(name.present ? At(name.at) : At(item), "bad-id", "variable item has no <varname>");
        return;
      }
      const auto it = firsts.find(name.text);
      if (it == firsts.end()) {
        firsts.emplace(name.text, item);
        return;
      }
      diag_.Warning(At(item), "duplicate-id", "variable " + name.text + " is defined again; the first definition stays in effect",
                    name.text);
      diag_.Note(At(it->second), "first definition of variable " + name.text);
    });
  }

  void CheckGate(const Node* item, const std::string& me) {
    const int logic = KeywordField(item, "logic", kLogic, false, 0, "logic");
    RefConditionField(item, "cid1", me);
    const Value cid2 = Read(item, "cid2");
    if (logic == 0 && atoi(cid2.text.c_str()) != 0)
      diag_.Warning(At(cid2.at), "ignored-operand", me + ": <cid2> is never evaluated without <logic> (and, or, xor)",
                    cid2.text);
    else if (logic != kLogicNot)
      RefConditionField(item, "cid2", me);
    RefActionList(item, "aid", me);
  }

  void CheckStage(const Node* section) {
    const std::string stage = Name(section);
    Items(section, false, [&](const Node* item) {
      UnknownFields(item, std::begin(kStageFields), std::end(kStageFields), "stage");
      const Value id = Read(item, "id");
      const std::string me = stage + " item" + (id.text.empty() ? std::string() : " " + id.text);
      CheckGate(item, me);
      for (const Node* g = item->first_node("group"); g; g = g->next_sibling("group")) {
        UnknownFields(g, std::begin(kGroupFields), std::end(kGroupFields), "group");
        CheckGate(g, me + " (group)");
      }
    });
  }

  bool HasLangResource(const std::string& name) const {
    for (const auto& r : in_.resources)
      if (r.first == "LANG" && _stricmp(r.second.c_str(), name.c_str()) == 0) return true;
    return false;
  }

  void CheckI18n(const Node* i18n) {
    for (const char* list : {"stringtable", "fileres"}) {
      const Node* s = i18n->first_node(list);
      if (!s) continue;
      Items(s, false, [&](const Node* item) {
        const Value v = Read(item, "value");
        if (v.text.empty() || HasLangResource(v.text)) return;
        diag_.Warning(At(v.at), "missing-resource",
                      std::string(list) + " names LANG resource \"" + v.text + "\", which the manifest does not provide",
                      v.text);
      });
    }
  }

  // %#Key#% in any text of the script must be a key of every language table.
  void CheckLanguageReferences(const Node* node) {
    for (const Node* n = node->first_node(); n; n = n->next_sibling()) {
      if (n->type() == rapidxml::node_element) {
        CheckLanguageReferences(n);
        if (n->value_size()) ScanText(n->value(), n->value_size());
      } else if (n->type() == rapidxml::node_cdata) {
        ScanText(n->value(), n->value_size());
      }
    }
  }

  void ScanText(const char* text, size_t size) {
    const std::string s(text, size);
    for (size_t i = s.find("%#"); i != std::string::npos; i = s.find("%#", i + 1)) {
      const size_t close = s.find("#%", i + 2);
      if (close == std::string::npos || close == i + 2 || close - i > 32) continue;
      const std::string key = s.substr(i + 2, close - i - 2);
      std::string lower = key;
      for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (in_.languages.empty()) {
        diag_.Warning(At(text + i), "missing-lang-key", "language key " + key + " is used but the manifest gives no language table", key);
        continue;
      }
      for (const auto& table : in_.languages) {
        if (keys_.find(&table) == keys_.end()) keys_[&table] = LanguageKeys(table.text);
        if (!keys_[&table].count(lower))
          diag_.Warning(At(text + i), "missing-lang-key",
                        "language key " + key + " is missing from " + table.resource + " (" + table.language + ")", key);
      }
    }
  }

  const ScriptInputs& in_;
  Diagnostics& diag_;
  std::vector<char> buffer_;
  size_t base_ = 0;
  std::map<long long, const Node*> conditions_, actions_;
  std::map<const LanguageTable*, std::set<std::string>> keys_;
};

// Calls fn(key, value, value offset) for each key=value line of section [Lang].
template <typename Fn>
void ForEachLangEntry(const std::string& ini, Fn fn) {
  bool in_lang = false;
  size_t pos = ini.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (pos < ini.size()) {
    size_t end = ini.find('\n', pos);
    if (end == std::string::npos) end = ini.size();
    size_t b = pos, e = end;
    while (b < e && IsBlank(ini[b])) ++b;
    while (e > b && IsBlank(ini[e - 1])) --e;
    if (b < e && ini[b] == '[') {
      const size_t close = ini.find(']', b);
      std::string section = ini.substr(b + 1, (close == std::string::npos || close > e ? e : close) - b - 1);
      in_lang = _stricmp(section.c_str(), "Lang") == 0;
    } else if (in_lang && b < e && ini[b] != ';' && ini[b] != '#') {
      const size_t eq = ini.find('=', b);
      if (eq != std::string::npos && eq < e) {
        size_t ke = eq;
        while (ke > b && IsBlank(ini[ke - 1])) --ke;
        size_t vb = eq + 1;
        while (vb < e && IsBlank(ini[vb])) ++vb;
        fn(ini.substr(b, ke - b), ini.substr(vb, e - vb), vb);
      }
    }
    pos = end + 1;
  }
}

}  // namespace

std::set<std::string> LanguageKeys(const std::string& ini) {
  std::set<std::string> keys;
  ForEachLangEntry(ini, [&](std::string key, const std::string&, size_t) {
    for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    keys.insert(key);
  });
  return keys;
}

void CheckLanguageTable(const LanguageTable& table, Diagnostics& diag) {
  const std::set<std::string> keys = LanguageKeys(table.text);
  ForEachLangEntry(table.text, [&](const std::string&, const std::string& value, size_t offset) {
    for (size_t i = value.find("${"); i != std::string::npos; i = value.find("${", i + 2)) {
      const size_t close = value.find('}', i + 2);
      if (close == std::string::npos) break;
      const std::string name = value.substr(i + 2, close - i - 2);
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (!keys.count(lower))
        diag.Warning(PositionOf(table.shown, table.text, offset + i), "missing-lang-key",
                     "${" + name + "} names no key of " + table.resource + "; the text shows \"" + name + "\" instead", name);
    }
  });
}

void CheckScript(const ScriptInputs& in, Diagnostics& diag) { Checker(in, diag).Run(); }

}  // namespace tzbuild
