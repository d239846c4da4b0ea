// The command-line splitter: a scanner that cuts the line into tokens in one pass.
#include "frame/tokenizer.h"

#include <string>
#include <string_view>

namespace kestrel {

namespace {

constexpr char16_t space = u' ';
constexpr char16_t quote = u'"';
constexpr char16_t backslash = u'\\';

class LineScanner {
public:
    explicit LineScanner(std::u16string_view commandLine) : line(commandLine) {}

    void appendTokensTo(std::vector<std::u16string>& tokens) {
        while (true) {
            skipSpaces();
            if (atEnd()) {
                return;
            }
            std::u16string token = line[position] == quote ? readQuotedToken() : readPlainToken();
            if (!token.empty()) {
                tokens.push_back(std::move(token));
            }
        }
    }

private:
    bool atEnd() const { return position >= line.size(); }

    void skipSpaces() {
        while (!atEnd() && line[position] == space) {
            ++position;
        }
    }

    // A closing quote is one that the line ends after or that a space follows.
    bool closesAt(std::size_t i) const {
        return line[i] == quote && (i + 1 == line.size() || line[i + 1] == space);
    }

    // Backslash before quote only means something inside a plain token, where
    // the character before a quote always belongs to the same token.
    bool escapedQuoteAt(std::size_t i) const {
        return line[i] == quote && i > 0 && line[i - 1] == backslash;
    }

    // Quoted tokens know no escapes: "C:\My Dir\" is a directory with its
    // trailing backslash, the way users type it.
    std::u16string readQuotedToken() {
        const std::size_t start = ++position;
        for (std::size_t i = start; i < line.size(); ++i) {
            if (closesAt(i)) {
                position = i + 1;
                return std::u16string(line.substr(start, i - start));
            }
        }
        position = line.size();
        return std::u16string(line.substr(start));
    }

    std::u16string readPlainToken() {
        const std::size_t start = position;
        std::size_t sectionQuote = std::u16string_view::npos;
        for (; !atEnd(); ++position) {
            const bool inSection = sectionQuote != std::u16string_view::npos;
            if (!inSection && line[position] == space) {
                break;
            }
            if (inSection && !escapedQuoteAt(position) && closesAt(position)) {
                ++position;
                break;
            }
            if (!inSection && line[position] == quote && !escapedQuoteAt(position)) {
                sectionQuote = position - start;
            }
        }
        std::u16string token(line.substr(start, position - start));
        if (sectionQuote != std::u16string_view::npos) {
            cleanQuoteSection(token, sectionQuote);
        }
        return token;
    }

    // The order matters: a closing quote that a backslash escapes stays, and
    // only then do the backslashes before quotes go (a"\"" gives a").
    static void cleanQuoteSection(std::u16string& token, std::size_t sectionQuote) {
        token.erase(sectionQuote, 1);
        const std::size_t n = token.size();
        if (n > 0 && token[n - 1] == quote && (n < 2 || token[n - 2] != backslash)) {
            token.pop_back();
        }
        // Searching again from just before the removed backslash finds what a
        // search from the start would: nothing earlier has changed.
        for (std::size_t i = token.find(u"\\\""); i != std::u16string::npos;
             i = token.find(u"\\\"", i == 0 ? 0 : i - 1)) {
            token.erase(i, 1);
        }
    }

    std::u16string_view line;
    std::size_t position = 0;
};

}  // namespace

void splitCommandLine(const char16_t* commandLine, ArgumentSet& set) {
    if (commandLine == nullptr) {
        return;
    }
    LineScanner(std::u16string_view(commandLine)).appendTokensTo(set.tokens);
}

}  // namespace kestrel
