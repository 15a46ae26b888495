#pragma once
// Values of a live result as they are written into the statements that change its table.

#include <string>

#include "db/Variant.h"

struct TmySQLField;

// Where a literal goes: a WHERE condition, or a SET assignment / INSERT value (where SET
// columns become their bit sums and blob values may be written).
enum class LiteralUse { Condition, Assignment };

// The literal of a non-null value of field, written the same whatever the regional settings:
// text escaped between single quotes (up to its first NUL byte), dates and times in
// 'yyyy-mm-dd hh:nn:ss' forms, booleans as a letter taken from the column's allowed values,
// numbers in decimal with "." as separator. A blob or memo value is written only as an
// assignment (EmySQLException 1001 "Image size exceeds maximum blob field size" when longer
// than the declared length); in a condition a memo is written as text and a blob gives ""
// (no literal).
std::string FieldLiteral(const TmySQLField& field, const Variant& value, LiteralUse use);
