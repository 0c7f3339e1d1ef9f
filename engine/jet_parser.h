// Parser of Jet SQL: statements (SELECT, INSERT, UPDATE, DELETE, the DDL, PARAMETERS) and
// expressions (criteria of Filter and the Find methods). Syntax errors raise the DAO syntax
// errors (3075 in expressions, 3131 in FROM, 3290 in DDL, 3129/3142 for statements) with a
// message that shows the text concerned. Neither parsing nor the trees it builds recurse per
// term of a chain, and nesting is limited, so no text can exhaust the stack.
#pragma once

#include <string>

#include "engine/jet_ast.h"

namespace engine {

// How deeply expressions may nest (parentheses, function calls, prefix operators such as NOT,
// subqueries); deeper texts are refused with a syntax error. Chains of operators (a AND b AND
// ...) do not nest and have no limit.
constexpr int kMaxNesting = 100;

// Parses one statement; a trailing ";" is allowed.
JetStatement ParseStatement(const std::string& sql);
// Parses a criteria expression (the whole text).
ExprPtr ParseExpression(const std::string& text);
// Parses a Sort text: expressions with ASC or DESC, separated by commas.
std::vector<OrderItem> ParseOrderList(const std::string& text);
// Parses a DAO date literal body (mm/dd/yyyy [hh:nn[:ss] [AM|PM]], yyyy-mm-dd, hh:nn:ss).
bool ParseJetDate(const std::string& body, double& result);
// A statement or expression quoted for a message; one longer than 200 bytes is cut there (at a
// character boundary) and ends in "...", so that a huge text does not make a huge message.
std::string QuotedText(const std::string& text);
// The DAO type code of a Jet type name (LONG, TEXT ...), or 0.
int JetTypeCode(const std::string& name, bool& counter);

}  // namespace engine
