// Changing members raced by 2 and 4 processes end as if they had run one
// after another: in every round, each process's answer and every table's
// rows equal those of one serial order of the same calls. The counts of
// rounds by the serial order they matched are printed.
//
// Each scenario names two calls, A and B, that touch the same rows; with 4
// processes each is made twice. The serial outcomes are computed first by
// the same processes, making the calls one at a time in every order. Before
// each run every process records the same failure, so the error state a
// call leaves behind is comparable.
//
// Every process acts as alice, the user the calls name.
//
// MIGPROF_TEST_NODE_DSNS ("dsn1 dsn2 ...") sends the processes through the
// nodes of a cluster in turn; the rows are set up and read through
// MIGPROF_TEST_DSN.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

#include "profiles/owner_cipher.h"
#include "robust/robust_support.h"
#include "robust/tool_process.h"

namespace migprof::testing {
namespace {

// Records a failure without touching the database: a parent VRC of two
// pieces fails before anything is read (Subscript out of range).
constexpr const char* kPrime =
    R"({"call":"InsertInMap100","args":[1,"d","S","T","V","R","C","a_b","N","app","alice"]})";

// Source profile 100 with the rules of table xy/uvw/123 and the library
// function calc; user profile 110 (UAPP) whose dictionary has the table's
// fields; no rules and no functions of 110 yet.
const std::vector<std::string> kEstate = {
    "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, scme, "
    "deph, apln) values (100, 'SAPP', 'TAPP', 'SV', 'SR', 'SC', '', '', '', 'source', 'N', 1, "
    "'a'), (110, 'SAPP2', 'UAPP', 'UV', 'UR', 'UC', '', '', '', 'user', 'N', 1, 'a')",
    "insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (100, 1, 'SV', 'SR', "
    "'SC', 100), (110, 1, 'UV', 'UR', 'UC', 110)",
    "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, stat, comt) values "
    "(100, 'SV', 'SR', 'SC', 'xy', 'uvw', '123', 'rule', 'A', 'c')",
    "insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, sflno, "
    "icod, qury) values (100, 'SV', 'SR', 'SC', 'xy', 'uvw', '123', 'ab', 'cde', '7', 'I', 'q')",
    "insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, fdnm, dnum, mrul) values "
    "(100, 'SV', 'SR', 'SC', 'xy', 'uvw', '123', 'name', 1, 'r1'), (100, 'SV', 'SR', 'SC', 'xy', "
    "'uvw', '123', 'qty(1)', 2, 'r2'), (100, 'SV', 'SR', 'SC', 'xy', 'uvw', '123', 'qty(2)', 3, "
    "'r3')",
    "insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func) values (100, 'SV', "
    "'SR', 'SC', 'xy', 'uvw', '123', 'f1')",
    "insert into qzddi150 (appl, cpac, cmod, flno, fdnm, dept, cdom) values ('UAPP', 'xy', "
    "'uvw', '123', 'name', 0, NULL), ('UAPP', 'xy', 'uvw', '123', 'qty', 2, '')",
    "insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca, lurn, ldat, fdef, stat, comt) "
    "values (100, 'SV', 'SR', 'SC', 'calc', 'd', 'bob', '2001-02-03 04:05:06', 'x+1', 'N', 'c')",
};

// The user profile's copy of calc, for the races that change it.
const std::string kUserFunction =
    "insert into qzlib100 (mprf, vers, rele, cust, fnam, dsca, stat) values (110, 'UV', 'UR', "
    "'UC', 'calc', 'mine', 'M')";
const std::string kUserRule =
    "insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, prtx, stat) values (110, "
    "'UV', 'UR', 'UC', 'xy', 'uvw', '123', 'mine', 'A')";

const std::string kCopy =
    R"({"call":"CopyToCurrentVRC","args":[100,110,"UV","UR","UC","xy","uvw","123","alice","","",0]})";
const std::string kDeleteRules =
    R"({"call":"DeleteMapRules","args":[110,"UV","UR","UC","xy","uvw","123","",0]})";
const std::string kExpireRules =
    R"({"call":"ExpireMapRules","args":[110,"UV","UR","UC","xy","uvw","123","",0,-1]})";
const std::string kFunctionCopy =
    R"({"call":"Func_CopyToCurrentVRC","args":[100,110,"UV","UR","UC","calc","alice"]})";
const std::string kFunctionDelete =
    R"({"call":"Func_Delete","args":[110,"UV","UR","UC","calc","alice"]})";
const std::string kFunctionExpire =
    R"({"call":"Func_Expire","args":[110,"UV","UR","UC","calc","alice",-1]})";
const std::string kDeleteSource = R"({"call":"DeleteMap100","args":[100]})";
const std::string kDeleteUser = R"({"call":"DeleteMap100","args":[110]})";
// A child of the source profile (same applications: a U in third place).
const std::string kCreateChild =
    R"({"call":"InsertInMap100","args":[120,"child","SAPP","TAPP","SVU","R","C","SV_SR_SC","N","app","alice"]})";
// The user profile derived from the source profile from now on.
const std::string kReparentUser =
    R"({"call":"UpdateMap100","args":[110,"moved","N","UV","UR","UC","a","SV_SR_SC","alice","p"]})";
// A child of the user profile.
const std::string kCreateUserChild =
    R"({"call":"InsertInMap100","args":[121,"child","SAPP2","UAPP","UVU","R","C","UV_UR_UC","N","app","alice"]})";
// Two standard profiles for one pair of applications.
const std::string kCreatePairA =
    R"({"call":"InsertInMap100","args":[130,"a","PA","PB","V1","R","C","__","N","app","alice"]})";
const std::string kCreatePairB =
    R"({"call":"InsertInMap100","args":[131,"b","PA","PB","V2","R","C","__","N","app","alice"]})";

struct Scenario {
  const char* name;
  std::vector<std::string> extra_setup;
  std::string a, b;
};

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"CopyToCurrentVRC x CopyToCurrentVRC", {}, kCopy, kCopy},
      {"CopyToCurrentVRC x DeleteMapRules", {}, kCopy, kDeleteRules},
      {"CopyToCurrentVRC x ExpireMapRules", {}, kCopy, kExpireRules},
      {"DeleteMapRules x ExpireMapRules", {kUserRule}, kDeleteRules, kExpireRules},
      {"CopyToCurrentVRC x DeleteMap100", {}, kCopy, kDeleteUser},
      {"Func_CopyToCurrentVRC x Func_CopyToCurrentVRC", {}, kFunctionCopy, kFunctionCopy},
      {"Func_CopyToCurrentVRC x Func_Delete", {}, kFunctionCopy, kFunctionDelete},
      {"Func_CopyToCurrentVRC x Func_Expire", {}, kFunctionCopy, kFunctionExpire},
      {"Func_Expire x Func_Delete", {kUserFunction}, kFunctionExpire, kFunctionDelete},
      {"Func_CopyToCurrentVRC x DeleteMap100", {}, kFunctionCopy, kDeleteUser},
      {"InsertInMap100 x InsertInMap100", {}, kCreatePairA, kCreatePairB},
      {"InsertInMap100 x DeleteMap100", {}, kCreateChild, kDeleteSource},
      {"UpdateMap100 x DeleteMap100", {}, kReparentUser, kDeleteSource},
      {"UpdateMap100 x InsertInMap100", {}, kReparentUser, kCreateUserChild},
  };
  return scenarios;
}

