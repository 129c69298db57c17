// The sign-off workbook read back by a real spreadsheet program: LibreOffice
// converts every sheet to CSV, and each sheet must hold exactly the rows of
// the database (or of the coverage count) it lists.
#include "insight/signoff_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "insight_fixture.h"

namespace migprof::testing {
namespace {

namespace fs = std::filesystem;
using Table = std::vector<std::vector<std::string>>;

std::string Office() {
  for (const char* name : {"soffice", "libreoffice"}) {
    if (std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0) {
      return name;
    }
  }
  return "";
}

// RFC 4180 rows: fields in double quotes may hold commas, quotes (doubled)
// and line breaks.
Table ReadCsv(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  Table rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quoted) {
      if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty() || !row.empty()) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

class SignoffSheetTest : public InsightTest {
 protected:
  void SetUp() override {
    office_ = Office();
    if (office_.empty()) {
      GTEST_SKIP() << "neither soffice nor libreoffice is installed (Debian: "
                      "libreoffice-calc-nogui); the sign-off sheet is not read back";
    }
    InsightTest::SetUp();
    dir_ = fs::temp_directory_path() / ("signoff_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Every sheet of the workbook at path as CSV rows, by sheet name.
  std::map<std::string, Table> ReadBack(const fs::path& path) {
    const std::string command =
        office_ + " -env:UserInstallation=file://" + (dir_ / "profile").string() +
        " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,"
        "false,false,false,-1' --outdir " +
        dir_.string() + " " + path.string() + " >" + (dir_ / "office.log").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::map<std::string, Table> sheets;
    for (const std::string& name : insight::SignoffSheetNames()) {
      const fs::path csv = dir_ / (path.stem().string() + "-" + name + ".csv");
      EXPECT_TRUE(fs::exists(csv)) << csv;
      sheets[name] = ReadCsv(csv);
    }
    return sheets;
  }

  // The database's rows of sql with NULL as an empty cell, sorted.
  Table DbRows(const std::string& sql) {
    Table rows = db_.Rows(sql);
    for (auto& row : rows) {
      for (auto& cell : row) {
        if (cell == "NULL") cell.clear();
      }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  // The sheet's rows below its header, each cut to its first n cells, sorted.
  static Table Body(const Table& sheet, std::size_t n) {
    Table rows;
    for (std::size_t i = 1; i < sheet.size(); ++i) {
      std::vector<std::string> row(sheet[i].begin(),
                                   sheet[i].begin() + std::min(n, sheet[i].size()));
      row.resize(n);
      rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  std::string office_;
  fs::path dir_;
};

TEST_F(SignoffSheetTest, EverySheetReadsBackAsTheDatabaseHoldsIt) {
  // A stale rule, a field rule with quotes and a comma, and a library
  // function that is expired make the marks visible.
  db_.Exec(
      "insert into qzmap140 (mprf,vers,rele,cust,tcpac,tcmod,tflno,fdnm,dnum,mrul,type,stat) "
      "values (100,'V10','R1','STD','or','itm','001','gone',0,'say \"hi\", twice','D','N')");
  const insight::Coverage coverage =
      insight::ProfileCoverage(source(), insight::RuleSet{100, std::nullopt});
  const insight::SignoffHeader header{"Legacy ERP, standard", "", "alice", "vera",
                                      "2026-12-07 03:30 UTC"};
  const fs::path path = dir_ / "profile100.xlsx";
  insight::WriteSignoffSheet(source(), coverage, header, path.string(), dir_.string());
  std::map<std::string, Table> sheets = ReadBack(path);

  const std::string rules = " where mprf = 100 and vers = 'V10' and rele = 'R1' and cust = 'STD'";
  struct Case {
    const char* sheet;
    std::string sql;
  } cases[] = {
      {"Table rules",
       "select tcpac, tcmod, tflno, stat, prtx, comt, lusr, ldat, vari, stbl, isms, txtn from "
       "qzmap120" +
           rules},
      {"Field rules",
       "select tcpac, tcmod, tflno, fdnm, dnum, mrul, type, stat from qzmap140" + rules},
      {"Source tables",
       "select tcpac, tcmod, tflno, scpac, scmod, sflno, icod, qury from qzmap130" + rules},
      {"Functions used", "select tcpac, tcmod, tflno, func from qzmap160" + rules},
      {"Table links", "select bpac, bmod, bflno, cpac, cmod, cflno from qzmap170" + rules},
      {"Library", "select fnam, dsca, stat, curn, lurn, ldat, fdef, comt from qzlib100" + rules},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheet);
    const Table db = DbRows(c.sql);
    ASSERT_FALSE(db.empty());
    EXPECT_EQ(Body(sheets[c.sheet], db.front().size()), db);
  }
  // The stale rule is the one field rule marked as not in the dictionary.
  long long not_in_dictionary = 0;
  for (const auto& row : Body(sheets["Field rules"], 9)) not_in_dictionary += row[8] == "no";
  EXPECT_EQ(not_in_dictionary, coverage.total.stale_rules);
  EXPECT_EQ(coverage.total.stale_rules, 1);

  // Unmapped fields: every element the count found without a rule in force.
  Table unmapped;
  for (const insight::TableCoverage& t : coverage.tables) {
    for (const String& name : t.unmapped) unmapped.push_back({t.tcpac, t.tcmod, t.tflno, name});
    for (const String& name : t.expired) unmapped.push_back({t.tcpac, t.tcmod, t.tflno, name});
  }
  std::sort(unmapped.begin(), unmapped.end());
  EXPECT_EQ(Body(sheets["Unmapped fields"], 4), unmapped);

  // Summary: the header lines, then one row per table with its counts.
  const Table& summary = sheets["Summary"];
  ASSERT_GT(summary.size(), 11u);
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"Profile", "100"}, {"VRC", "V10_R1_STD"}, {"Owner", "alice"}, {"Exported by", "vera"}};
  for (const auto& [label, value] : lines) {
    auto found = std::find_if(summary.begin(), summary.end(),
                              [&](const auto& row) { return !row.empty() && row[0] == label; });
    ASSERT_NE(found, summary.end()) << label;
    EXPECT_EQ((*found)[1], value) << label;
  }
  std::size_t header_row = 0;
  while (header_row < summary.size() && summary[header_row][0] != "Package (tcpac)") ++header_row;
  ASSERT_LT(header_row + coverage.tables.size() + 1, summary.size());
  for (std::size_t i = 0; i < coverage.tables.size(); ++i) {
    const insight::TableCoverage& t = coverage.tables[i];
    const std::vector<std::string>& row = summary[header_row + 1 + i];
    EXPECT_EQ(row[0] + row[1] + row[2], t.tcpac + t.tcmod + t.tflno);
    EXPECT_EQ(row[5], std::to_string(t.counts.elements));
    EXPECT_EQ(row[6], std::to_string(t.counts.mapped));
    EXPECT_EQ(row[8], std::to_string(t.counts.unmapped));
  }
  EXPECT_EQ(summary[header_row + 1 + coverage.tables.size()][0], "Total");
  EXPECT_EQ(summary[header_row + 1 + coverage.tables.size()][5],
            std::to_string(coverage.total.elements));
}

}  // namespace
}  // namespace migprof::testing
