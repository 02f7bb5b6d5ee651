// The structure cycle check against a real database: the cases a clerk meets, the depth limit
// in both directions, failures and quoted texts, and a comparison with a plain graph search
// over thousands of random structure sets.
#include "bom/bom_is_safe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/test_database.h"

namespace korvane {
namespace {

// Forwards to the real data service and counts the statements opened.
class CountingData : public DataService {
 public:
  explicit CountingData(DataService& real) : real_(real) {}
  std::unique_ptr<Recordset> Open(Command& command) override {
    ++opened;
    if (throw_on_open) throw std::runtime_error("the connection broke");
    return real_.Open(command);
  }
  bool Execute(Command& command) override { return real_.Execute(command); }
  Variant Scalar(Command& command) override { return real_.Scalar(command); }
  bool BeginTrans() override { return real_.BeginTrans(); }
  bool CommitTrans() override { return real_.CommitTrans(); }
  bool RollbackTrans() override { return real_.RollbackTrans(); }
  std::string LastError() const override { return real_.LastError(); }

  int opened = 0;
  bool throw_on_open = false;

 private:
  DataService& real_;
};

// A structure header and its lines as stored.
struct Header {
  std::int32_t bom = 0;
  std::int32_t product = 0;
  int standard = 1;
  std::optional<std::string> unique_id;                      // nullopt: NULL
  std::vector<std::pair<std::int32_t, std::int32_t>> lines;  // (bommxID, 配件ID)
};

class BomIsSafeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    // The random sets rewrite the tables thousands of times; nothing needs to survive a crash.
    ASSERT_TRUE(db_->Native().Exec("PRAGMA synchronous=OFF", {}, error)) << error;
  }
  void TearDown() override { db_->InjectFailures({}); }

  void Exec(const std::string& sql, const std::vector<Variant>& binds = {}) {
    std::string error;
    ASSERT_TRUE(db_->Native().Exec(sql, binds, error)) << error << " in " << sql;
  }

  // Stores a structure of `product` using `components`; returns the new line ids in order.
  std::vector<std::int32_t> Uses(std::int32_t product, const std::vector<std::int32_t>& components,
                                 int standard = 1, std::optional<std::string> unique_id = {}) {
    Header h{++last_bom_, product, standard, std::move(unique_id), {}};
    for (std::int32_t c : components) h.lines.emplace_back(++last_line_, c);
    Store(h);
    std::vector<std::int32_t> ids;
    for (const auto& line : h.lines) ids.push_back(line.first);
    return ids;
  }
  void Store(const Header& h) {
    Exec(
        "INSERT INTO PDMBOM (bomID, 产品ID, 是否标准, 是否失效, smark, uniqueID) VALUES "
        "(?,?,?,0,'01',?)",
        {h.bom, h.product, h.standard, h.unique_id ? Variant(*h.unique_id) : Variant::MakeNull()});
    for (const auto& [id, component] : h.lines) {
      Exec("INSERT INTO PDMBOMMX (bommxID, bomID, rowindex, 配件ID) VALUES (?,?,'0010',?)",
           {id, h.bom, component});
    }
  }
  // A chain of `levels` structures: each product in `ids` uses the one before it.
  void Chain(const std::vector<std::int32_t>& ids) {
    for (std::size_t i = 1; i < ids.size(); ++i) Uses(ids[i], {ids[i - 1]});
  }
  static std::vector<std::int32_t> Range(std::int32_t first, int count) {
    std::vector<std::int32_t> ids(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) ids[static_cast<std::size_t>(i)] = first + i;
    return ids;
  }

  bool Safe(std::int32_t line, std::int32_t parent, std::int32_t component,
            std::string_view unique_id = "") {
    return mBOMIsSafe::IsDataSafe(line, parent, component, unique_id, data_, dialogs_);
  }

  test::EmptyDatabase file_;
  std::shared_ptr<data::SqliteDataService> db_ = file_.Open();
  CountingData data_{*db_};
  test::FakeDialogs dialogs_;
  std::int32_t last_bom_ = 0;
  std::int32_t last_line_ = 0;
};