std::vector<std::string> NodeDsns(const TestDatabase& db) {
  std::vector<std::string> dsns;
  if (const char* nodes = std::getenv("MIGPROF_TEST_NODE_DSNS")) {
    std::istringstream in(nodes);
    for (std::string dsn; in >> dsn;) dsns.push_back(dsn);
  }
  if (dsns.empty()) dsns.push_back(db.dsn());
  return dsns;
}

// Every table's rows, sorted, as one text: owner cipher texts deciphered,
// date-times written since `since` as <now>.
std::string TableRows(const TestDatabase& db, const std::string& since) {
  static const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  std::string text;
  for (const std::string& table : TestDatabase::Tables()) {
    std::vector<std::vector<std::string>> rows = db.Rows("select * from " + table);
    for (auto& row : rows) {
      for (std::string& value : row) {
        if (std::regex_match(value, date) && value >= since) value = "<now>";
      }
    }
    if (table == "qzmap100") {
      for (auto& row : rows) {
        std::string& ownr = row[12];  // hex digits
        if (ownr == "NULL") continue;
        std::string bytes;
        for (std::size_t i = 0; i + 1 < ownr.size(); i += 2) {
          bytes += static_cast<char>(std::stoi(ownr.substr(i, 2), nullptr, 16));
        }
        if (auto clear = profiles::Decipher(bytes)) ownr = "<cipher of " + *clear + ">";
      }
    }
    std::sort(rows.begin(), rows.end());
    text += table + ":";
    for (const auto& row : rows) {
      for (const std::string& value : row) text += " " + value;
      text += ";";
    }
    text += "\n";
  }
  return text;
}

