#include "core/cmdline.h"

namespace ringmere {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // "" makes an empty word, so quotes alone count
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c)) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 < text.size()) {
                // A backslash before a line break joins the lines.
                if (text[i + 1] != '\n') word += text[i + 1];
                i += 2;
            } else {
                word += c;
                ++i;
            }
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            const std::size_t stop = end == std::string_view::npos ? text.size() : end;
            word.append(text.substr(i + 1, stop - i - 1));
            i = end == std::string_view::npos ? text.size() : end + 1;
        } else if (c == '"') {
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    const char next = text[i + 1];
                    if (next == '$' || next == '`' || next == '"' || next == '\\') {
                        word += next;
                        i += 2;
                        continue;
                    }
                    if (next == '\n') {
                        i += 2;
                        continue;
                    }
                }
                word += text[i++];
            }
            if (i < text.size()) ++i;  // the closing quote
        } else {
            word += c;
            ++i;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

}  // namespace ringmere