// The random comparison below covers the same rules over thousands of sets; these few cases
// pin down the rules themselves, so that a graph search sharing the code's mistake is caught.
TEST_F(BomIsSafeTest, RefusesCyclesAmongTheStructuresThatCountAndJudgesAChangedLineAnew) {
  EXPECT_FALSE(Safe(0, 1, 1)) << "a product as its own component";
  // B (2) uses A (1), C (3) uses B, E (5) uses C, F (7) uses B and C.
  Uses(2, {1});
  Uses(3, {2});
  Uses(5, {3});
  Uses(7, {2, 3});
  EXPECT_FALSE(Safe(0, 1, 3)) << "C stands above A";
  EXPECT_FALSE(Safe(0, 1, 5)) << "E is not above A, but A is among E's components";
  EXPECT_TRUE(Safe(0, 3, 1)) << "C using A again only adds a path";
  EXPECT_TRUE(Safe(0, 8, 7)) << "a diamond is no cycle";

  // 10 uses 11 in line L, and 11 uses 10: a cycle stored before anybody checked.
  const std::int32_t line = Uses(10, {11})[0];
  Uses(11, {10});
  EXPECT_FALSE(Safe(0, 10, 12)) << "10's ancestors never end";
  EXPECT_TRUE(Safe(line, 10, 12)) << "L changed to another component: the cycle is gone";
  EXPECT_FALSE(Safe(line, 10, 11)) << "L kept at 11: 11 uses 10";

  // 21 uses 20 only in a structure that is not standard, of uniqueID plan-7; the database
  // compares texts without ASCII case and trailing blanks. A standard one counts for everybody.
  Uses(21, {20}, 0, "plan-7");
  Uses(21, {20}, 0, std::nullopt);
  EXPECT_TRUE(Safe(0, 20, 21));
  EXPECT_TRUE(Safe(0, 20, 21, "plan-8"));
  EXPECT_FALSE(Safe(0, 20, 21, "PLAN-7 "));
  Uses(22, {20}, 1, "plan-9");
  EXPECT_FALSE(Safe(0, 20, 22));
  EXPECT_TRUE(dialogs_.boxes().empty());
}

TEST_F(BomIsSafeTest, ChainsOfTwelveLevelsOrEndlessOnesAreRefused) {
  // Above the parent: products 100..111 make 11 levels above 100; 200..212 make 12 above 200.
  Chain(Range(100, 12));
  Chain(Range(200, 13));
  EXPECT_TRUE(Safe(0, 100, 1));
  data_.opened = 0;
  EXPECT_FALSE(Safe(0, 200, 1));
  EXPECT_EQ(data_.opened, 12) << "no 13th query";
  EXPECT_TRUE(Safe(last_line_, 200, 1)) << "leaving out the top line leaves 11 levels";

  // Below the component: 300 uses 301 ... uses 311 (11 levels), 400 ... 412 (12 levels).
  auto down11 = Range(300, 12);
  auto down12 = Range(400, 13);
  std::reverse(down11.begin(), down11.end());
  std::reverse(down12.begin(), down12.end());
  Chain(down11);
  Chain(down12);
  EXPECT_TRUE(Safe(0, 1, 300));
  EXPECT_FALSE(Safe(0, 1, 400));
  data_.opened = 0;
  EXPECT_TRUE(Safe(0, 100, 300)) << "both ways at their longest";
  EXPECT_EQ(data_.opened, 24);

  // A stored cycle elsewhere: 2 and 3 use each other, and 2 uses 1 as well.
  Uses(2, {3, 1});
  Uses(3, {2});
  data_.opened = 0;
  EXPECT_FALSE(Safe(0, 1, 9)) << "1's ancestors never end";
  EXPECT_EQ(data_.opened, 12);
  EXPECT_FALSE(Safe(0, 9, 2)) << "2's descendants never end";
  EXPECT_TRUE(Safe(0, 9, 1)) << "1 itself has no components";
  EXPECT_TRUE(dialogs_.boxes().empty());
}

TEST_F(BomIsSafeTest, AWideLevelIsOneQuery) {
  // A parent of 900 components, each a structure of its own using one part.
  std::vector<std::int32_t> components = Range(1000, 900);
  Uses(1, components);
  for (std::int32_t c : components) Uses(c, {5000});
  std::vector<std::int32_t> below;
  EXPECT_TRUE(mBOMIsSafe::LoadAllNext(0, 1, "", data_, dialogs_, below));
  EXPECT_EQ(data_.opened, 3);
  EXPECT_EQ(below.size(), 1u + 900u + 900u) << "duplicates are kept";
  EXPECT_FALSE(Safe(0, 5000, 1));
  EXPECT_TRUE(Safe(0, 5000, 6000));
  EXPECT_TRUE(dialogs_.boxes().empty());
}

