// Literal shapes: statements that differ only in their number and text literals share one
// translation, in which those literals are bound values ("?1", "?2", ...) instead of text, so
// that SQLite compiles the statement once and runs it again with other values.
//
// A literal whose value decides how the statement is translated or what SQLite makes of it is
// part of the shape and stays in the text: a TOP count, the length of a CONVERT type and its
// style, a date part, a column alias, a literal in ORDER BY or GROUP BY (a number there names a
// column), a literal in a select-list item that has no alias (its text names the column), and
// a literal that is not plainly an operand (after a name, touching another word). Every new
// shape is checked against the plain translation of its first statement; a shape that does not
// give the very same text is not served, and its statements take the plain path.
#ifndef KORVANE_DATA_TSQL_SHAPE_H_
#define KORVANE_DATA_TSQL_SHAPE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/schema_catalog.h"

namespace korvane::data {

// A batch's literals and its shape: the text with each literal replaced by a mark.
struct LiteralShape {
  struct Literal {
    std::string_view text;  // as written, quotes (and an N before them) included
    bool is_text = false;   // a text literal; otherwise a number
    bool pinned = false;    // part of the shape by where it stands
  };
  std::string key;
  std::vector<Literal> literals;
};

// Reads the shape of `batch`. False when the batch cannot be served by shape (it does not
// tokenize, holds '?' markers or variables, or the bytes the marks use): it then takes the
// plain path, which also reports its errors.
bool ReadLiteralShape(std::string_view batch, LiteralShape& shape);

// The SQL text a literal stands for in a statement: a text without its N prefix.
std::string_view LiteralSql(const LiteralShape::Literal& literal);
// The value a text literal stands for: its inner text with doubled quotes single.
std::string LiteralTextValue(const LiteralShape::Literal& literal);

// One statement of a shaped translation.
struct ShapedStatement {
  std::string sql;                    // with "?1", "?2", ... where literals were
  std::vector<std::size_t> literals;  // the literal (index into LiteralShape::literals) of ?k
  std::vector<std::string> pieces;    // `sql` cut at the markers: literals.size() + 1 pieces
  // Whether ?k stands after a minus. SQLite negates a number literal itself but subtracts a
  // value from zero, which for a zero double gives 0 instead of -0: such a statement with a
  // zero takes the plain path.
  std::vector<char> after_minus;
  // The statement with the literals written back: what the plain translation gives.
  std::string Plain(const LiteralShape& shape) const;
};

struct ShapedTranslation {
  std::vector<ShapedStatement> statements;
};

// Translates `batch` with its literals as bound values; nullptr when the shape cannot be
// served (see above) or the batch does not translate.
std::shared_ptr<const ShapedTranslation> TranslateShape(std::string_view batch, LiteralShape& shape,
                                                        const SchemaCatalog& catalog);

// Shaped translations remembered by shape (and by the values of the literals that are part of
// it). Entries made against an older catalog generation are translated again; shapes that
// cannot be served are remembered too, so that their statements go the plain way at once.
// Not thread-safe: one cache serves one connection.
class ShapeCache {
 public:
  explicit ShapeCache(std::size_t capacity = 4096) : capacity_(capacity) {}
  // The shaped translation of `batch`, whose shape `shape` holds; nullptr: take the plain
  // path.
  std::shared_ptr<const ShapedTranslation> Get(std::string_view batch, LiteralShape& shape,
                                               const SchemaCatalog& catalog);
  void Clear();
  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::uint64_t generation = 0;
    // The literals (by index) that a translation of this shape pinned besides those pinned by
    // where they stand, and the translations by the values of all pinned literals.
    std::vector<std::size_t> pinned;
    std::unordered_map<std::string, std::shared_ptr<const ShapedTranslation>> by_values;
  };
  std::size_t capacity_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace korvane::data

#endif  // KORVANE_DATA_TSQL_SHAPE_H_
