#include "com/Registrar.h"

#include <memory>
#include <optional>

namespace com {

namespace {

enum class Flag { None, NoRemove, ForceRemove };

struct Node {
    std::string name;
    Flag flag = Flag::None;
    std::optional<std::string> defaultValue;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<Node> children;
};

struct Token {
    enum Kind { Word, Quoted, Open, Close, Equals, End, Bad } kind = End;
    std::string text;
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    Token Next() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\r' || m_text[m_pos] == '\n'))
            ++m_pos;
        if (m_pos >= m_text.size())
            return {Token::End, {}};
        const char c = m_text[m_pos];
        const bool guidName =
            c == '{' && m_pos + 38 <= m_text.size() && ParseGuid(m_text.substr(m_pos, 38)).has_value();
        if (c == '{' && !guidName) {
            ++m_pos;
            return {Token::Open, "{"};
        }
        if (c == '}') {
            ++m_pos;
            return {Token::Close, "}"};
        }
        if (c == '=') {
            ++m_pos;
            return {Token::Equals, "="};
        }
        if (c == '\'') {
            std::string out;
            ++m_pos;
            while (m_pos < m_text.size()) {
                if (m_text[m_pos] == '\'') {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\'') {
                        out += '\'';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    return {Token::Quoted, out};
                }
                out += m_text[m_pos++];
            }
            return {Token::Bad, {}};
        }
        // A word runs to white space or '='; a key name in braces ({GUID}) is one word.
        std::string out;
        if (guidName) {
            out = std::string(m_text.substr(m_pos, 38));
            m_pos += 38;
            return {Token::Word, out};
        }
        while (m_pos < m_text.size()) {
            const char d = m_text[m_pos];
            if (d == ' ' || d == '\t' || d == '\r' || d == '\n' || d == '=' || d == '}' || d == '\'')
                break;
            if (d == '{' && !out.empty())
                break;
            out += d;
            ++m_pos;
        }
        if (out.empty())
            return {Token::Bad, {}};
        return {Token::Word, out};
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

class Parser {
public:
    explicit Parser(std::string_view text) : m_lex(text) { Advance(); }

    // Root: a word, then a block.
    bool ParseRoot(std::vector<Node>* keys) {
        if (m_tok.kind != Token::Word)
            return false;
        const std::string root = m_tok.text;
        if (root != "HKCR" && root != "HKEY_CLASSES_ROOT")
            return false;
        Advance();
        if (!ParseBlock(keys, false))
            return false;
        return m_tok.kind == Token::End;
    }

private:
    void Advance() { m_tok = m_lex.Next(); }

    // '{' entries '}'
    bool ParseBlock(std::vector<Node>* children, bool allowValues, Node* owner = nullptr) {
        if (m_tok.kind != Token::Open)
            return false;
        Advance();
        while (m_tok.kind != Token::Close) {
            if (m_tok.kind != Token::Word && m_tok.kind != Token::Quoted)
                return false;
            if (m_tok.kind == Token::Word && m_tok.text == "val" && allowValues) {
                Advance();
                if (m_tok.kind != Token::Word)
                    return false;
                const std::string name = m_tok.text;
                Advance();
                std::string value;
                if (!ParseAssignment(&value))
                    return false;
                owner->values.emplace_back(name, value);
                continue;
            }
            Node node;
            if (m_tok.kind == Token::Word && (m_tok.text == "NoRemove" || m_tok.text == "ForceRemove")) {
                node.flag = m_tok.text == "NoRemove" ? Flag::NoRemove : Flag::ForceRemove;
                Advance();
                if (m_tok.kind != Token::Word && m_tok.kind != Token::Quoted)
                    return false;
            }
            node.name = m_tok.text;
            if (node.name.empty() || node.name.find('\\') != std::string::npos)
                return false;
            Advance();
            if (m_tok.kind == Token::Equals) {
                std::string value;
                if (!ParseAssignment(&value))
                    return false;
                node.defaultValue = value;
            }
            if (m_tok.kind == Token::Open && !ParseBlock(&node.children, true, &node))
                return false;
            children->push_back(std::move(node));
        }
        Advance();
        return true;
    }

    // '=' 's' 'text'
    bool ParseAssignment(std::string* value) {
        if (m_tok.kind != Token::Equals)
            return false;
        Advance();
        if (m_tok.kind != Token::Word || m_tok.text != "s")
            return false;
        Advance();
        if (m_tok.kind != Token::Quoted)
            return false;
        *value = m_tok.text;
        Advance();
        return true;
    }

    Lexer m_lex;
    Token m_tok;
};

void Register(const Node& node, const std::string& parent, Registry& reg) {
    const std::string path = parent.empty() ? node.name : parent + "\\" + node.name;
    if (node.flag == Flag::ForceRemove)
        reg.DeleteTree(path);
    reg.CreateKey(path);
    if (node.defaultValue)
        reg.SetValue(path, "", *node.defaultValue);
    for (const auto& [name, value] : node.values)
        reg.SetValue(path, name, value);
    for (const Node& child : node.children)
        Register(child, path, reg);
}

void Unregister(const Node& node, const std::string& parent, Registry& reg) {
    const std::string path = parent.empty() ? node.name : parent + "\\" + node.name;
    if (node.flag == Flag::ForceRemove) {
        reg.DeleteTree(path);
        return;
    }
    if (!reg.KeyExists(path))
        return;
    for (const Node& child : node.children)
        Unregister(child, path, reg);
    for (const auto& value : node.values)
        reg.DeleteValue(path, value.first);
    if (node.flag == Flag::NoRemove)
        return;
    if (node.defaultValue)
        reg.DeleteValue(path, "");
    // Keys someone else put below stay, and so does this key then.
    reg.DeleteKeyIfLeaf(path);
}

std::string Substitute(std::string_view script, const Replacements& replacements) {
    std::string out;
    size_t i = 0;
    while (i < script.size()) {
        if (script[i] == '%') {
            const size_t close = script.find('%', i + 1);
            if (close != std::string_view::npos) {
                const std::string_view name = script.substr(i + 1, close - i - 1);
                if (name.empty()) { // %% is a literal percent sign
                    out += '%';
                    i = close + 1;
                    continue;
                }
                bool found = false;
                for (const auto& [key, value] : replacements) {
                    if (key == name) {
                        // The value lands inside a quoted text: its quotes are doubled.
                        for (char c : value) {
                            out += c;
                            if (c == '\'')
                                out += '\'';
                        }
                        found = true;
                        break;
                    }
                }
                if (found) {
                    i = close + 1;
                    continue;
                }
            }
        }
        out += script[i++];
    }
    return out;
}

} // namespace

HRESULT ApplyRegistryScript(std::string_view script, const Replacements& replacements, bool registering,
                            Registry& registry) {
    const std::string text = Substitute(script, replacements);
    std::vector<Node> keys;
    Parser parser(text);
    if (!parser.ParseRoot(&keys))
        return E_INVALIDARG;
    for (const Node& node : keys) {
        if (registering)
            Register(node, "", registry);
        else
            Unregister(node, "", registry);
    }
    return S_OK;
}

HRESULT UpdateRegistryFromScript(std::string_view script, const Replacements& replacements, bool registering,
                                 const std::string& path) {
    RegistryTransaction tx(path);
    if (!tx.ok())
        return REGDB_E_READREGDB;
    const HRESULT hr = ApplyRegistryScript(script, replacements, registering, tx.registry());
    if (Failed(hr))
        return hr;
    return tx.Commit() ? S_OK : REGDB_E_WRITEREGDB;
}

} // namespace com
