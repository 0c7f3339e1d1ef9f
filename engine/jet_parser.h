// Parser of Jet SQL: statements (SELECT, INSERT, UPDATE, DELETE, the DDL, PARAMETERS) and
// expressions (criteria of Filter and the Find methods). Syntax errors raise the DAO syntax
// errors (3075 in expressions, 3131 in FROM, 3290 in DDL, 3129/3142 for statements) with a
// message that shows the text concerned. Neither parsing nor the trees it builds recurse per
// term of a chain, and nesting is limited, so no text can exhaust the stack.
#pragma once

#include <string>

#include "engine/jet_ast.h"
#include "engine/sqlite_connection.h"

namespace engine {

// How deeply expressions may nest (parentheses, function calls, prefix operators such as NOT;
// a subquery counts five); deeper texts are refused with a syntax error. Chains of operators
// (a AND b AND ...) do not nest and have no limit.
constexpr int kMaxNesting = 100;

// Parses one statement; a trailing ";" is allowed.
JetStatement ParseStatement(const std::string& sql);
// Parses a criteria expression (the whole text).
ExprPtr ParseExpression(const std::string& text);
// The shape of a criteria text: its tokens with every number and text literal replaced by a
// marker, and those literals' values in order, as the parser reads them. Texts of one shape parse
// to the same tree but for those values. False for a text with other literals (dates, GUIDs) or
// one that does not lex.
bool LiteralShape(const std::string& text, std::string& shape, std::vector<Cell>& literals);
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