TEST_F(BomIsSafeTest, ADatabaseErrorIsShownAndCountsAsUnsafe) {
  dialogs_.QueueAnswer(MsgAnswer::kOk);
  db_->InjectFailures([](std::string_view) { return true; });
  EXPECT_FALSE(Safe(0, 1, 2));
  ASSERT_EQ(dialogs_.boxes().size(), 1u);
  EXPECT_TRUE(dialogs_.boxes()[0].text.starts_with("LoadAllPre::injected failure"))
      << dialogs_.boxes()[0].text;

  // The first query below the component fails: nothing stands above the parent.
  dialogs_.ClearShown();
  dialogs_.QueueAnswer(MsgAnswer::kOk);
  int statements = 0;
  db_->InjectFailures([&statements](std::string_view) { return ++statements == 2; });
  EXPECT_FALSE(Safe(0, 1, 2));
  ASSERT_EQ(dialogs_.boxes().size(), 1u);
  EXPECT_TRUE(dialogs_.boxes()[0].text.starts_with("LoadAllNext::injected failure"))
      << dialogs_.boxes()[0].text;

  // A data service that throws is reported the same way; nothing escapes.
  db_->InjectFailures({});
  dialogs_.ClearShown();
  dialogs_.QueueAnswer(MsgAnswer::kOk);
  data_.throw_on_open = true;
  EXPECT_FALSE(Safe(0, 1, 2));
  ASSERT_EQ(dialogs_.boxes().size(), 1u);
  EXPECT_EQ(dialogs_.boxes()[0].text, "LoadAllPre::the connection broke");
}

TEST_F(BomIsSafeTest, TheUniqueIdReachesTheStatementQuoted) {
  const std::vector<std::string> tricky = {"x' OR '1'='1", "'); DELETE FROM PDMBOMMX; --",
                                           "批次'/*", "a''b"};
  // 2 uses 1 only in a structure whose uniqueID is each tricky text in turn.
  for (const std::string& text : tricky) {
    Exec("DELETE FROM PDMBOM");
    Exec("DELETE FROM PDMBOMMX");
    Uses(2, {1}, 0, text);
    Uses(7, {8}, 0, "other");
    for (const std::string& given : tricky) {
      EXPECT_EQ(Safe(0, 1, 2, given), given != text) << "stored " << text << ", given " << given;
    }
    std::string error;
    auto rows = db_->Native().Query("SELECT count(*) FROM PDMBOMMX", {}, error);
    ASSERT_NE(rows, nullptr) << error;
    EXPECT_EQ(rows->Rows()[0][0].ToLong(), 2) << "the lines are still there";
  }
  EXPECT_TRUE(dialogs_.boxes().empty());
}

// --- Random structure sets against a plain graph search --------------------------------------

// The texts the database compares equal: ASCII case and trailing blanks ignored.
std::string Collated(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return ToUpperAscii(text);
}

struct Model {
  std::vector<Header> headers;

  // The (parent, component) pairs a check with `line` and `unique_id` takes into account.
  std::set<std::pair<std::int32_t, std::int32_t>> Eligible(std::int32_t line,
                                                           const std::string& unique_id) const {
    std::set<std::pair<std::int32_t, std::int32_t>> edges;
    for (const Header& h : headers) {
      const bool counts =
          h.standard == 1 || (h.unique_id && Collated(*h.unique_id) == Collated(unique_id));
      if (!counts) continue;
      for (const auto& [id, component] : h.lines) {
        if (id != line) edges.emplace(h.product, component);
      }
    }
    return edges;
  }

  // Everything reachable within 11 levels; false when the 12th level is not empty.
  // `up`: towards parents. Adds the number of statements the walk needs to `queries`.
  static bool Reach(const std::set<std::pair<std::int32_t, std::int32_t>>& edges,
                    std::int32_t start, bool up, std::set<std::int32_t>& reached, int& queries) {
    std::set<std::int32_t> level{start};
    reached = level;
    for (int depth = 1;; ++depth) {
      ++queries;
      std::set<std::int32_t> next;
      for (const auto& [parent, component] : edges) {
        if (up && level.count(component)) next.insert(parent);
        if (!up && level.count(parent)) next.insert(component);
      }
      if (next.empty()) return true;
      if (depth == 12) return false;
      reached.insert(next.begin(), next.end());
      level = std::move(next);
    }
  }

  bool Safe(std::int32_t line, std::int32_t parent, std::int32_t component,
            const std::string& unique_id, int& queries) const {
    const auto edges = Eligible(line, unique_id);
    std::set<std::int32_t> above, below;
    if (!Reach(edges, parent, true, above, queries)) return false;
    if (above.count(component)) return false;
    if (!Reach(edges, component, false, below, queries)) return false;
    return std::none_of(below.begin(), below.end(), [&](std::int32_t p) { return above.count(p); });
  }

