#include "persist/CsvText.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace corvinta {

char UserListSeparator()
{
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (!user)
        return ',';
    const char* decimal = nl_langinfo_l(RADIXCHAR, user);
    const char separator = decimal && std::strcmp(decimal, ",") == 0 ? ';' : ',';
    freelocale(user);
    return separator;
}

bool CCsvLineReader::Next(std::string& line)
{
    line.clear();
    if (failed_)
        return false;
    bool any = false;
    for (int c; (c = std::fgetc(file_)) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        line += static_cast<char>(c);
        // One more than the limit may be a CR that ends the line.
        if (line.size() > kMaxLine + 1) {
            failed_ = true;
            line.clear();
            return false;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (first_ && line.starts_with("\xEF\xBB\xBF"))
        line.erase(0, 3);
    first_ = false;
    if (line.size() > kMaxLine) {
        failed_ = true;
        line.clear();
        return false;
    }
    return any;
}

std::string CellName(std::string_view label)
{
    const char* space = " \t\r\n\f\v";
    const size_t first = label.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    const size_t last = label.find_last_not_of(space);
    std::string name(label.substr(first, last - first + 1));
    for (char& c : name)
        if (c == '\n' || c == '\r')
            c = ' ';
    return name;
}

void RemoveAll(std::string& text, char c) { std::erase(text, c); }

std::vector<std::string> SplitFields(std::string_view line, char separator)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = line.find(separator, start);
        fields.emplace_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return fields;
        start = end + 1;
    }
}

} // namespace corvinta
