#include "platform/gui/ResourceScript.h"

#include "platform/gui/Unicode.h"

#include <cctype>
#include <optional>

namespace {

constexpr std::uint32_t Grayed = 0x0001;
constexpr std::uint32_t Checked = 0x0008;
constexpr std::uint32_t Popup = 0x0010;
constexpr std::uint32_t Separator = 0x0800;

struct Token {
    enum class Kind { Number, String, Word, Punct, End } kind = Kind::End;
    std::string text;
    long long number = 0;
    int line = 0;
};

// Splits the script into tokens; preprocessor lines and comments are skipped,
// since the bundled script uses plain numbers throughout.
class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    Token Next()
    {
        SkipBlanks();
        Token token;
        token.line = m_line;
        if (m_pos >= m_text.size())
            return token;
        const char c = m_text[m_pos];
        if (c == '"')
            return ReadString(token);
        if (std::isdigit(static_cast<unsigned char>(c)))
            return ReadNumber(token);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            token.kind = Token::Kind::Word;
            while (m_pos < m_text.size()
                   && (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
                token.text += m_text[m_pos++];
            return token;
        }
        token.kind = Token::Kind::Punct;
        token.text = std::string(1, c);
        ++m_pos;
        return token;
    }

private:
    void SkipBlanks()
    {
        bool lineStart = m_pos == 0 || m_text[m_pos - 1] == '\n';
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
                lineStart = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_pos;
            } else if (lineStart && c == '#') {
                SkipTo("\n");
            } else if (m_text.substr(m_pos, 2) == "//") {
                SkipTo("\n");
            } else if (m_text.substr(m_pos, 2) == "/*") {
                const auto end = m_text.find("*/", m_pos + 2);
                for (auto i = m_pos; i < std::min(end, m_text.size()); ++i)
                    m_line += m_text[i] == '\n';
                m_pos = end == std::string_view::npos ? m_text.size() : end + 2;
            } else {
                return;
            }
        }
    }

    void SkipTo(std::string_view what)
    {
        const auto end = m_text.find(what, m_pos);
        m_pos = end == std::string_view::npos ? m_text.size() : end;
    }

    Token ReadString(Token& token)
    {
        token.kind = Token::Kind::String;
        ++m_pos;
        while (true) {
            if (m_pos >= m_text.size() || m_text[m_pos] == '\n')
                throw ResourceScriptError("line " + std::to_string(token.line) + ": unterminated string");
            const char c = m_text[m_pos++];
            if (c == '"') {
                if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                    token.text += '"';
                    ++m_pos;
                    continue;
                }
                return token;
            }
            if (c == '\\' && m_pos < m_text.size()) {
                const char escaped = m_text[m_pos++];
                if (escaped == 'n')
                    token.text += '\n';
                else if (escaped == 't')
                    token.text += '\t';
                else if (escaped == '\\' || escaped == '"')
                    token.text += escaped;
                else
                    token.text += {c, escaped};
                continue;
            }
            token.text += c;
        }
    }

    Token ReadNumber(Token& token)
    {
        token.kind = Token::Kind::Number;
        std::size_t used = 0;
        token.number = std::stoll(std::string(m_text.substr(m_pos, 24)), &used, 0);
        m_pos += used;
        while (m_pos < m_text.size() && (m_text[m_pos] == 'L' || m_text[m_pos] == 'l'
                                         || m_text[m_pos] == 'U' || m_text[m_pos] == 'u'))
            ++m_pos;
        return token;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
};

class Parser {
public:
    explicit Parser(std::string_view text) : m_lexer(text) { Advance(); }

    ResourceScript Parse()
    {
        ResourceScript script;
        while (m_token.kind != Token::Kind::End) {
            if (IsWord("STRINGTABLE")) {
                Advance();
                ParseStringTable(script);
                continue;
            }
            const int id = static_cast<int>(ExpectNumber());
            // A type is a keyword, or a number such as 24 for a manifest.
            const std::string type = m_token.kind == Token::Kind::Number ? std::to_string(Take().number) : ExpectWord();
            if (type == "DIALOGEX" || type == "DIALOG")
                script.dialogs[id] = ParseDialog(id);
            else if (type == "MENU" || type == "MENUEX")
                script.menus[id] = ParseMenu();
            else if (m_token.kind == Token::Kind::String)
                script.files[id] = Take().text;
            else
                SkipStatement();
        }
        return script;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw ResourceScriptError("line " + std::to_string(m_token.line) + ": " + what);
    }

    void Advance() { m_token = m_lexer.Next(); }
    Token Take()
    {
        Token token = m_token;
        Advance();
        return token;
    }
    bool IsWord(std::string_view word) const { return m_token.kind == Token::Kind::Word && m_token.text == word; }
    bool IsPunct(char c) const { return m_token.kind == Token::Kind::Punct && m_token.text[0] == c; }
    bool IsBegin() const { return IsWord("BEGIN") || IsPunct('{'); }
    bool IsEnd() const { return IsWord("END") || IsPunct('}'); }
    void SkipComma()
    {
        if (IsPunct(','))
            Advance();
    }

    std::string ExpectWord()
    {
        if (m_token.kind != Token::Kind::Word)
            Fail("a keyword was expected");
        return Take().text;
    }

    std::string ExpectString()
    {
        if (m_token.kind != Token::Kind::String)
            Fail("a quoted text was expected");
        return Take().text;
    }

    // A number, or numbers joined by '|', optionally negated.
    long long ExpectNumber()
    {
        long long value = 0;
        do {
            if (IsPunct('|'))
                Advance();
            const bool negative = IsPunct('-');
            if (negative)
                Advance();
            if (m_token.kind != Token::Kind::Number)
                Fail("a number was expected");
            value |= negative ? -Take().number : Take().number;
        } while (IsPunct('|'));
        return value;
    }

