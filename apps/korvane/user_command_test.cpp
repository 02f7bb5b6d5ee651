// korvane user on a real database file: the hash it stores verifies the password given and no
// other, the demo users sign in with the documented password, and a name with a quote stays
// one value.
#include "korvane/user_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "data/open_data_service.h"
#include "host/test_support.h"
#include "korvane/commands.h"
#include "web/passwords.h"

namespace korvane::cli {
namespace {

int User(UserOptions options, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  return RunUser(options, in, out, err);
}

std::string HashOf(const std::string& db, const std::string& name) {
  std::string error;
  auto data = data::OpenDataService(db, error);
  EXPECT_NE(data, nullptr) << error;
  if (!data) return {};
  return data
      ->ScalarSql("SELECT password_hash FROM xt_user_login WHERE user_name = " + SqlQuote(name))
      .ToText();
}

TEST(UserCommand, AddPasswdAndRemoveKeepTheHashInStepWithThePassword) {
  test::TempFolder folder;
  const std::string db = folder / "factory.db";
  std::ostringstream out, err;
  ASSERT_EQ(RunInit({db, true, std::nullopt}, out, err), 0) << err.str();

  EXPECT_TRUE(web::VerifyPassword(HashOf(db, "clerk"), "korvane"));
  EXPECT_TRUE(web::VerifyPassword(HashOf(db, "admin"), "korvane"));

  const std::string name = "o'neil";
  EXPECT_EQ(User({"add", db, name, std::nullopt, "", {2101}}, "first secret\n"), 0);
  EXPECT_TRUE(web::VerifyPassword(HashOf(db, name), "first secret"));
  EXPECT_FALSE(web::VerifyPassword(HashOf(db, name), "first secre"));
  EXPECT_EQ(User({"add", db, name, std::string("other"), "", {}}), 1);
  EXPECT_TRUE(web::VerifyPassword(HashOf(db, name), "first secret"));

  EXPECT_EQ(User({"passwd", db, name, std::string("second"), "", {}}), 0);
  EXPECT_TRUE(web::VerifyPassword(HashOf(db, name), "second"));
  EXPECT_FALSE(web::VerifyPassword(HashOf(db, name), "first secret"));
  EXPECT_EQ(User({"passwd", db, "nobody", std::string("x"), "", {}}), 1);
  EXPECT_EQ(User({"passwd", db, name, std::nullopt, "", {}}, ""), 2);

  EXPECT_EQ(User({"remove", db, name, std::nullopt, "", {}}), 0);
  EXPECT_EQ(HashOf(db, name), "");
  EXPECT_EQ(User({"remove", db, name, std::nullopt, "", {}}), 1);
  EXPECT_TRUE(web::VerifyPassword(HashOf(db, "clerk"), "korvane"));
}

TEST(UserCommand, VerifyRefusesWhatIsNoHash) {
  EXPECT_FALSE(web::VerifyPassword("", ""));
  EXPECT_FALSE(web::VerifyPassword("korvane", "korvane"));
}

}  // namespace
}  // namespace korvane::cli
