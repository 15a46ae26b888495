#include "db/TStringList.h"

#include "db/DbErrors.h"
#include "db/DbInternal.h"

TStringList& TStringList::operator=(const TStringList& other) {
    if (this != &other) Assign(other.m_lines);
    return *this;
}

void TStringList::Add(std::string line) {
    changing();
    m_lines.push_back(std::move(line));
    changed();
}

namespace {
[[noreturn]] void indexOutOfBounds(int index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
} // namespace

const std::string& TStringList::operator[](int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_lines.size()) indexOutOfBounds(index);
    return m_lines[static_cast<size_t>(index)];
}

void TStringList::Insert(int index, std::string line) {
    if (index < 0 || static_cast<size_t>(index) > m_lines.size()) indexOutOfBounds(index);
    changing();
    m_lines.insert(m_lines.begin() + index, std::move(line));
    changed();
}

void TStringList::Delete(int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_lines.size()) indexOutOfBounds(index);
    changing();
    m_lines.erase(m_lines.begin() + index);
    changed();
}

void TStringList::Set(int index, std::string line) {
    if (index < 0 || static_cast<size_t>(index) >= m_lines.size()) indexOutOfBounds(index);
    changing();
    m_lines[static_cast<size_t>(index)] = std::move(line);
    changed();
}

void TStringList::Clear() {
    changing();
    m_lines.clear();
    changed();
}

void TStringList::Assign(const std::vector<std::string>& lines) {
    changing();
    m_lines = lines;
    changed();
}

std::string TStringList::Text() const {
    size_t size = 0;
    for (const auto& l : m_lines)
        size += l.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& l : m_lines) {
        text += l;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> TStringList::SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text, start, i - start);
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text, start, std::string::npos);
    return lines;
}

void TStringList::SetText(const std::string& text) {
    Assign(SplitLines(text));
}

std::string TStringList::NameOf(const std::string& line) {
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStringList::ValueOf(const std::string& line) {
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

int TStringList::IndexOfName(const std::string& key) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        size_t eq = m_lines[i].find('=');
        if (eq != std::string::npos && sameText(std::string_view(m_lines[i]).substr(0, eq), key))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Values(const std::string& key) const {
    int i = IndexOfName(key);
    return i < 0 ? std::string() : ValueOf(m_lines[i]);
}

void TStringList::SetValue(const std::string& key, const std::string& value) {
    int i = IndexOfName(key);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i < 0) {
        Add(key + "=" + value);
    } else {
        Set(i, key + "=" + value);
    }
}
