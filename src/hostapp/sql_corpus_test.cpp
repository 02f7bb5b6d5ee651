// Runs every statement of sql_corpus.txt (the texts the modules send, with demo values spliced
// in) through the embedded database's data service, on a copy of the demo factory, and checks
// the rows where the corpus states them. Header SELECTs go through the reference host's record
// navigator together with the conditions the documents hand it. Each entry is its own test, so a
// failing statement is reported by its name together with its SQLite translation.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "data/sqlite_data_service.h"
#include "data/tsql_translator.h"
#include "host/data_service.h"
#include "host/host_context.h"
#include "hostapp/db_procedures.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane {
namespace {

// --- The corpus file -----------------------------------------------------------------------

struct CorpusEntry {
  std::string name;
  int line = 0;  // of the "==" line, for messages
  std::string text;
  std::optional<long> rows;
  std::vector<std::vector<std::string>> row_prefixes;
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::string> fields;
  std::string then;
  // Header SELECTs handed to the record navigator.
  std::string navigate_key;
  std::string navigate_mode;  // "last" or "find"
  std::string where;
  std::string and_condition;

  bool HasExpectations() const {
    return rows.has_value() || !row_prefixes.empty() || !values.empty() || !fields.empty();
  }
};

struct Corpus {
  std::vector<CorpusEntry> entries;
  std::vector<std::string> problems;  // malformed lines; the corpus must have none
};

std::string CorpusPath() {
  return (std::filesystem::path(__FILE__).parent_path() / "sql_corpus.txt").string();
}

std::vector<std::string> SplitCells(std::string_view text) {
  std::vector<std::string> cells;
  for (const std::string& cell : Split(std::string(text), '|')) cells.push_back(Trim(cell));
  return cells;
}

Corpus ParseCorpus(const std::string& content) {
  Corpus corpus;
  std::set<std::string> names;
  int line_number = 0;
  auto problem = [&](const std::string& what) {
    corpus.problems.push_back("line " + std::to_string(line_number) + ": " + what);
  };
  std::istringstream in(content);
  for (std::string text; std::getline(in, text);) {
    ++line_number;
    std::string_view line = text;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with('#')) continue;
    if (line.starts_with("== ")) {
      CorpusEntry& next = corpus.entries.emplace_back();
      next.name = Trim(line.substr(3));
      next.line = line_number;
      if (next.name.empty()) problem("an entry without a name");
      if (!names.insert(next.name).second) problem("duplicate entry name " + next.name);
      continue;
    }
    if (corpus.entries.empty()) {
      if (!Trim(line).empty()) problem("text outside an entry");
      continue;
    }
    CorpusEntry& entry = corpus.entries.back();
    if (!line.starts_with('@')) {
      if (Trim(line).empty() && entry.text.empty()) continue;
      if (!entry.text.empty()) entry.text += '\n';
      entry.text += line;
      continue;
    }
    const std::size_t blank = line.find(' ');
    const std::string_view directive = line.substr(0, blank);
    const std::string arg(blank == std::string_view::npos ? "" : line.substr(blank + 1));
    const std::size_t split = arg.find(directive == "@value" ? '=' : ' ');
    if (directive == "@rows") {
      char* stop = nullptr;
      const long n = std::strtol(arg.c_str(), &stop, 10);
      if (arg.empty() || *stop != '\0' || n < 0) problem("@rows needs a count");
      entry.rows = n;
    } else if (directive == "@row") {
      entry.row_prefixes.push_back(SplitCells(arg));
    } else if (directive == "@value") {
      if (split == std::string::npos) problem("@value needs FIELD = value");
      if (split != std::string::npos) {
        entry.values.emplace_back(Trim(arg.substr(0, split)), Trim(arg.substr(split + 1)));
      }
    } else if (directive == "@fields") {
      entry.fields = SplitCells(arg);
    } else if (directive == "@navigate") {
      entry.navigate_key = Trim(arg.substr(0, split));
      entry.navigate_mode = split == std::string::npos ? "" : Trim(arg.substr(split + 1));
      if (entry.navigate_mode != "last" && entry.navigate_mode != "find") {
        problem("@navigate needs a key column and last or find");
      }
    } else if (directive == "@then") {
      entry.then = arg;
    } else if (directive == "@where") {
      entry.where = arg;
    } else if (directive == "@and") {
      entry.and_condition = arg;
    } else {
      problem("unknown directive " + std::string(directive));
    }
  }
  for (CorpusEntry& e : corpus.entries) {
    while (e.text.ends_with('\n')) e.text.pop_back();
    line_number = e.line;
    if (Trim(e.text).empty()) problem(e.name + " has no statement");
    if (e.navigate_key.empty() && (!e.where.empty() || !e.and_condition.empty())) {
      problem(e.name + ": @where and @and belong to @navigate entries");
    }
    if (!e.navigate_key.empty() && !e.then.empty()) {
      problem(e.name + ": a navigator entry cannot have @then");
    }
    if (e.navigate_mode == "last" && !e.and_condition.empty()) {
      problem(e.name + ": @and belongs to find");
    }
  }
  return corpus;
}

