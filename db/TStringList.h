#pragma once
// A list of text lines with key=value access (keys compared without regard to case) and
// change hooks: OnChanging may throw to refuse a change, OnChange runs after each change.

#include <functional>
#include <string>
#include <vector>

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> lines) : m_lines(lines) {}
    TStringList(const TStringList& other) : m_lines(other.m_lines) {}  // hooks are not copied
    TStringList& operator=(const TStringList& other);                  // replaces the lines, fires the hooks

    int Count() const { return static_cast<int>(m_lines.size()); }
    // Positions outside 0..Count()-1 raise EListError "List index out of bounds (%d)".
    const std::string& operator[](int i) const;
    const std::vector<std::string>& Lines() const { return m_lines; }

    void Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Set(int index, std::string line);
    void Clear();
    void Assign(const std::vector<std::string>& lines);

    // Lines joined with CR LF after every line, the last one included.
    std::string Text() const;
    // Replaces the lines by the text split at CR LF, LF or CR (a final break adds no line).
    void SetText(const std::string& text);

    // key=value access. Values returns "" for a missing key; SetValue with an empty value
    // deletes the line.
    int IndexOfName(const std::string& key) const;
    std::string Values(const std::string& key) const;
    void SetValue(const std::string& key, const std::string& value);
    static std::string NameOf(const std::string& line);
    // The text split at CR LF, LF or CR (a final break adds no line).
    static std::vector<std::string> SplitLines(const std::string& text);
    static std::string ValueOf(const std::string& line);

    std::function<void()> OnChanging;
    std::function<void()> OnChange;

private:
    std::vector<std::string> m_lines;
    void changing()
    {
        if (OnChanging) OnChanging();
    }
    void changed()
    {
        if (OnChange) OnChange();
    }
};