  std::string Describe() const {
    std::ostringstream out;
    for (const Header& h : headers) {
      out << "  bom " << h.bom << ": product " << h.product << " standard " << h.standard
          << " uniqueID " << (h.unique_id ? "'" + *h.unique_id + "'" : "NULL") << " uses";
      for (const auto& [id, component] : h.lines) out << " " << component << " (line " << id << ")";
      out << "\n";
    }
    return out.str();
  }
};

TEST_F(BomIsSafeTest, AgreesWithAGraphSearchOnRandomStructures) {
  constexpr unsigned kSeed = 20261207;
  constexpr int kSets = 4000;
  const std::vector<std::optional<std::string>> stored_ids = {std::nullopt, "", "u1", "U1 ", "u2"};
  const std::vector<std::string> given_ids = {"", "u1", "u2"};
  int unsafe = 0, too_deep = 0;

  for (int set = 0; set < kSets; ++set) {
    std::mt19937 random(kSeed + static_cast<unsigned>(set));
    auto pick = [&random](auto n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Model model;
    std::int32_t bom = 0, line = 0;
    const int kind = pick(4);  // 0, 1: small dense sets; 2: a deep chain; 3: a stored cycle
    const int products = kind == 2 ? 12 + pick(6) : 3 + pick(8);
    auto new_header = [&](std::int32_t product) -> Header& {
      Header h{++bom, product, pick(10) < 7 ? 1 : 0, stored_ids[pick(5)], {}};
      model.headers.push_back(h);
      return model.headers.back();
    };
    if (kind == 2) {
      // A chain 1 <- 2 <- ... with the odd short cut or side branch.
      for (std::int32_t p = 2; p <= products; ++p) {
        new_header(p).lines.emplace_back(++line, p - 1);
        if (pick(4) == 0) model.headers.back().lines.emplace_back(++line, 1 + pick(products));
      }
    } else {
      const int edges = pick(products * 2);
      for (int e = 0; e < edges; ++e) {
        const std::int32_t parent = 1 + pick(products);
        std::int32_t component = 1 + pick(products);
        if (kind != 3) {
          // Mostly downward edges (diamonds), now and then one back up (a cycle).
          if (pick(5) != 0 && component <= parent) component = parent + 1 + pick(3);
        }
        Header* h = nullptr;
        for (Header& existing : model.headers) {
          if (existing.product == parent && pick(2) == 0) h = &existing;
        }
        if (h == nullptr) h = &new_header(parent);
        h->lines.emplace_back(++line, component);
      }
    }

    Exec("BEGIN");
    Exec("DELETE FROM PDMBOM");
    Exec("DELETE FROM PDMBOMMX");
    for (const Header& h : model.headers) Store(h);
    Exec("COMMIT");

    for (int check = 0; check < 2; ++check) {
      std::int32_t excluded = pick(3) == 0 ? -pick(2) : 0;
      std::int32_t parent = 1 + pick(products + 2);
      std::int32_t component = pick(8) == 0 ? parent : 1 + pick(products + 2);
      if (excluded == 0 && !model.headers.empty() && pick(2) == 0) {
        // A stored line changed: its parent stays, its component is new.
        const Header& h = model.headers[static_cast<std::size_t>(pick(model.headers.size()))];
        excluded = h.lines[static_cast<std::size_t>(pick(h.lines.size()))].first;
        parent = h.product;
      }
      const std::string& given = given_ids[pick(3)];
      int expected_queries = 0;
      const bool expected = model.Safe(excluded, parent, component, given, expected_queries);
      data_.opened = 0;
      const bool actual = Safe(excluded, parent, component, given);
      ASSERT_EQ(actual, expected) << "seed " << kSeed << " + set " << set << ": line " << excluded
                                  << ", parent " << parent << " uses " << component
                                  << ", uniqueID '" << given << "'\n"
                                  << model.Describe();
      ASSERT_EQ(data_.opened, expected_queries) << "seed " << kSeed << " + set " << set;
      ASSERT_LE(data_.opened, 24);
      unsafe += expected ? 0 : 1;
      too_deep += expected_queries >= 12 && !expected ? 1 : 0;
    }
  }
  ASSERT_TRUE(dialogs_.boxes().empty());
  // The sets reach every verdict often enough to mean something.
  EXPECT_GT(unsafe, kSets / 5);
  EXPECT_LT(unsafe, kSets * 2 - kSets / 5);
  EXPECT_GT(too_deep, kSets / 50);
}

}  // namespace
}  // namespace korvane
