// The demo factory and the bulk generator, checked on real database files: integrity, the
// schema's conventions, and the facts about the data that the modules' own tests rely on.
#include "hostapp/demo_data.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "data/schema.h"
#include "hostapp/test_database.h"
#include "records/cls_cpml.h"
#include "records/cls_gy.h"

namespace korvane::hostapp {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every row of a query as texts (NULL as "<null>"); fails the test on an error.
Rows Query(sqlite3* db, const std::string& sql) {
  Rows rows;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db) << " in: " << sql;
    return rows;
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const auto* text = sqlite3_column_text(stmt, i);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

std::int64_t Int(sqlite3* db, const std::string& sql) {
  const Rows rows = Query(db, sql);
  return rows.empty() || rows[0].empty() ? -1 : std::stoll(rows[0][0]);
}

std::vector<std::string> Names(sqlite3* db, const char* type) {
  std::vector<std::string> names;
  for (const auto& row : Query(db, std::string("SELECT name FROM sqlite_schema WHERE type='") +
                                       type + "' AND name NOT LIKE 'sqlite_%' ORDER BY name")) {
    names.push_back(row[0]);
  }
  return names;
}

// Product -> its components in the structure the modules use: the highest bomID with sMark
// '02', 是否失效 0 or empty and 是否标准 1. Computed here without that rule's SQL, so that
// the data and the rule are checked against each other.
std::map<std::int64_t, std::vector<std::int64_t>> StandardStructures(sqlite3* db) {
  std::map<std::int64_t, std::int64_t> standard;
  for (const auto& row : Query(db, "SELECT 产品ID, bomID, smark, 是否失效, 是否标准 FROM PDMBOM")) {
    const bool usable = row[2] == "02" && (row[3] == "<null>" || row[3] == "0") && row[4] == "1";
    if (!usable) continue;
    auto& best = standard[std::stoll(row[0])];
    best = std::max<std::int64_t>(best, std::stoll(row[1]));
  }
  std::map<std::int64_t, std::int64_t> product_of_bom;
  for (const auto& [product, bom] : standard) product_of_bom[bom] = product;
  std::map<std::int64_t, std::vector<std::int64_t>> components;
  for (const auto& row : Query(db, "SELECT bomID, 配件ID FROM PDMBOMMX")) {
    auto it = product_of_bom.find(std::stoll(row[0]));
    if (it != product_of_bom.end()) components[it->second].push_back(std::stoll(row[1]));
  }
  return components;
}

// Levels of a product's structure (1: no components); -1 when the product contains itself.
int Depth(const std::map<std::int64_t, std::vector<std::int64_t>>& structures, std::int64_t product,
          std::set<std::int64_t>& path) {
  if (!path.insert(product).second) return -1;
  int deepest = 0;
  if (auto it = structures.find(product); it != structures.end()) {
    for (std::int64_t component : it->second) {
      const int depth = Depth(structures, component, path);
      if (depth < 0) return -1;
      deepest = std::max(deepest, depth);
    }
  }
  path.erase(product);
  return deepest + 1;
}

std::string TableDigest(sqlite3* db, const std::string& sql) {
  std::string digest;
  for (const auto& row : Query(db, sql)) {
    for (const auto& cell : row) digest += cell + "|";
    digest += "\n";
  }
  return digest;
}

// No row of "SELECT COUNT(*) FROM <rows>" may be counted.
void ExpectNone(sqlite3* db, const std::string& rows) {
  EXPECT_EQ(Int(db, "SELECT COUNT(*) FROM " + rows), 0) << rows;
}

// What the demo and generated data share: a line's shares add up to 1, every route operation
// has its piece rate, every FLOAT column holds real numbers and no structure contains itself.
// Returns the depths of the standard structures.
std::set<int> ExpectSoundData(sqlite3* h) {
  ExpectNone(h,
             "SFCDJMX L WHERE abs(1 - (SELECT SUM(分配比例) FROM SFCDJMXFS F WHERE "
             "F.报工单明细ID=L.报工单明细ID)) > 1e-9");
  ExpectNone(h,
             "PDMSRLXMX M JOIN PDMSRLX R ON M.SRLXID=R.ID WHERE NOT EXISTS (SELECT 1 FROM pagzde "
             "P WHERE P.产品ID=R.产品ID AND P.工序ID=M.工艺ID AND P.工作中心ID=M.工作中心ID AND "
             "P.品质='')");
  // NUMERIC affinity would store 3.0 as 3 and make a quotient of two quantities truncate.
  for (const std::string& table : Names(h, "table")) {
    for (const auto& column :
         Query(h, "SELECT name FROM pragma_table_info('" + table + "') WHERE type='FLOAT'")) {
      ExpectNone(h, "\"" + table + "\" WHERE typeof(\"" + column[0] + "\") NOT IN ('real','null')");
    }
  }
  const auto structures = StandardStructures(h);
  std::set<int> depths;
  for (const auto& [product, components] : structures) {
    std::set<std::int64_t> path;
    const int depth = Depth(structures, product, path);
    EXPECT_GT(depth, 0) << "product " << product << " contains itself";
    depths.insert(depth);
  }
  return depths;
}

TEST(DemoDatabaseTest, LoadsIntactSurvivesReopeningAndRefusesASecondLoad) {
  test::DemoDatabase demo;
  auto db = demo.Open();
  EXPECT_EQ(data::SchemaVersion(*db), data::LatestSchemaVersion());
  EXPECT_EQ(Query(db->handle(), "PRAGMA integrity_check"), Rows{{"ok"}});

  const std::string counts =
      "SELECT (SELECT COUNT(*) FROM PDMCPML), (SELECT COUNT(*) FROM PDMGY),"
      " (SELECT COUNT(*) FROM SFCDJMX), (SELECT COUNT(*) FROM MRPPlanmx),"
      " (SELECT COUNT(*) FROM PDMBOMMX), (SELECT COUNT(*) FROM xt_document_number)";
  const Rows before = Query(db->handle(), counts);
  for (const auto& cell : before.at(0)) EXPECT_NE(cell, "0");
  db.reset();
  auto reopened = demo.Open();
  EXPECT_EQ(Query(reopened->handle(), counts), before);

  // A second load collides with the first and leaves nothing of itself behind.
  std::string error;
  EXPECT_FALSE(LoadDemoData(*reopened, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(reopened->InTransaction());
  EXPECT_EQ(Query(reopened->handle(), counts), before);

  // Each fixture is a copy of its own.
  test::DemoDatabase second;
  reopened->ExecuteSql("DELETE FROM PDMCPML");
  EXPECT_EQ(Int(reopened->handle(), "SELECT COUNT(*) FROM PDMCPML"), 0);
  EXPECT_GT(Int(second.Open()->handle(), "SELECT COUNT(*) FROM PDMCPML"), 0);
}

TEST(DemoDatabaseTest, ViewsSelectAndShowWhatTheRecordsLoad) {
  test::DemoDatabase demo;
  auto db = demo.Open();
  for (const std::string& view : Names(db->handle(), "view")) {
    auto rows = db->OpenSql("SELECT * FROM " + view);
    ASSERT_NE(rows, nullptr) << view << ": " << db->LastError();
    EXPECT_GT(rows->RecordCount(), 0) << view;
  }
  // The joins behind the product view must not multiply or drop products.
  EXPECT_EQ(Int(db->handle(), "SELECT COUNT(*) FROM vtPDMCPML"),
            Int(db->handle(), "SELECT COUNT(*) FROM PDMCPML"));
  EXPECT_EQ(
      Query(db->handle(), "SELECT 类别编码, 产品类别, 工艺路线 FROM vtPDMCPML WHERE 产品ID=20"),
      (Rows{{"0401", "机加件", "泵轴标准路线"}}));

  const auto expect_columns = [&](const std::string& table,
                                  std::span<const PropertyInfo> properties,
                                  std::vector<std::string> more) {
    std::set<std::string> columns;
    for (const auto& row :
         Query(db->handle(), "SELECT name FROM pragma_table_info('" + table + "')")) {
      columns.insert(row[0]);
    }
    for (const PropertyInfo& property : properties) {
      if (property.load != LoadRule::kNotLoaded) more.emplace_back(property.column);
    }
    for (const std::string& column : more) EXPECT_TRUE(columns.count(column)) << column;
  };
  expect_columns("vtPDMCPML", clsCpml::Properties(),
                 {"类别编码", "产品类别", "物品编码", "物品名称", "规格", "库存单位"});
  expect_columns("PDMGY", clsGY::Properties(), {});
}

// The demo's own consistency, and the facts about it that the modules' rules rely on.
TEST(DemoDatabaseTest, DataIsConsistentAndHoldsWhatTheModulesRelyOn) {
  test::DemoDatabase demo;
  auto db = demo.Open();
  sqlite3* h = db->handle();

  // Category codes follow '2,2,3' and every code below the first level has its parent.
  for (const auto& row : Query(h, "SELECT 类别编码, 级次 FROM PDMCPLB")) {
    const std::size_t expected[] = {0, 2, 4, 7};
    const int level = std::stoi(row[1]);
    ASSERT_TRUE(level >= 1 && level <= 3) << row[0];
    EXPECT_EQ(row[0].size(), expected[level]) << row[0];
    if (level > 1) {
      EXPECT_EQ(Int(h, "SELECT COUNT(*) FROM PDMCPLB WHERE 类别编码='" +
                           row[0].substr(0, expected[level - 1]) + "'"),
                1)
          << row[0];
    }
  }
  // One master plan document class, and every document type has a menu caption.
  EXPECT_EQ(Query(h, "SELECT progID FROM xt_objects WHERE billitem=6501"),
            (Rows{{std::to_string(demo::kMasterPlanProgId)}}));
  ExpectNone(h, "xt_objects O LEFT JOIN xt_menu M ON O.progID=M.progID WHERE M.progID IS NULL");

  const std::set<int> depths = ExpectSoundData(h);
  EXPECT_TRUE(depths.count(3)) << "three and four levels deep";
  EXPECT_EQ(*depths.rbegin(), 4);

  // Every finished good in use has a standard structure, and the rule's SQL finds the same one.
  const auto structures = StandardStructures(h);
  const Rows finished =
      Query(h,
            "SELECT 产品ID FROM PDMCPML A JOIN PDMCPLB B ON A.产品类别ID=B.类别ID "
            "WHERE 对应科目编号='1243' AND 是否使用=1");
  ASSERT_GE(finished.size(), 5u);
  for (const auto& row : finished) {
    EXPECT_TRUE(structures.count(std::stoll(row[0]))) << "product " << row[0];
  }
  EXPECT_EQ(Int(h,
                "SELECT COUNT(DISTINCT 产品ID) FROM PDMBOM WHERE sMark='02' AND "
                "IFNULL(是否失效,0)=0 AND 是否标准=1"),
            static_cast<std::int64_t>(structures.size()));
  // The newest structure is not always the standard one (invalid, unapproved, non-standard).
  EXPECT_GT(Int(h,
                "SELECT COUNT(*) FROM PDMBOM A WHERE bomID > (SELECT MAX(bomID) FROM PDMBOM B "
                "WHERE B.产品ID=A.产品ID AND sMark='02' AND IFNULL(是否失效,0)=0 AND 是否标准=1)"),
            2);
  // Usages are fractions as well as whole numbers, and a usage never divides by zero.
  EXPECT_GT(Int(h,
                "SELECT COUNT(*) FROM PDMBOMMX WHERE 实际配量分子/实际配量分母 <> "
                "CAST(实际配量分子/实际配量分母 AS INTEGER)"),
            3);
  ExpectNone(h, "PDMBOMMX WHERE IFNULL(实际配量分母,0)=0");
  // The ordinary rate (work centre 0, grade '') of a product and process is unique, as the
  // work report's join needs.
  ExpectNone(h,
             "(SELECT 1 FROM pagzde WHERE 工作中心ID=0 AND 品质='' GROUP BY 产品ID, 工序ID "
             "HAVING COUNT(*) > 1)");

  // Every document number is registered under its own program id, and follows its rule.
  const std::string documents =
      "(SELECT progID, 报工单编号 FROM SFCDJ UNION ALL SELECT progID, 单据编号 FROM MRPPlan "
      "UNION ALL SELECT G.progID, 工单编号 FROM MocGdmx M JOIN MocGd G ON M.工单组ID=G.工单组ID "
      "UNION ALL SELECT progID, 订单编号 FROM copdj) D ";
  ASSERT_GE(Int(h, "SELECT COUNT(*) FROM " + documents), 10);
  ExpectNone(h, documents +
                    "WHERE NOT EXISTS (SELECT 1 FROM xt_document_number N WHERE "
                    "N.progid=D.progID AND N.number=D.报工单编号)");
  ExpectNone(h, documents +
                    "LEFT JOIN xt_numbering_rule R ON R.progid=D.progID WHERE R.progid IS NULL "
                    "OR substr(D.报工单编号,1,length(R.prefix)) <> R.prefix");

  // Work reports: wage = qualified quantity x rate, and the wages handed over (of approved
  // reports only) match the lines and shares.
  ExpectNone(h, "SFCDJMX WHERE abs(工资金额 - 合格数量*工资定额系数) > 1e-9");
  ExpectNone(h,
             "PATempDataMx T WHERE NOT EXISTS (SELECT 1 FROM SFCDJMX L JOIN SFCDJMXFS F ON "
             "F.报工单明细ID=L.报工单明细ID WHERE L.报工单ID=T.lOutAutoID AND L.产品ID=T.lGoodsID "
             "AND L.工艺ID=T.lGxID AND F.员工ID=T.lEmployeeID AND "
             "abs(T.dMoney-(L.工资金额-L.工资扣减金额)*F.分配比例) < 1e-9 AND "
             "abs(T.dAmount-L.合格数量*F.分配比例) < 1e-9)");
  ExpectNone(h, "PATempDataMx T JOIN SFCDJ R ON R.报工单ID=T.lOutAutoID WHERE R.smark <> '02'");
  // Plan sources point at lines of approved plans with the line's number and batch.
  ExpectNone(h,
             "SFCDJMX L JOIN xt_objects O ON O.progID=L.前置单据 AND O.billitem=6501 LEFT JOIN "
             "MRPPlanmx P ON P.主计划ID=L.前置单据ID LEFT JOIN MRPPlan H ON "
             "H.主计划组ID=P.主计划组ID WHERE H.smark IS NOT '02' OR H.单据编号 <> L.原单号 OR "
             "P.产品批次 <> L.班次");
  ExpectNone(h,
             "MRPPlanmx P JOIN MRPPlan H ON H.主计划组ID=P.主计划组ID WHERE P.计划编号 <> "
             "H.单据编号 || '-' || P.主计划ID");
}

// The empty schema follows the type conventions; the generator refuses a bad scale without
// writing and fills it with the promised counts.
TEST(ScaleDataTest, SchemaConventionsThenThePromisedCountsWithIntegrity) {
  test::EmptyDatabase empty;
  auto db = empty.Open();
  sqlite3* h = db->handle();
  for (const std::string& table : Names(h, "table")) {
    for (const auto& column :
         Query(h, "SELECT name, type FROM pragma_table_info('" + table + "')")) {
      const std::string& type = column[1];
      SCOPED_TRACE(table + "." + column[0] + " " + type);
      for (const char* banned : {"DECIMAL", "NUMERIC", "MONEY", "REAL"}) {
        EXPECT_EQ(type.find(banned), std::string::npos);
      }
      if (type.find("CHAR") == std::string::npos && type != "TEXT") continue;
      const char* declared = nullptr;
      const char* collation = nullptr;
      ASSERT_EQ(sqlite3_table_column_metadata(h, "main", table.c_str(), column[0].c_str(),
                                              &declared, &collation, nullptr, nullptr, nullptr),
                SQLITE_OK);
      EXPECT_STREQ(collation, "TSQL");
    }
  }

  std::string error;
  for (int scale : {0, -3}) {
    EXPECT_FALSE(GenerateScaleData(*db, scale, error));
    EXPECT_NE(error.find("scale"), std::string::npos);
  }
  ExpectNone(h, "PDMCPML");
  ExpectNone(h, "PDMBM");
  ASSERT_TRUE(GenerateScaleData(*db, 1, error)) << error;
  EXPECT_EQ(Query(h, "PRAGMA integrity_check"), Rows{{"ok"}});
  EXPECT_EQ(Query(h,
                  "SELECT (SELECT COUNT(*) FROM PDMCPML), (SELECT COUNT(*) FROM SFCDJMX), "
                  "(SELECT COUNT(*) FROM SFCDJ)"),
            (Rows{{"1000", "10000", "1000"}}));
  EXPECT_EQ(*ExpectSoundData(h).rbegin(), 4);
  EXPECT_EQ(StandardStructures(h).size(), 400u);
  ExpectNone(h, "SFCDJMX L WHERE NOT EXISTS (SELECT 1 FROM SFCDJ R WHERE R.报工单ID=L.报工单ID)");
  // Each line was paid the standard piece rate of its product and process.
  ExpectNone(h,
             "SFCDJMX L WHERE NOT EXISTS (SELECT 1 FROM pagzde P WHERE P.产品ID=L.产品ID AND "
             "P.工序ID=L.工艺ID AND P.工作中心ID=0 AND P.品质='' AND P.单位工资=L.工资定额系数)");
  ExpectNone(h,
             "SFCDJ R WHERE NOT EXISTS (SELECT 1 FROM xt_document_number N WHERE "
             "N.progid=R.progID AND N.number=R.报工单编号)");
  ExpectNone(h, "SFCDJ WHERE 生产日期 NOT BETWEEN '2026-01-01' AND '2026-12-31'");
  // Products sit in leaf categories of accounts the trees show.
  ExpectNone(h,
             "PDMCPML A LEFT JOIN PDMCPLB B ON A.产品类别ID=B.类别ID WHERE B.是否明细 IS NOT 1 OR "
             "length(B.类别编码) <> 7");
}

TEST(ScaleDataTest, KeepsTheDemoAndIsDeterministic) {
  test::DemoDatabase demo;
  auto db = demo.Open();
  sqlite3* h = db->handle();
  const std::string demo_rows =
      "SELECT * FROM SFCDJMX WHERE 报工单明细ID <= 12 UNION ALL SELECT 产品ID, 物品编码, "
      "物品名称, 工艺路线ID, 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 FROM PDMCPML WHERE 产品ID <= 40";
  const std::string before = TableDigest(h, demo_rows);
  const std::int64_t products = Int(h, "SELECT COUNT(*) FROM PDMCPML");
  const std::int64_t lines = Int(h, "SELECT COUNT(*) FROM SFCDJMX");
  std::string error;
  ASSERT_TRUE(GenerateScaleData(*db, 1, error)) << error;
  ASSERT_TRUE(GenerateScaleData(*db, 1, error)) << error;  // a second run finds fresh keys
  EXPECT_EQ(TableDigest(h, demo_rows), before);
  EXPECT_EQ(Int(h, "SELECT COUNT(*) FROM PDMCPML"), products + 2000);
  EXPECT_EQ(Int(h, "SELECT COUNT(*) FROM SFCDJMX"), lines + 20000);
  EXPECT_EQ(Query(h, "PRAGMA integrity_check"), Rows{{"ok"}});
  ExpectNone(h, "(SELECT 类别编码 FROM PDMCPLB GROUP BY 类别编码 HAVING COUNT(*) > 1)");

  // The same scale on two empty databases gives the same rows.
  std::string digests[2];
  for (std::string& digest : digests) {
    test::EmptyDatabase empty;
    auto fresh = empty.Open();
    ASSERT_TRUE(GenerateScaleData(*fresh, 1, error)) << error;
    digest = TableDigest(fresh->handle(), "SELECT * FROM SFCDJMX ORDER BY 报工单明细ID LIMIT 300") +
             TableDigest(fresh->handle(), "SELECT * FROM SFCDJMXFS ORDER BY 1 LIMIT 300");
  }
  EXPECT_EQ(digests[0], digests[1]);
}

}  // namespace
}  // namespace korvane::hostapp