std::string Now() { return DateTime::Now().ToString(); }

// One serial order's (or one race's) result: each call's answer, in the
// order of `calls`, and the rows.
struct Outcome {
  std::vector<std::string> answers;
  std::string rows;
};

class RaceRun {
 public:
  RaceRun(const Scenario& scenario, int processes) : scenario_(scenario) {
    for (int p = 0; p < processes; ++p) calls_.push_back(p % 2 ? scenario.b : scenario.a);
  }

  // The scenario's rows, and every process's error state as the same
  // recorded failure.
  void Prime(std::vector<std::unique_ptr<ToolSession>>& sessions) const {
    for (const std::string& table : TestDatabase::Tables()) db_.Exec("delete from " + table);
    for (const std::string& sql : kEstate) db_.Exec(sql);
    for (const std::string& sql : scenario_.extra_setup) db_.Exec(sql);
    for (auto& session : sessions) {
      session->Send(kPrime);
      session->Receive();
    }
  }

  // The outcome of the calls made one after another in `order` (positions
  // into calls_, each made by the process of its position), answers kept
  // per call.
  Outcome Serial(std::vector<std::unique_ptr<ToolSession>>& sessions,
                 const std::vector<int>& order) const {
    Prime(sessions);
    const std::string since = Now();
    Outcome outcome;
    outcome.answers.resize(calls_.size());
    for (int call : order) {
      sessions[call]->Send(calls_[call]);
      outcome.answers[call] = sessions[call]->Receive();
      // The member ran: an answer without a result (refused as a request,
      // forbidden) would make every order look alike.
      EXPECT_NE(outcome.answers[call].find(R"("result":)"), std::string::npos)
          << calls_[call] << " -> " << outcome.answers[call];
    }
    outcome.rows = TableRows(db_, since);
    return outcome;
  }