const Corpus& LoadedCorpus() {
  static const Corpus corpus = [] {
    std::ifstream in(CorpusPath(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    Corpus parsed = ParseCorpus(content.str());
    if (!in) parsed.problems.push_back("cannot read " + CorpusPath());
    return parsed;
  }();
  return corpus;
}

// Test names allow letters, digits and underscores only.
std::string TestName(std::string_view entry_name) {
  std::string name;
  for (const char c : entry_name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// --- Comparing values ----------------------------------------------------------------------

std::string Shown(const Variant& v) {
  switch (v.type()) {
    case VarType::kNull:
      return "NULL";
    case VarType::kBoolean:
      return v.boolean() ? "1" : "0";
    default:
      return v.ToText();
  }
}

std::optional<double> AsNumber(std::string_view text) {
  const std::string s(Trim(text));
  if (s.empty()) return std::nullopt;
  char* stop = nullptr;
  const double d = std::strtod(s.c_str(), &stop);
  if (*stop != '\0') return std::nullopt;
  return d;
}

// A number (or flag) the database returned is compared by value; anything else as shown.
bool Matches(const Variant& actual, const std::string& expected) {
  if (expected == "NULL") return actual.IsNull();
  if (actual.IsNumber() || actual.type() == VarType::kBoolean) {
    const std::optional<double> want = AsNumber(expected);
    if (!want) return false;
    // A flag reads 1 or 0 as stored, not the host's -1 for true.
    const double got =
        actual.type() == VarType::kBoolean ? (actual.boolean() ? 1.0 : 0.0) : actual.ToDouble();
    return std::fabs(got - *want) <= 1e-9 * std::max(1.0, std::fabs(*want));
  }
  return Shown(actual) == expected;
}

// The fields, the row count and the first rows, for a failure's message.
std::string Described(const Recordset& rs) {
  std::string text = "fields:";
  for (const FieldInfo& f : rs.Fields()) text += " " + f.name;
  text += "\nrows: " + std::to_string(rs.RecordCount());
  for (std::size_t r = 0; r < rs.Rows().size() && r < 5; ++r) {
    text += "\n ";
    for (const Variant& value : rs.Rows()[r]) text += " | " + Shown(value);
  }
  return text;
}

void CheckResult(const CorpusEntry& e, const Recordset& rs) {
  SCOPED_TRACE(Described(rs));
  if (e.rows) {
    EXPECT_EQ(rs.RecordCount(), *e.rows) << "row count";
  }
  for (const std::string& field : e.fields) {
    EXPECT_TRUE(rs.FieldIndex(field).has_value()) << "no field " << field;
  }
  for (std::size_t r = 0; r < e.row_prefixes.size(); ++r) {
    const std::vector<std::string>& want = e.row_prefixes[r];
    ASSERT_LT(r, rs.Rows().size()) << "row " << r + 1 << " missing";
    const Recordset::Row& got = rs.Rows()[r];
    ASSERT_LE(want.size(), got.size()) << "row " << r + 1 << " has fewer values than expected";
    for (std::size_t c = 0; c < want.size(); ++c) {
      EXPECT_TRUE(Matches(got[c], want[c]))
          << "row " << r + 1 << " value " << c + 1 << " (" << rs.Field(static_cast<int>(c)).name
          << "): expected " << want[c] << ", got " << Shown(got[c]);
    }
  }
  if (!e.values.empty()) {
    ASSERT_GT(rs.RecordCount(), 0) << "no row to read values from";
    for (const auto& [field, want] : e.values) {
      const std::optional<int> index = rs.FieldIndex(field);
      ASSERT_TRUE(index.has_value()) << "no field " << field;
      const Variant& got = rs.Rows().front()[static_cast<std::size_t>(*index)];
      EXPECT_TRUE(Matches(got, want)) << field << ": expected " << want << ", got " << Shown(got);
    }
  }
}

// --- The database --------------------------------------------------------------------------

// One demo database for the whole run: statements run on `db`, header SELECTs go through a
// reference host opened on the same file. Every entry rolls its writes back.
class CorpusDatabase {
  // Declared first so that the file outlives the connections to it.
  test::DemoDatabase demo_;

 public:
  static CorpusDatabase& Get() {
    static CorpusDatabase instance;
    return instance;
  }

  std::shared_ptr<data::SqliteDataService> db;
  std::shared_ptr<hostapp::ReferenceHost> host;
  std::string error;

 private:
  CorpusDatabase() {
    db = demo_.Open();
    if (db == nullptr) {
      error = "cannot open the demo database";
      return;
    }
    if (!hostapp::RegisterDatabaseObjects(*db, error)) {
      db = nullptr;
      return;
    }
    hostapp::ReferenceHostOptions options;
    options.database_path = demo_.path();
    options.local_folder = (std::filesystem::path(demo_.path()).parent_path() / "user").string();
    std::string host_error;
    host = hostapp::ReferenceHost::Open(options, nullptr, host_error);
    if (host == nullptr) error = "reference host: " + host_error;
  }
};

bool IsQuery(std::string_view text) {
  const std::string head = ToUpperAscii(Trim(text.substr(0, 16)));
  return head.starts_with("SELECT");
}

std::string TranslationOf(const std::string& text, data::SqliteDataService& db) {
  const data::Translation t = data::TranslateTsql(text, db.catalog());
  if (!t.ok()) return "(not translated: " + t.error + ")";
  std::string joined;
  for (const std::string& s : t.statements) joined += s + ";\n";
  return joined;
}

// Each entry, by its index in the corpus.
class SqlCorpusTest : public testing::TestWithParam<std::size_t> {};

void RunThroughNavigator(const CorpusEntry& e, CorpusDatabase& base) {
  ASSERT_NE(base.host, nullptr) << base.error;
  std::unique_ptr<RecordNavigator> navigator = base.host->CreateRecordNavigator();
  ASSERT_NE(navigator, nullptr);
  NavigatorAnswer answer =
      e.navigate_mode == "find"
          ? navigator->FindFirst(e.text, e.where, e.and_condition, e.navigate_key)
          : navigator->Navigate(e.text, e.where, NavigationMode::kLast, 0, e.navigate_key);
  ASSERT_TRUE(answer.error.empty()) << answer.error;
  if (!e.HasExpectations()) return;
  const Recordset none;
  CheckResult(e, answer.rows != nullptr ? *answer.rows : none);
}

void RunThroughDataService(const CorpusEntry& e, data::SqliteDataService& db) {
  ASSERT_TRUE(db.BeginTrans()) << db.LastError();
  struct Rollback {
    data::SqliteDataService& db;
    ~Rollback() {
      if (db.InTransaction()) db.RollbackTrans();
    }
  } rollback{db};
  Command command{e.text, CommandType::kText, {}};
  std::unique_ptr<Recordset> rs;
  if (IsQuery(e.text)) {
    rs = db.Open(command);
    ASSERT_TRUE(rs != nullptr && db.LastError().empty()) << db.LastError();
  } else {
    ASSERT_TRUE(db.Execute(command) && db.LastError().empty()) << db.LastError();
  }
  if (!e.then.empty()) {
    SCOPED_TRACE("after: " + e.then);
    Command check{e.then, CommandType::kText, {}};
    rs = db.Open(check);
    ASSERT_TRUE(rs != nullptr && db.LastError().empty()) << db.LastError();
  }
  if (e.HasExpectations()) {
    ASSERT_NE(rs, nullptr) << "a write has nothing to compare without @then";
    CheckResult(e, *rs);
  }
}

TEST_P(SqlCorpusTest, Runs) {
  const CorpusEntry* entry = &LoadedCorpus().entries.at(GetParam());
  CorpusDatabase& base = CorpusDatabase::Get();
  ASSERT_NE(base.db, nullptr) << base.error;
  SCOPED_TRACE(CorpusPath() + ":" + std::to_string(entry->line) + "\n" + entry->text +
               "\ntranslated:\n" + TranslationOf(entry->text, *base.db));
  if (!entry->navigate_key.empty()) {
    RunThroughNavigator(*entry, base);
  } else {
    RunThroughDataService(*entry, *base.db);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, SqlCorpusTest,
                         testing::Range<std::size_t>(0, LoadedCorpus().entries.size()),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           return TestName(LoadedCorpus().entries[info.param].name);
                         });

// What a caller sees of a statement's outcome: the error text, or the fields and every value
// with its type (doubles to the last bit).
std::string Outcome(data::SqliteDataService& db, const std::string& text) {
  Command command{text, CommandType::kText, {}};
  const std::unique_ptr<Recordset> rows = db.Open(command);
  if (rows == nullptr) return "error: " + db.LastError();
  std::ostringstream out;
  out.precision(17);
  for (int f = 0; f < rows->FieldCount(); ++f) {
    out << rows->Field(f).name << ":" << rows->Field(f).type << " ";
  }
  for (const Recordset::Row& row : rows->Rows()) {
    out << "\n";
    for (const Variant& v : row) {
      out << static_cast<int>(v.type()) << "=";
      if (v.type() == VarType::kDouble) {
        out << v.real();
      } else {
        out << v.ToText();
      }
      out << " | ";
    }
  }
  return out.str();
}

// Every statement of the corpus (and its @then) answers the same with the literal-shape cache
// on as with it off, the second time from the cache as the first.
TEST(SqlCorpusShapeTest, EveryEntryAnswersAlikeWithTheShapeCacheOnAndOff) {
  test::DemoDatabase demo;
  data::SqliteOptions on_options;
  on_options.shape_cache = true;
  data::SqliteOptions off_options;
  off_options.shape_cache = false;
  const auto on = demo.Open(on_options);
  const auto off = demo.Open(off_options);
  ASSERT_NE(on, nullptr);
  ASSERT_NE(off, nullptr);
  std::string error;
  ASSERT_TRUE(hostapp::RegisterDatabaseObjects(*on, error)) << error;
  ASSERT_TRUE(hostapp::RegisterDatabaseObjects(*off, error)) << error;
  const auto run = [](data::SqliteDataService& db, const CorpusEntry& e) {
    EXPECT_TRUE(db.BeginTrans()) << db.LastError();
    std::string answer = Outcome(db, e.text);
    if (!e.then.empty()) answer += "\nthen: " + Outcome(db, e.then);
    db.RollbackTrans();
    return answer;
  };
  std::size_t compared = 0;
  for (const CorpusEntry& e : LoadedCorpus().entries) {
    SCOPED_TRACE(e.name + "\n" + e.text);
    const std::string plain = run(*off, e);
    EXPECT_EQ(run(*on, e), plain);
    EXPECT_EQ(run(*on, e), plain) << "from the cache";
    ++compared;
  }
  EXPECT_GE(compared, 100U);
  EXPECT_GT(on->Statistics().shaped, compared) << "the shape cache served the corpus";
  EXPECT_FALSE(off->ShapeCacheOn());
}

// The corpus itself: readable, every line understood, names usable as test names, and enough
// entries state their rows for the run to check meaning, not only that statements execute.
TEST(SqlCorpusFileTest, IsWellFormed) {
  const Corpus& corpus = LoadedCorpus();
  for (const std::string& p : corpus.problems) ADD_FAILURE() << p;
  EXPECT_GE(corpus.entries.size(), 100u);
  std::set<std::string> test_names;
  int with_results = 0;
  for (const CorpusEntry& e : corpus.entries) {
    EXPECT_TRUE(test_names.insert(TestName(e.name)).second)
        << e.name << " clashes with another entry once made a test name";
    if (e.HasExpectations()) ++with_results;
  }
  EXPECT_GE(with_results, 15);
}

// What the corpus states compares by kind: a check that matched anything would check nothing.
TEST(SqlCorpusFileTest, ValuesCompareByKind) {
  EXPECT_TRUE(Matches(Variant(10.0), "10"));
  EXPECT_TRUE(Matches(Variant(0.1 + 0.2), "0.3"));
  EXPECT_FALSE(Matches(Variant(10.5), "10"));
  EXPECT_TRUE(Matches(Variant::MakeNull(), "NULL"));
  EXPECT_FALSE(Matches(Variant(""), "NULL"));
  // A code is text: "0010" is not the number 10.
  EXPECT_FALSE(Matches(Variant("0010"), "10"));
  EXPECT_FALSE(Matches(Variant(true), "0"));
  EXPECT_TRUE(Matches(
      Variant(std::chrono::year_month_day(std::chrono::year{2026} / std::chrono::March / 12)),
      "2026-03-12"));
}

}  // namespace
}  // namespace korvane
