#include "LayoutSource.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {
const std::map<std::string, std::string> kAliases = {{"param", "paramId"}, {"img", "imageId"}, {"group", "paramGroup"}};

struct SourceLine {
  int number;
  int indent;
  std::string text;
};

std::string fail(int line, const std::string& why) { return "line " + std::to_string(line) + ": " + why; }

// Words, "quoted texts" and key=value / key="value" pairs.
bool splitWords(const std::string& text, std::vector<std::string>& words, std::string& why) {
  size_t i = 0;
  while (i < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    std::string word;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) {
      if (text[i] == '"') {
        const size_t end = text.find('"', i + 1);
        if (end == std::string::npos) return why = "unterminated quote", false;
        word += '\x01' + text.substr(i + 1, end - i - 1);  // marks quoted text, so "a=b" stays a name
        i = end + 1;
      } else {
        word += text[i++];
      }
    }
    words.push_back(word);
  }
  return true;
}

std::string unquote(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '\x01') out += c;
  return out;
}

bool isPositionElement(const std::string& element) {
  return element == "display" || element == "dropMenu" || element == "patchBrowser" || element == "categoryList";
}

bool parseNode(const SourceLine& line, const std::map<std::string, SysExEntry>& sysex, LayoutNode& node,
               std::string& error) {
  std::vector<std::string> words;
  std::string why;
  if (!splitWords(line.text, words, why)) return error = fail(line.number, why), false;
  node.element = unquote(words[0]);
  node.line = line.number;
  bool named = false;
  std::string se;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    const size_t eq = w.find('=');
    if (w[0] == '@') {
      node.attributes.emplace_back(isPositionElement(node.element) ? "bounds" : "position", w.substr(1));
    } else if (eq != std::string::npos && eq > 0 && w.find('\x01') > eq) {
      std::string key = w.substr(0, eq);
      const std::string value = unquote(w.substr(eq + 1));
      if (const auto alias = kAliases.find(key); alias != kAliases.end()) key = alias->second;
      if (key == "se")
        se = value;
      else if (key == "cap")
        node.caption = value;
      else if (key == "rowcap")
        node.rowCaption = value;
      else if (key == "over")
        node.over = value;
      else
        node.attributes.emplace_back(key, value);
    } else if (!named) {
      node.attributes.emplace(node.attributes.begin(), "name", unquote(w));
      named = true;
    } else {
      return error = fail(line.number, "a second name \"" + unquote(w) + "\""), false;
    }
  }
  if (!se.empty()) {
    const auto it = sysex.find(se);
    if (it == sysex.end()) return error = fail(line.number, "no SysEx definition for " + se), false;
    node.attributes.emplace_back("sysexIndex", std::to_string(it->second.index));
    if (!node.attribute("changingByte")) node.attributes.emplace_back("changingByte", std::to_string(it->second.length));
  }
  return true;
}

// Expands "for v in A..B" blocks and substitutes $v in the lines they hold.
bool expand(const std::vector<SourceLine>& in, std::vector<SourceLine>& out, std::string& error) {
  for (size_t i = 0; i < in.size(); ++i) {
    std::istringstream words(in[i].text);
    std::string kw, var, inWord, range;
    words >> kw;
    if (kw != "for") {
      out.push_back(in[i]);
      continue;
    }
    words >> var >> inWord >> range;
    const size_t dots = range.find("..");
    if (var.empty() || inWord != "in" || dots == std::string::npos)
      return error = fail(in[i].number, "expected: for NAME in FIRST..LAST"), false;
    const std::string first = range.substr(0, dots);
    const int a = std::atoi(first.c_str()), b = std::atoi(range.c_str() + dots + 2);
    std::vector<SourceLine> body;
    size_t j = i + 1;
    for (; j < in.size() && in[j].indent > in[i].indent; ++j) body.push_back(in[j]);
    std::vector<SourceLine> inner;
    if (!expand(body, inner, error)) return false;
    for (int n = a; n <= b; ++n) {
      std::string value = std::to_string(n);
      if (value.size() < first.size()) value.insert(0, first.size() - value.size(), '0');
      for (SourceLine l : inner) {
        for (size_t p; (p = l.text.find("$" + var)) != std::string::npos;) l.text.replace(p, var.size() + 1, value);
        l.indent -= inner.front().indent - in[i].indent;  // the block's lines take the for's place
        out.push_back(l);
      }
    }
    i = j - 1;
  }
  return true;
}

bool build(const std::vector<SourceLine>& lines, size_t& pos, int indent, const std::map<std::string, SysExEntry>& sysex,
           std::vector<LayoutNode>& nodes, std::string& error) {
  while (pos < lines.size() && lines[pos].indent >= indent) {
    if (lines[pos].indent > indent) return error = fail(lines[pos].number, "indented under nothing"), false;
    LayoutNode node;
    if (!parseNode(lines[pos], sysex, node, error)) return false;
    ++pos;
    if (pos < lines.size() && lines[pos].indent > indent &&
        !build(lines, pos, lines[pos].indent, sysex, node.children, error))
      return false;
    nodes.push_back(std::move(node));
  }
  return true;
}
}  // namespace

bool parseLayoutSource(const std::string& text, const std::map<std::string, SysExEntry>& sysex,
                       std::vector<LayoutNode>& nodes, std::string& error) {
  std::vector<SourceLine> lines;
  std::istringstream in(text);
  std::string raw;
  for (int number = 1; std::getline(in, raw); ++number) {
    // A "#" outside quotes ends the line.
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '"') quoted = !quoted;
      if (raw[i] == '#' && !quoted) {
        raw.resize(i);
        break;
      }
    }
    if (raw.find('\t') != std::string::npos) return error = fail(number, "tabs are not allowed; indent with blanks"), false;
    const size_t first = raw.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    lines.push_back({number, static_cast<int>(first), raw.substr(first)});
  }
  std::vector<SourceLine> expanded;
  if (!expand(lines, expanded, error)) return false;
  size_t pos = 0;
  if (expanded.empty()) return true;
  if (!build(expanded, pos, expanded.front().indent, sysex, nodes, error)) return false;
  if (pos < expanded.size()) return error = fail(expanded[pos].number, "indented less than the first element"), false;
  return true;
}
