#pragma once
// Statement-text handling of the query component: comment cleaning, the parameter scan,
// substitution of parameter values and their rendering.

#include <string>
#include <string_view>

class TParam;
class TParams;

// Removes the first /* */ comment (unless it is /*!) and, in every line but the last,
// everything from "--" and then from "#" to the end of the line.
std::string CleanComments(const std::string& text);
// Replaces every ":name" marker outside quotes by "?" and "::" by ":"; with created set,
// appends one parameter per marker to it.
std::string ScanParams(const std::string& text, TParams* created);
// Puts the rendered parameter values in place of the markers of text (runs of spaces and
// tabs between tokens become one space, quoted literals stay as they are). Raises
// "Parameter '%s' not found" through params.
std::string SubstituteParams(const std::string& text, const TParams& params);
// Text of one parameter value inside a statement.
std::string RenderParam(const TParam& param);
// A text value escaped for use between single quotes in a statement, exactly as string
// parameters are escaped (backslash before NUL, tab, LF, CR, both quotes and backslash).
std::string EscapeText(std::string_view text);
// One name part for a statement: back-quoted (a back quote inside doubled) when the server
// takes back quotes.
std::string QuoteIdentifier(const std::string& name);
// The table named after the first FROM of a statement, back-quoted as above; "" when none.
std::string TableNameOfStatement(const std::string& sql);