  // Every order of the calls, by label ("ABBA": A's call first, ...); orders
  // that differ only in which of two equal calls goes first count once.
  void ComputeSerialOutcomes(std::vector<std::unique_ptr<ToolSession>>& sessions) {
    std::vector<int> order(calls_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::map<std::string, bool> seen;
    do {
      std::string label;
      for (int call : order) label += call % 2 ? 'B' : 'A';
      if (seen[label]) continue;
      seen[label] = true;
      serial_.emplace_back(label, Serial(sessions, order));
    } while (std::next_permutation(order.begin(), order.end()));
  }

  // Races the calls, one process each, and gives the labels of the serial
  // orders whose answers and rows it equals ("" for none).
  std::string Race(std::vector<std::unique_ptr<ToolSession>>& sessions, std::string& detail) {
    Prime(sessions);
    const std::string since = Now();
    for (std::size_t p = 0; p < sessions.size(); ++p) sessions[p]->Send(calls_[p]);
    Outcome race;
    for (auto& session : sessions) {
      race.answers.push_back(session->Receive());
    }
    race.rows = TableRows(db_, since);
    std::string labels;
    for (const auto& [label, serial] : serial_) {
      if (serial.rows == race.rows && SameAnswers(serial.answers, race.answers)) {
        labels += (labels.empty() ? "" : "=") + label;
      }
    }
    if (labels.empty()) {
      detail = "answers:";
      for (const std::string& answer : race.answers) detail += "\n  " + answer;
      detail += "\nrows:\n" + race.rows + "serial orders:";
      for (const auto& [label, serial] : serial_) {
        detail += "\n" + label + ":";
        for (const std::string& answer : serial.answers) detail += "\n  " + answer;
        detail += "\n" + serial.rows;
      }
    }
    return labels;
  }

  std::vector<std::unique_ptr<ToolSession>> StartSessions() const {
    const std::vector<std::string> dsns = NodeDsns(db_);
    std::vector<std::unique_ptr<ToolSession>> sessions;
    for (std::size_t p = 0; p < calls_.size(); ++p) {
      sessions.push_back(std::make_unique<ToolSession>(
          std::vector<std::string>{"session", "--database", dsns[p % dsns.size()], "--user",
                                   db_.uid(), "--password", db_.pwd(), "--as", "alice"}));
      // Connected before the first race (a read opens and keeps a connection).
      sessions.back()->Send(R"({"call":"GetUserOwnerProfiles","args":["nobody"]})");
      sessions.back()->Receive();
    }
    return sessions;
  }

 private:
  // Each process made the call of its position; equal calls may have gone
  // in either order, so a race's answers are matched per call.
  bool SameAnswers(const std::vector<std::string>& serial,
                   const std::vector<std::string>& race) const {
    std::vector<int> who(race.size());
    for (std::size_t i = 0; i < who.size(); ++i) who[i] = static_cast<int>(i);
    do {
      bool same = true;
      for (std::size_t p = 0; p < race.size() && same; ++p) {
        same = calls_[p] == calls_[who[p]] && race[p] == serial[who[p]];
      }
      if (same) return true;
    } while (std::next_permutation(who.begin(), who.end()));
    return false;
  }

  const Scenario& scenario_;
  std::vector<std::string> calls_;
  TestDatabase db_;
  std::vector<std::pair<std::string, Outcome>> serial_;
};

class SerialRace : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(SerialRace, EveryRoundEqualsOneSerialOrder) {
  const Scenario& scenario = Scenarios()[std::get<0>(GetParam())];
  const int processes = std::get<1>(GetParam());
  const bool server = std::getenv("MIGPROF_TEST_DSN") != nullptr;
  const int rounds = Rounds(server ? 4 : 10, 100);
  RaceRun run(scenario, processes);
  std::vector<std::unique_ptr<ToolSession>> sessions = run.StartSessions();
  run.ComputeSerialOutcomes(sessions);
  std::map<std::string, int> counts;
  for (int round = 1; round <= rounds; ++round) {
    std::string detail;
    const std::string labels = run.Race(sessions, detail);
    ASSERT_FALSE(labels.empty()) << "round " << round << " equals no serial order\n" << detail;
    ++counts[labels];
  }
  for (auto& session : sessions) EXPECT_EQ(session->Finish(), 0);
  std::string report;
  for (const auto& [labels, count] : counts) report += " " + labels + ": " + std::to_string(count);
  std::cout << "[race] " << scenario.name << ", " << processes << " processes, " << rounds
            << " rounds by serial order (A = "
            << (scenario.a.substr(9, scenario.a.find('"', 9) - 9))
            << ", B = " << (scenario.b.substr(9, scenario.b.find('"', 9) - 9)) << "):" << report
            << std::endl;
  RecordProperty("rounds_by_serial_order", report);
}

INSTANTIATE_TEST_SUITE_P(Pairs, SerialRace,
                         ::testing::Combine(::testing::Range(0,
                                                             static_cast<int>(Scenarios().size())),
                                            ::testing::Values(2, 4)),
                         [](const auto& info) {
                           std::string name = Scenarios()[std::get<0>(info.param)].name;
                           std::string id;
                           for (char c : name) {
                             if (std::isalnum(static_cast<unsigned char>(c))) id += c;
                           }
                           return id + "_" + std::to_string(std::get<1>(info.param)) + "Processes";
                         });

}  // namespace
}  // namespace migprof::testing