    void ExpectBegin()
    {
        if (!IsBegin())
            Fail("BEGIN was expected");
        Advance();
    }

    void SkipStatement()
    {
        while (!IsBegin()) {
            if (m_token.kind == Token::Kind::End)
                Fail("the statement has no end");
            Advance();
        }
        SkipBlock();
    }

    void SkipBlock()
    {
        ExpectBegin();
        while (!IsEnd()) {
            if (m_token.kind == Token::Kind::End)
                Fail("END is missing");
            if (IsBegin())
                SkipBlock();
            else
                Advance();
        }
        Advance();
    }

    void ParseStringTable(ResourceScript& script)
    {
        while (!IsBegin()) {
            if (m_token.kind == Token::Kind::End)
                Fail("BEGIN was expected");
            Advance();
        }
        ExpectBegin();
        while (!IsEnd()) {
            const int id = static_cast<int>(ExpectNumber());
            SkipComma();
            script.strings[id] = Utf8ToUtf16(ExpectString());
        }
        Advance();
    }

    DialogTemplate ParseDialog(int id)
    {
        DialogTemplate dialog;
        dialog.id = id;
        dialog.x = static_cast<int>(ExpectNumber());
        SkipComma();
        dialog.y = static_cast<int>(ExpectNumber());
        SkipComma();
        dialog.width = static_cast<int>(ExpectNumber());
        SkipComma();
        dialog.height = static_cast<int>(ExpectNumber());
        while (!IsBegin()) {
            const std::string option = ExpectWord();
            if (option == "STYLE")
                dialog.style = static_cast<std::uint32_t>(ExpectNumber());
            else if (option == "EXSTYLE")
                dialog.exStyle = static_cast<std::uint32_t>(ExpectNumber());
            else if (option == "CAPTION")
                dialog.caption = Utf8ToUtf16(ExpectString());
            else if (option == "MENU")
                dialog.menu = static_cast<int>(ExpectNumber());
            else if (option == "FONT")
                ParseFont(dialog);
            else
                Fail("unknown dialog option " + option);
        }
        ExpectBegin();
        while (!IsEnd())
            dialog.controls.push_back(ParseControl());
        Advance();
        return dialog;
    }

    void ParseFont(DialogTemplate& dialog)
    {
        dialog.fontPointSize = static_cast<int>(ExpectNumber());
        SkipComma();
        dialog.fontFace = Utf8ToUtf16(ExpectString());
        // Weight, italic and character set follow in DIALOGEX; only the weight matters here.
        for (int field = 0; IsPunct(','); ++field) {
            Advance();
            const long long value = ExpectNumber();
            if (field == 0)
                dialog.fontWeight = static_cast<int>(value);
        }
    }

    ControlTemplate ParseControl()
    {
        if (ExpectWord() != "CONTROL")
            Fail("only CONTROL statements are read in dialogs");
        ControlTemplate control;
        if (m_token.kind == Token::Kind::String)
            control.text = Utf8ToUtf16(Take().text);
        else
            control.textResource = static_cast<int>(ExpectNumber());
        SkipComma();
        control.id = static_cast<int>(ExpectNumber());
        SkipComma();
        control.className = Utf8ToUtf16(ExpectString());
        SkipComma();
        control.style = static_cast<std::uint32_t>(ExpectNumber());
        SkipComma();
        control.x = static_cast<int>(ExpectNumber());
        SkipComma();
        control.y = static_cast<int>(ExpectNumber());
        SkipComma();
        control.width = static_cast<int>(ExpectNumber());
        SkipComma();
        control.height = static_cast<int>(ExpectNumber());
        if (IsPunct(',')) {
            Advance();
            control.exStyle = static_cast<std::uint32_t>(ExpectNumber());
        }
        return control;
    }

    MenuTemplate ParseMenu()
    {
        MenuTemplate menu;
        menu.flags = Popup;
        ParseMenuItems(menu);
        return menu;
    }

    void ParseMenuItems(MenuTemplate& parent)
    {
        ExpectBegin();
        while (!IsEnd()) {
            const std::string kind = ExpectWord();
            MenuTemplate item;
            if (kind == "MENUITEM" && IsWord("SEPARATOR")) {
                Advance();
                item.flags = Separator;
            } else if (kind == "MENUITEM") {
                item.text = Utf8ToUtf16(ExpectString());
                SkipComma();
                item.id = static_cast<int>(ExpectNumber());
                item.flags = ParseItemOptions();
            } else if (kind == "POPUP") {
                item.text = Utf8ToUtf16(ExpectString());
                item.flags = Popup | ParseItemOptions();
                ParseMenuItems(item);
            } else {
                Fail("unknown menu statement " + kind);
            }
            parent.items.push_back(std::move(item));
        }
        Advance();
    }

    std::uint32_t ParseItemOptions()
    {
        std::uint32_t flags = 0;
        while (IsPunct(',') || IsWord("GRAYED") || IsWord("CHECKED") || IsWord("INACTIVE")) {
            const Token option = Take();
            if (option.text == "GRAYED")
                flags |= Grayed;
            else if (option.text == "CHECKED")
                flags |= Checked;
            else if (option.text == "INACTIVE")
                flags |= 0x0002;
        }
        return flags;
    }

    Lexer m_lexer;
    Token m_token;
};

}  // namespace

ResourceScript ResourceScript::Parse(std::string_view text)
{
    return Parser(text).Parse();
}
